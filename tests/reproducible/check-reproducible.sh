#!/usr/bin/env bash
# Two clean builds of the same sources, in folders of different names and
# depths, must give the same bytes: image_export, catalogue and the flash
# image that catalogue writes. With --windows, the Windows executables too.
#
#   tests/reproducible/check-reproducible.sh [--windows]
#
# Copies the source tree (without build/ and .git/) twice under a temporary
# folder, builds each with the release preset (the Windows preset with
# --windows), and compares. Exit status 0 when everything matches.
set -euo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)

presets=(release)
if [ "${1:-}" = "--windows" ]; then
  presets+=(windows)
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
first=$work/a/src
second=$work/second-copy/deeper/device-bitmaps
for copy in "$first" "$second"; do
  mkdir -p "$copy"
  tar -C "$source_dir" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf -
done

build() {
  local copy=$1 preset=$2
  # Only what is compared: no tests, no benchmarks.
  (cd "$copy" &&
    cmake --preset "$preset" -DDEVICE_BITMAPS_TESTS=OFF -DDEVICE_BITMAPS_BENCH=OFF >/dev/null &&
    cmake --build --preset "$preset" --target image_export catalogue >/dev/null)
}

failures=0
compare() {
  local what=$1
  if cmp -s "$first/$what" "$second/$what"; then
    echo "same:   $what ($(stat -c %s "$first/$what") bytes, sha256 $(sha256sum <"$first/$what" | cut -c1-16))"
  else
    echo "DIFFER: $what" >&2
    failures=$((failures + 1))
  fi
}

for preset in "${presets[@]}"; do
  # Ten seconds apart, so that a time stamp would show.
  build "$first" "$preset"
  sleep 10
  build "$second" "$preset"
  if [ "$preset" = release ]; then
    compare build/release/export/image_export
    compare build/release/catalogue/catalogue
    for copy in "$first" "$second"; do
      "$copy/build/release/catalogue/catalogue" flash-image "$copy/flash.bin"
    done
    compare flash.bin
  else
    compare "build/$preset/export/image_export.exe"
    compare "build/$preset/catalogue/catalogue.exe"
  fi
done

if [ "$failures" -ne 0 ]; then
  echo "$failures file(s) differ between the two builds" >&2
  exit 1
fi
echo "reproducible: both builds gave the same bytes"
