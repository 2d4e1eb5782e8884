#!/usr/bin/env bash
# flash-chip.sh CATALOGUE: the flash image on its way to the chip, through
# flashrom, the programmer a developer uses, with its dummy programmer
# emulating an 8 MiB SPI NOR chip whose contents live in a scratch file:
#
# 1. `catalogue flash-image --size 8M` is written, and flashrom verifies it;
# 2. flashrom reads the chip back, and `catalogue verify` finds the image;
# 3. one byte changed in the read-back: verify names the bitmap and pixel;
# 4. the README's recipe for an image at an offset of the chip, through a
#    flashrom layout: the region is written and read back alone, and what
#    lies before it stays as it was;
# 5. the recipe for writing only what changed, with the chip holding the
#    older image (one digit, and so the record, otherwise) and then another:
#    either way the chip reads back as the new image.
#
# The chip is the scratch folder's chip.bin; nothing else is touched.
#
# Exit status: 0 all as expected, 1 something was not, 77 flashrom is not
# installed (ctest counts that as skipped). flash-chip.sh --check asks only
# for flashrom: 0, or 77 as the run would end.
set -uo pipefail

if ! command -v flashrom >/dev/null 2>&1; then
  echo "flash-chip.sh: flashrom is not installed (apt-get install flashrom); skipped"
  exit 77
fi
[ "${1:-}" = --check ] && exit 0
if [ $# -ne 1 ]; then
  echo "usage: flash-chip.sh CATALOGUE"
  exit 2
fi
catalogue=$(realpath "$1")
older_image=$(dirname "$(realpath "$0")")/older-image.sh
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch" || exit 1

chip=(-p dummy:emulate=MX25L6436,image="$scratch/chip.bin" -c "MX25L6436E/MX25L6445E/MX25L6465E/MX25L6473E/MX25L6473F")
failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

# step WHAT COMMAND...: runs a command that must succeed, showing its output
# only when it does not.
step() {
  local what=$1
  shift
  if "$@" >step.log 2>&1; then
    echo "ok   $what"
  else
    fail "$what (exit status $?)"
    cat step.log
  fi
}

# verified DUMP STATUS EXPECTED_LINE: catalogue verify DUMP exits with STATUS
# and prints EXPECTED_LINE among its lines.
verified() {
  local status=0
  "$catalogue" verify "$1" >verify.out 2>&1 || status=$?
  if [ "$status" = "$2" ] && grep -qxF "$3" verify.out; then
    echo "ok   catalogue verify $1: $3"
  else
    fail "catalogue verify $1: exit status $status, expected $2 and the line: $3"
    cat verify.out
  fi
}

step "catalogue flash-image --size 8M flash.bin" "$catalogue" flash-image --size 8M flash.bin
step "flashrom -w flash.bin" flashrom "${chip[@]}" -w flash.bin
step "flashrom -v flash.bin" flashrom "${chip[@]}" -v flash.bin
step "flashrom -r readback.bin" flashrom "${chip[@]}" -r readback.bin
verified readback.bin 0 "readback.bin: holds the flash image (5892556 bytes from offset 0)"

# Pixel (1, 0) of the second-style 0 (entry 269), 80EC, lies at 0x59e14e.
printf '\201' | dd of=readback.bin bs=1 seek=$((0x59e14e)) conv=notrunc status=none
verified readback.bin 1 "269 digits_cool:0: 1 of 108 pixels differs, first at (1, 0): 81EC where the image has 80EC"

# The image from 0x20000 to the chip's end, beside 128 KiB that must stay.
# The chip first gets zeros there (a boot loader, say) and the changed
# read-back after them, so that the region's write has something to change.
printf '00000000:0001ffff boot\n00020000:007fffff bitmaps\n' >chip.layout
{ head -c $((0x20000)) /dev/zero; tail -c +$((0x20000 + 1)) readback.bin; } >start.bin
step "flashrom -w start.bin" flashrom "${chip[@]}" -w start.bin
step "catalogue flash-image --size 8064K bitmaps.bin" "$catalogue" flash-image --size 8064K bitmaps.bin
step "flashrom -l chip.layout -i bitmaps:bitmaps.bin -w start.bin" \
  flashrom "${chip[@]}" -l chip.layout -i bitmaps:bitmaps.bin -w start.bin
step "flashrom -l chip.layout -i bitmaps:region.bin -r whole.bin" \
  flashrom "${chip[@]}" -l chip.layout -i bitmaps:region.bin -r whole.bin
verified region.bin 0 "region.bin: holds the flash image (5892556 bytes from offset 0)"
step "flashrom -r after.bin" flashrom "${chip[@]}" -r after.bin
if cmp -s -n $((0x20000)) start.bin after.bin; then
  echo "ok   the 128 KiB before the region are as they were"
else
  fail "the layout's write changed the chip before the region"
fi

# reflash OLD NEW: the docs' recipe, saying which way it went.
reflash() {
  "$catalogue" flash-image --since "$1" --layout changed.layout --size 8M "$2" || return
  regions=$(sed 's/.* /-i /' changed.layout)
  if [ -z "$regions" ]; then
    echo "nothing to write"
  elif flashrom "${chip[@]}" -l changed.layout -i record -v "$1"; then
    echo "the chip holds $1"
    flashrom "${chip[@]}" -l changed.layout $regions --noverify-all -w "$2"
  else
    echo "the chip does not hold $1"
    flashrom "${chip[@]}" -w "$2"
  fi
}

# reflashed WAY: the recipe went that way, and the chip holds new.bin.
reflashed() {
  grep -qx "$1" step.log && flashrom "${chip[@]}" -r after.bin >/dev/null && cmp -s after.bin new.bin &&
    echo "ok   $1, and the chip reads back as new.bin" || fail "not: $1, and the chip reads back as new.bin"
}

step "older-image.sh old.bin 141" "$older_image" "$catalogue" flash.bin old.bin 141
cp old.bin chip.bin
step "the recipe, the chip holding old.bin" reflash old.bin new.bin
reflashed "the chip holds old.bin"
verified after.bin 0 "after.bin: holds the flash image (5892556 bytes from offset 0)"
step "older-image.sh other.bin 259" "$older_image" "$catalogue" flash.bin other.bin 259
cp other.bin chip.bin
step "the recipe, the chip holding other.bin" reflash old.bin new.bin
reflashed "the chip does not hold old.bin"

exit "$failed"
