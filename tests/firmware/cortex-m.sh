#!/usr/bin/env bash
# The README's firmware example on a Cortex-M: builds the board of
# cortex_m_board.c with the catalogue's printed files, and runs it in QEMU.
#
#   cortex-m.sh tools                              exit 77 naming a missing tool
#   cortex-m.sh build OUT FILES STD CPU            OUT/board.elf and OUT/board.map; prints
#                                                  arm-none-eabi-size of the tables' object
#   cortex-m.sh run ELF IMAGE DIR                  the board's report; drawn.bin into DIR
#
# FILES holds flash_tables.c and flash_tables.h as `catalogue table` and
# `catalogue header` print them; STD is the language, c99, c11 or c++17; CPU
# is -mcpu's (cortex-m0plus, cortex-m4).
# Built as a firmware would be: -Os, every warning an error. The image is
# loaded into the machine's PSRAM, the board's external flash, by QEMU's
# generic loader; -icount makes the board's instruction counts exact.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

tools() {
  for tool in arm-none-eabi-gcc arm-none-eabi-g++ arm-none-eabi-size qemu-system-arm; do
    command -v "$tool" >/dev/null || { echo "cortex-m.sh: $tool not found (apt-get install gcc-arm-none-eabi libnewlib-arm-none-eabi qemu-system-arm)" >&2; exit 77; }
  done
  # The C library the link needs comes in its own package.
  if ! arm-none-eabi-gcc -mcpu=cortex-m0plus -mthumb -print-file-name=libc.a | grep -q /; then
    echo "cortex-m.sh: newlib for arm-none-eabi not found (apt-get install libnewlib-arm-none-eabi)" >&2
    exit 77
  fi
}

case ${1:-} in
tools)
  tools
  ;;
build)
  [ $# = 5 ] || { echo "usage: cortex-m.sh build OUT FILES STD CPU" >&2; exit 2; }
  out=$2 files=$3 std=$4 cpu=$5
  mkdir -p "$out/include"
  # The firmware's own entry type, const: the tables go to read-only memory.
  printf '%s\n' '#include <stdint.h>' \
    'typedef const struct { uint8_t width, height; uint32_t offset; } FLASH_sBITMAP;' >"$out/include/flash_sbitmap.h"
  # Every table the header declares, for the board to draw them all.
  sed -n 's/^extern FLASH_sBITMAP flash_\([a-z0-9_]*\)\[\([0-9]*\)\];$/  X(\1, \2)/p' "$files/flash_tables.h" |
    { echo '#define BOARD_TABLES \'; sed 's/$/ \\/'; echo; } >"$out/include/board_tables.h"
  case $std in
  c++*) compiler=(arm-none-eabi-g++ -x c++ -std="$std" -fno-exceptions -fno-rtti) ;;
  *) compiler=(arm-none-eabi-gcc -x c -std="$std") ;;
  esac
  flags=(-mcpu="$cpu" -mthumb -Os -Wall -Wextra -Wpedantic -Werror -ffunction-sections -fdata-sections
    -I "$out/include" -I "$files")
  "${compiler[@]}" "${flags[@]}" -c "$files/flash_tables.c" -o "$out/tables.o"
  "${compiler[@]}" "${flags[@]}" -c "$here/cortex_m_board.c" -o "$out/board.o"
  arm-none-eabi-gcc -mcpu="$cpu" -mthumb -nostartfiles -T "$here/cortex_m.ld" -Wl,--gc-sections \
    -Wl,-Map="$out/board.map" "$out/tables.o" "$out/board.o" -o "$out/board.elf"
  arm-none-eabi-size "$out/tables.o"
  ;;
run)
  [ $# = 4 ] || { echo "usage: cortex-m.sh run ELF IMAGE DIR" >&2; exit 2; }
  elf=$(realpath "$2") image=$(realpath "$3")
  cd "$4"
  exec timeout 300 qemu-system-arm -M mps2-an385 -display none -serial null -monitor none -nodefaults \
    -nic none -icount shift=6 -chardev stdio,id=semihosting,signal=off \
    -semihosting-config enable=on,target=native,chardev=semihosting -kernel "$elf" \
    -device loader,file="$image",addr=0x21000000,force-raw=on
  ;;
*)
  echo "usage: cortex-m.sh tools | build OUT FILES STD CPU | run ELF IMAGE DIR" >&2
  exit 2
  ;;
esac
