#!/bin/sh
# Runs the example's firmware on QEMU's mps2-an385 with the flash image in
# its PSRAM, the board's external flash, loaded there by QEMU's generic
# loader; drawn.bin goes to the current folder. -icount makes the board's
# instruction counts exact.
#
#   run-qemu.sh FIRMWARE_ELF FLASH_IMAGE
[ $# = 2 ] || { echo "usage: run-qemu.sh FIRMWARE_ELF FLASH_IMAGE" >&2; exit 2; }
exec timeout 300 qemu-system-arm -M mps2-an385 -display none -serial null -monitor none -nodefaults \
  -nic none -icount shift=6 -chardev stdio,id=semihosting,signal=off \
  -semihosting-config enable=on,target=native,chardev=semihosting -kernel "$1" \
  -device loader,file="$2",addr=0x21000000,force-raw=on
