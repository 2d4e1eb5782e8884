#!/usr/bin/env bash
# older-image.sh CATALOGUE IMAGE OLD WHAT...: writes OLD, IMAGE as an earlier
# build would have made it with other art for WHAT, a table entry or a run's
# name as `catalogue list` shows them: every byte of their pixels inverted,
# and the record's CRC-32 of the bytes before it worked out again (gzip's
# trailer holds the same CRC-32, little-endian like the record).
set -euo pipefail
[ $# -ge 4 ] || { echo "usage: older-image.sh CATALOGUE IMAGE OLD WHAT..." >&2; exit 2; }
catalogue=$1 old=$3
listing=$("$catalogue" list)
cp "$2" "$old"
inverse=$(printf '\\%03o' {255..0})
for what in "${@:4}"; do
  rows=$(awk -v w="$what" '$1 == w || $2 == w { print $5, $4 }' <<< "$listing")
  [ -n "$rows" ] || { echo "older-image.sh: no bitmap '$what' in the listing" >&2; exit 1; }
  while read -r offset bytes; do
    dd if="$old" bs=64K skip=$((offset)) count="$bytes" iflag=skip_bytes,count_bytes status=none |
      tr '\000-\377' "$inverse" | dd of="$old" bs=64K seek=$((offset)) oflag=seek_bytes conv=notrunc status=none
  done <<< "$rows"
done
record=$(awk '$2 == "(record)" { print $5 }' <<< "$listing")
head -c $((record)) "$old" | gzip -1 | tail -c 8 |
  dd of="$old" bs=4 count=1 seek=$((record + 12)) oflag=seek_bytes conv=notrunc status=none
