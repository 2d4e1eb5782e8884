#!/bin/sh
# Whether this machine can build the example firmware and run it: exit 0,
# or 77 naming the first tool missing and the packages that bring it.
for tool in arm-none-eabi-gcc arm-none-eabi-g++ arm-none-eabi-size qemu-system-arm; do
  command -v "$tool" >/dev/null 2>&1 || missing=$tool
  [ -n "$missing" ] && break
done
# The C library the link needs comes in a package of its own.
if [ -z "$missing" ]; then
  case $(arm-none-eabi-gcc -mcpu=cortex-m0plus -mthumb -print-file-name=libc.a) in
    */*) ;;
    *) missing="newlib for arm-none-eabi" ;;
  esac
fi
[ -z "$missing" ] && exit 0
echo "$missing not found (apt-get install gcc-arm-none-eabi libnewlib-arm-none-eabi qemu-system-arm)"
exit 77
