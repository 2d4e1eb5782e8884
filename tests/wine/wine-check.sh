#!/usr/bin/env bash
# The Windows programs, run under Wine and held against the native build's.
#
#   wine-check.sh check                  only whether Wine is there
#   wine-check.sh prefix-create PREFIX
#   wine-check.sh prefix-remove PREFIX
#   wine-check.sh imports EXE...
#   wine-check.sh image-export PREFIX WINDOWS_EXE NATIVE_EXE
#   wine-check.sh binary-mode PREFIX LINE_END_EXE
#   wine-check.sh catalogue PREFIX WINDOWS_EXE NATIVE_EXE
#
# Exit status 0 when the check holds, 1 when it does not, 77 when Wine is
# not installed (ctest reports the check as skipped). WINE=path picks the
# Wine loader.
set -uo pipefail
. "$(dirname "$0")/../support/tool-script.sh"

# WINE names the loader to use; WINE= (empty) runs as if it were missing.
wine=${WINE-$(command -v wine64 || command -v wine || true)}
[ -z "$wine" ] || command -v "$wine" >/dev/null || wine=
wineserver=$(command -v wineserver64 || command -v wineserver || echo /usr/lib/wine/wineserver64)

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
  fi
  exit 0
}
need_wine() {
  if [ -z "$wine" ]; then
    echo "Wine is not installed (Debian: apt-get install wine64)" >&2
    exit 77
  fi
}

# Quiet, and no offer to install Mono or Gecko into the prefix.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# run_wine PREFIX DIR EXE ARGS...: runs EXE in DIR; its output lands in
# $scratch/out and $scratch/err, its status in $status.
run_wine() {
  local prefix=$1 dir=$2
  shift 2
  (cd "$dir" && WINEPREFIX=$prefix within 120 "$wine" "$@" >"$scratch/out" 2>"$scratch/err" </dev/null)
  status=$?
}
# The same with standard output into a pipe, as a shell's "|" gives it.
run_wine_piped() {
  local prefix=$1 dir=$2
  shift 2
  (cd "$dir" && WINEPREFIX=$prefix within 120 "$wine" "$@" 2>"$scratch/err" </dev/null | cat >"$scratch/out")
  status=$?
}
run_native() {
  local dir=$1
  shift
  (cd "$dir" && "$@" >"$scratch/out" 2>"$scratch/err" </dev/null)
  status=$?
}
expect_status() {
  [ "$status" -eq "$1" ] || fail "$2: exit status $status, expected $1; stderr: $(head -c 300 "$scratch/err")"
}
expect_empty() {
  [ ! -s "$scratch/$1" ] || fail "$2: std$1 not empty: $(head -c 300 "$scratch/$1" | od -An -c | head -3)"
}

case ${1:-} in
check)
  need_wine
  ;;

prefix-create)
  need_wine
  prefix=$2
  rm -rf "$prefix"
  mkdir -p "$prefix"
  # The first start builds the prefix and talks about it; later runs are quiet.
  WINEPREFIX=$prefix within 240 "$wine" wineboot --init >/dev/null 2>&1
  WINEPREFIX=$prefix within 240 "$wineserver" --wait
  [ -f "$prefix/system.reg" ] || fail "no Wine prefix was made in $prefix"
  finish
  ;;

prefix-remove)
  prefix=$2
  if [ -n "$wine" ] && [ -d "$prefix" ]; then
    WINEPREFIX=$prefix within 60 "$wineserver" --kill 2>/dev/null
  fi
  rm -rf "$prefix"
  finish
  ;;

imports)
  # Statically linked: nothing but the system's own DLLs, and the C runtime
  # is msvcrt.dll.
  shift
  objdump=$(command -v x86_64-w64-mingw32-objdump || command -v objdump)
  for exe in "$@"; do
    dlls=$("$objdump" -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
    echo "$(basename "$exe") imports: $dlls"
    case " $dlls" in *" msvcrt.dll "*) ;; *) fail "$exe does not import msvcrt.dll" ;; esac
    for dll in $dlls; do
      case $dll in
      msvcrt.dll | kernel32.dll) ;;
      *) fail "$exe needs $dll beside it" ;;
      esac
    done
  done
  finish
  ;;

image-export)
  need_wine
  prefix=$2 windows=$3 native=$4
  mkdir -p "$scratch/native" "$scratch/windows"
  run_native "$scratch/native" "$native"
  expect_status 0 "native image_export"
  cp "$scratch/out" "$scratch/native.out"

  run_wine "$prefix" "$scratch/windows" "$windows"
  expect_status 0 "image_export.exe"
  expect_empty err "image_export.exe"
  # The Windows console's line ending: CR LF.
  printf 'File write success: 216 bytes\r\n' >"$scratch/expected.out"
  cmp -s "$scratch/out" "$scratch/expected.out" ||
    fail "image_export.exe printed $(od -An -c "$scratch/out" | tr -s ' ' | head -2)"
  [ "$(stat -c %s "$scratch/windows/image_data.bin" 2>/dev/null)" = 224 ] ||
    fail "image_export.exe did not leave a 224-byte image_data.bin"
  cmp "$scratch/native/image_data.bin" "$scratch/windows/image_data.bin" ||
    fail "image_data.bin differs between the Windows and the native program"

  # A longer file from before is replaced, and arguments change nothing.
  head -c 5000 /dev/zero >"$scratch/windows/image_data.bin"
  run_wine "$prefix" "$scratch/windows" "$windows" --ignored 'two words'
  expect_status 0 "image_export.exe over a longer file, with arguments"
  cmp "$scratch/native/image_data.bin" "$scratch/windows/image_data.bin" ||
    fail "image_export.exe over a longer file left different bytes"

  # The name taken by a directory: the open fails.
  mkdir -p "$scratch/taken/image_data.bin"
  run_wine "$prefix" "$scratch/taken" "$windows"
  expect_status 1 "image_export.exe with a directory in the way"
  expect_empty out "image_export.exe with a directory in the way"
  grep -q '^fopen error: .' "$scratch/err" ||
    fail "image_export.exe with a directory in the way said: $(head -c 300 "$scratch/err")"
  [ "$(ls -A "$scratch/taken/image_data.bin")" = "" ] || fail "image_export.exe wrote into the directory in the way"
  finish
  ;;

binary-mode)
  need_wine
  prefix=$2 windows=$3
  mkdir -p "$scratch/run"
  run_wine "$prefix" "$scratch/run" "$windows"
  expect_status 0 "image_export.exe with line-end bytes"
  for i in $(seq 0 215); do printf "\\$(printf %03o "$i")"; done >"$scratch/expected.bin"
  printf '\n\r\n\032\n\n\r\r' >>"$scratch/expected.bin"
  cmp "$scratch/expected.bin" "$scratch/run/image_data.bin" ||
    fail "the bytes 0A, 0D and 1A did not come out as they went in: $(od -An -tx1 -N 16 -j 216 "$scratch/run/image_data.bin")"
  finish
  ;;

catalogue)
  need_wine
  prefix=$2 windows=$3 native=$4
  mkdir -p "$scratch/n" "$scratch/w"
  for command in table header list; do
    run_native "$scratch/n" "$native" "$command"
    expect_status 0 "native catalogue $command"
    mv "$scratch/out" "$scratch/native.$command"
    run_wine "$prefix" "$scratch/w" "$windows" "$command"
    expect_status 0 "catalogue.exe $command"
    expect_empty err "catalogue.exe $command"
    # Every line ends CR LF; without the CRs the text is the native one.
    lines=$(wc -l <"$scratch/out")
    crlf=$(grep -c $'\r$' "$scratch/out")
    [ "$lines" -gt 0 ] && [ "$lines" = "$crlf" ] || fail "catalogue.exe $command: $crlf of $lines lines end CR LF"
    tr -d '\r' <"$scratch/out" >"$scratch/windows.$command"
    cmp "$scratch/native.$command" "$scratch/windows.$command" ||
      fail "catalogue $command prints differently on Windows: $(diff "$scratch/native.$command" "$scratch/windows.$command" | head -5)"
  done

  run_native "$scratch/n" "$native" flash-image flash.bin
  expect_status 0 "native catalogue flash-image"
  run_wine "$prefix" "$scratch/w" "$windows" flash-image flash.bin
  expect_status 0 "catalogue.exe flash-image"
  expect_empty err "catalogue.exe flash-image"
  cmp "$scratch/n/flash.bin" "$scratch/w/flash.bin" || fail "the flash images differ"
  # Written again over itself: the replacement must succeed on Windows too.
  run_wine "$prefix" "$scratch/w" "$windows" flash-image flash.bin
  expect_status 0 "catalogue.exe flash-image over an existing image"
  cmp "$scratch/n/flash.bin" "$scratch/w/flash.bin" || fail "the rewritten flash image differs"

  # Options after the operand and with '=', as the C runtime's getopt_long
  # reads them too.
  run_wine "$prefix" "$scratch/w" "$windows" flash-image chip.bin --size=6M
  expect_status 0 "catalogue.exe flash-image chip.bin --size=6M"
  [ "$(stat -c %s "$scratch/w/chip.bin" 2>/dev/null)" = 6291456 ] || fail "catalogue.exe flash-image --size=6M wrote no 6 MiB"
  rm -f "$scratch/w/chip.bin"

  run_native "$scratch/n" "$native" export 278 nine.bin
  run_wine "$prefix" "$scratch/w" "$windows" export 278 nine.bin
  expect_status 0 "catalogue.exe export"
  cmp "$scratch/n/nine.bin" "$scratch/w/nine.bin" || fail "the exported bitmaps differ"
  leftovers=$(ls -A "$scratch/w" | grep -v -x -e flash.bin -e nine.bin)
  [ -z "$leftovers" ] || fail "catalogue.exe left files behind: $leftovers"

  # Preview writes into nested folders, made on the way.
  run_wine "$prefix" "$scratch/w" "$windows" preview 'sheets\deep'
  expect_status 0 "catalogue.exe preview"
  run_native "$scratch/n" "$native" preview sheets/deep
  (cd "$scratch/n/sheets/deep" && ls) >"$scratch/native.files"
  (cd "$scratch/w/sheets/deep" && ls) >"$scratch/windows.files"
  cmp -s "$scratch/native.files" "$scratch/windows.files" || fail "preview wrote other files on Windows"
  for f in $(cat "$scratch/native.files"); do
    cmp -s "$scratch/n/sheets/deep/$f" "$scratch/w/sheets/deep/$f" || fail "preview's $f differs"
  done

  # "-" is standard output, switched to binary mode: the bytes come through
  # a pipe unchanged, and the report goes to standard error. Entry 1 holds
  # 0A and 0D bytes, which a text stream would change.
  for bitmap in 269 1 farewell; do
    run_native "$scratch/n" "$native" export "$bitmap" -
    mv "$scratch/out" "$scratch/native.bitmap"
    run_wine_piped "$prefix" "$scratch/w" "$windows" export "$bitmap" -
    expect_status 0 "catalogue.exe export $bitmap -"
    size=$(stat -c %s "$scratch/native.bitmap")
    [ "$(stat -c %s "$scratch/out")" = "$size" ] ||
      fail "catalogue.exe export $bitmap - wrote $(stat -c %s "$scratch/out") bytes, not $size"
    cmp -s "$scratch/native.bitmap" "$scratch/out" || fail "catalogue.exe export $bitmap - changed the bytes"
    [ "$(tr -d '\r' <"$scratch/err")" = "standard output: $size bytes written" ] ||
      fail "catalogue.exe export $bitmap - reported: $(head -c 300 "$scratch/err")"
  done
  [ "$(stat -c %s "$scratch/native.bitmap" 2>/dev/null)" = 25600 ] || fail "the farewell screen is not 25600 bytes"
  run_native "$scratch/n" "$native" export 1 -
  [ "$(tr -cd '\n' <"$scratch/out" | wc -c)" -gt 0 ] || fail "entry 1 holds no 0A byte: pick another bitmap"

  # NUL is the null device: written, and no file of that name made.
  before=$(ls -A "$scratch/w")
  run_wine "$prefix" "$scratch/w" "$windows" export 269 NUL
  expect_status 0 "catalogue.exe export 269 NUL"
  [ "$(tr -d '\r' <"$scratch/out")" = "NUL: 216 bytes written" ] ||
    fail "catalogue.exe export 269 NUL printed: $(head -c 300 "$scratch/out")"
  [ "$(ls -A "$scratch/w")" = "$before" ] || fail "catalogue.exe export 269 NUL made files: $(ls -A "$scratch/w")"

  # A folder is refused, named as given.
  run_wine "$prefix" "$scratch/w" "$windows" export 269 sheets
  expect_status 1 "catalogue.exe export into a folder"
  [ "$(tr -d '\r' <"$scratch/err")" = "catalogue: sheets: Is a directory" ] ||
    fail "catalogue.exe export into a folder said: $(head -c 300 "$scratch/err")"

  # Usage errors keep their status.
  run_wine "$prefix" "$scratch/w" "$windows" export 279 x.bin
  expect_status 2 "catalogue.exe export of an index past the table"
  finish
  ;;

*)
  sed -n '2,12p' "$0" >&2
  exit 2
  ;;
esac
