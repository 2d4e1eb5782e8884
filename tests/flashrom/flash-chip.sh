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
# 5. the lines `flash-image --since` prints, run one at a time on a chip
#    holding the older image (one digit, and so the record, otherwise): after
#    each, the chip holds the older image, no valid record, or the new one;
#    on a chip holding another image the first fails and nothing is written;
#    and with the image at 0x20000, the boot region below stays as it was.
#
# The chip is the scratch folder's chip.bin; nothing else is touched.
#
# Exit status: 0 all as expected, 1 something was not, 77 flashrom is not
# installed (ctest counts that as skipped). flash-chip.sh --check asks only
# for flashrom: 0, or 77 as the run would end.
set -uo pipefail

. "$(dirname "$0")/../support/tool-script.sh"
start flash-chip.sh flashrom flashrom CATALOGUE 1 "$@"
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
  if within 120 "$@" >step.log 2>&1; then
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
  within 60 "$catalogue" verify "$1" >verify.out 2>&1 || status=$?
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

# The firmware's boot check compares the 16 bytes of the record with its
# own: a record equal to either image's over other pixels passes it.
record=$(( $(within 60 "$catalogue" list | awk '$2 == "(record)" { print $5 }') ))
record_of() { tail -c +$((record + 1)) "$1" | head -c 16; }
# held REGION: what the image's region of the chip holds: old, new, or none
# when its record is neither's; anything else is a fault.
held() {
  if cmp -s "$1" old.bin; then echo old
  elif cmp -s "$1" new.bin; then echo new
  elif cmp -s <(record_of "$1") <(record_of old.bin) || cmp -s <(record_of "$1") <(record_of new.bin); then
    echo "a record over other pixels"
  else echo none
  fi
}

# reflash WHAT OFFSET STATES ARGS...: `catalogue flash-image --since old.bin
# ARGS new.bin`, its lines then run one at a time as the docs' script runs
# them, stopping at the first that fails; after each, the image's region
# OFFSET bytes into the chip must hold the next of STATES.
reflash() {
  local states=""
  within 60 "$catalogue" flash-image --since old.bin --layout changed.layout "${@:4}" new.bin >plan || states=" refused"
  sed -n 's/^flashrom -p PROGRAMMER -c CHIP /flashrom "${chip[@]}" /p' plan >steps
  while read -r line <&3; do
    eval "within 120 $line" >flashrom.log 2>&1 || { states+=" failed"; break; }
    tail -c +$(($2 + 1)) chip.bin | head -c "$(stat -c %s new.bin)" >now.bin
    states+=" $(held now.bin)"
  done 3<steps
  [ "$states" = "$3" ] && echo "ok   $1:$3" || fail "$1:$states, expected$3"
}

step "older-image.sh old.bin 141" "$older_image" "$catalogue" flash.bin old.bin 141
cp old.bin chip.bin
reflash "the lines, the chip holding old.bin" 0 " old none none new" --size 8M
step "older-image.sh other.bin 259" "$older_image" "$catalogue" flash.bin other.bin 259
cp other.bin chip.bin
reflash "the lines, the chip holding other.bin" 0 " failed" --size 8M
cmp -s chip.bin other.bin || fail "the lines wrote to a chip holding other.bin"

# The image as a region at 0x20000, above a boot region that must stay.
step "older-image.sh old.bin 141, 8064K" "$older_image" "$catalogue" bitmaps.bin old.bin 141
{ head -c $((0x20000)) /dev/urandom; cat old.bin; } >chip.bin
cp chip.bin before.bin
reflash "the lines at 0x20000" $((0x20000)) " old none none new" --chip-offset 0x20000 --size 8064K
cmp -s -n $((0x20000)) before.bin chip.bin || fail "the lines at 0x20000 changed the boot region"

exit "$failed"
