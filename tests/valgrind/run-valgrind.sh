#!/usr/bin/env bash
# run-valgrind.sh IMAGE_EXPORT CATALOGUE: runs image_export (its run and its
# failure path) and every catalogue command under memcheck, each in a scratch
# directory. A case passes when memcheck reports no error (leaks definitely
# or indirectly lost count as errors), the program leaves no file descriptor
# of its own open, and the program's own exit status and output are the
# expected ones; memcheck's verdict is its own exit status (99, which none of
# the programs uses) and its log's error summary, apart from the program's.
#
# Exit status: 0 all clean, 1 a case failed, 2 usage, 77 no valgrind (ctest
# counts that as skipped). $VALGRIND names another valgrind binary.
# run-valgrind.sh --check asks only for valgrind: 0, or 77 as the run would end.
#
# image_export is linked statically in the usual builds. Memcheck cannot
# replace malloc in a static program, so there it checks neither the heap's
# bounds nor leaks; it still checks every read of a value never written
# (branches, and the bytes handed to write()), and every access outside
# memory the process has. static-glibc.supp silences glibc's own start-up
# and stdio reads of its thread block, which memcheck cannot see initialised.
set -uo pipefail

valgrind=${VALGRIND:-valgrind}
. "$(dirname "$0")/../support/tool-script.sh"
start run-valgrind.sh "$valgrind" valgrind "IMAGE_EXPORT CATALOGUE" 2 "$@"
image_export=$(realpath "$1")
catalogue=$(realpath "$2")
here=$(cd "$(dirname "$0")" && pwd)

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
passed=0
failed=0

# run NAME EXPECTED_STATUS DIR PROGRAM [ARGS...]: runs the program under
# memcheck in DIR; its output goes to $scratch/NAME.out and .err.
# Sets case_ok=false (with a reason printed) when anything is wrong.
run() {
  local name=$1 expected=$2 dir=$3
  shift 3
  local log=$scratch/$name.vg
  local start=$SECONDS status
  (cd "$dir" && within 300 "$valgrind" --tool=memcheck --error-exitcode=99 \
     --leak-check=full --errors-for-leak-kinds=definite,indirect \
     --track-fds=yes --num-callers=30 --suppressions="$here/static-glibc.supp" \
     --log-file="$log" "$@" </dev/null >"$scratch/$name.out" 2>"$scratch/$name.err")
  status=$?
  elapsed=$((SECONDS - start))
  case_ok=true
  if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
    echo "FAIL $name: $(tail -n 1 "$scratch/$name.err")"
    case_ok=false
  elif [ "$status" -eq 99 ] || ! grep -q "ERROR SUMMARY: 0 errors" "$log"; then
    echo "FAIL $name: memcheck reports errors"
    case_ok=false
  elif [ "$status" -ne "$expected" ]; then
    echo "FAIL $name: exit status $status, expected $expected"
    case_ok=false
  fi
  # A descriptor open at exit that was not inherited (from ctest, say): one
  # the program opened and never closed.
  local left
  left=$(awk '/Open file descriptor [0-9]+:/ { fd = $0; sub(/.*descriptor /, "", fd); sub(/:.*/, "", fd); pending = fd + 0; next }
              pending > 2 && /<inherited from parent>/ { pending = -1; next }
              pending > 2 { print pending; pending = -1 }' "$log")
  if [ -n "$left" ]; then
    echo "FAIL $name: file descriptor(s) left open: $left"
    case_ok=false
  fi
}

# finish NAME [CONDITION...]: counts the case; a condition that fails makes
# it fail. On failure shows what the program and memcheck said.
finish() {
  local name=$1
  shift
  if $case_ok && [ $# -gt 0 ] && ! "$@"; then
    echo "FAIL $name: unexpected result: $*"
    case_ok=false
  fi
  if $case_ok; then
    passed=$((passed + 1))
    echo "ok   $name (${elapsed}s)"
  else
    failed=$((failed + 1))
    for f in out err; do
      [ -s "$scratch/$name.$f" ] && { echo "--- $name: standard ${f/err/error}"; head -20 "$scratch/$name.$f"; }
    done
    echo "--- $name: memcheck"
    cat "$scratch/$name.vg"
  fi
}

size_is() { [ -f "$1" ] && [ "$(stat -c %s "$1")" = "$2" ]; }
first_line_is() { [ "$(head -n 1 "$1")" = "$2" ]; }
starts_with() { case $(head -n 1 "$1") in "$2"*) return 0 ;; esac; return 1; }
has_line() { grep -qxF "$2" "$1"; }
has_pngs() { [ -n "$(find "$1" -name '*.png')" ]; }
wrote_image_data() {
  first_line_is "$scratch/image_export.out" "File write success: 216 bytes" && size_is "$scratch/run/image_data.bin" 224
}

mkdir "$scratch/run" "$scratch/blocked" "$scratch/blocked/image_data.bin" "$scratch/cat"

run image_export 0 "$scratch/run" "$image_export"
finish image_export wrote_image_data

run image_export_fopen_error 1 "$scratch/blocked" "$image_export"
finish image_export_fopen_error starts_with "$scratch/image_export_fopen_error.err" "fopen error: "

run catalogue_list 0 "$scratch/cat" "$catalogue" list
finish catalogue_list starts_with "$scratch/catalogue_list.out" "entry "

run catalogue_table 0 "$scratch/cat" "$catalogue" table
finish catalogue_table has_line "$scratch/catalogue_table.out" "FLASH_sBITMAP flash_bolt[30] = {"

run catalogue_header 0 "$scratch/cat" "$catalogue" header
finish catalogue_header has_line "$scratch/catalogue_header.out" "extern FLASH_sBITMAP flash_bolt[30];"

run catalogue_flash_image 0 "$scratch/cat" "$catalogue" flash-image flash.bin
finish catalogue_flash_image size_is "$scratch/cat/flash.bin" 5892556

run catalogue_flash_image_size 0 "$scratch/cat" "$catalogue" flash-image --size 8M chip.bin
finish catalogue_flash_image_size size_is "$scratch/cat/chip.bin" 8388608

# A read-back that holds the image, one that differs in a pixel of entry
# 269, and a directory, whose descriptor must be closed all the same.
run catalogue_verify 0 "$scratch/cat" "$catalogue" verify chip.bin
finish catalogue_verify starts_with "$scratch/catalogue_verify.out" "chip.bin: holds the flash image"
printf '\201' | dd of="$scratch/cat/chip.bin" bs=1 seek=$((0x59e14e)) conv=notrunc status=none
run catalogue_verify_differs 1 "$scratch/cat" "$catalogue" verify chip.bin
finish catalogue_verify_differs starts_with "$scratch/catalogue_verify_differs.out" "269 digits_cool:0: "
run catalogue_verify_directory 1 "$scratch/cat" "$catalogue" verify .
finish catalogue_verify_directory starts_with "$scratch/catalogue_verify_directory.err" "catalogue: .: "

run catalogue_export 0 "$scratch/cat" "$catalogue" export 269 zero.bin
finish catalogue_export size_is "$scratch/cat/zero.bin" 216

# The farewell screen, by its run's name, to standard output; and the
# device and link paths of the writer, through nodes of the scratch folder.
run catalogue_export_stdout 0 "$scratch/cat" "$catalogue" export farewell -
finish catalogue_export_stdout size_is "$scratch/catalogue_export_stdout.out" 25600

ln -s zero.bin "$scratch/cat/link.bin"
run catalogue_export_link 0 "$scratch/cat" "$catalogue" export 278 link.bin
finish catalogue_export_link size_is "$scratch/cat/zero.bin" 216

mkfifo "$scratch/cat/fifo"
cat "$scratch/cat/fifo" >"$scratch/fifo.bytes" &
reader=$!
run catalogue_export_fifo 0 "$scratch/cat" "$catalogue" export smoke:10 fifo
: <>"$scratch/cat/fifo"  # a run that never opened it must not leave cat waiting
wait "$reader"
finish catalogue_export_fifo size_is "$scratch/fifo.bytes" 25600

run catalogue_export_failure 1 "$scratch/cat" "$catalogue" export 269 missing/zero.bin
finish catalogue_export_failure starts_with "$scratch/catalogue_export_failure.err" "catalogue: "

run catalogue_preview 0 "$scratch/cat" "$catalogue" preview previews
finish catalogue_preview has_pngs "$scratch/cat/previews"

run catalogue_help 0 "$scratch/cat" "$catalogue" --help
finish catalogue_help starts_with "$scratch/catalogue_help.out" "usage: catalogue"

run catalogue_usage_error 2 "$scratch/cat" "$catalogue" no-such-command
finish catalogue_usage_error starts_with "$scratch/catalogue_usage_error.err" "catalogue: "

echo "valgrind: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
