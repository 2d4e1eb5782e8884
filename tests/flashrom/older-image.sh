#!/usr/bin/env bash
# older-image.sh CATALOGUE IMAGE OLD WHAT...: writes OLD, IMAGE as it would
# have been with other art for WHAT: a table entry, or a run's name for all
# of its bitmaps, as `catalogue list` names them. Their pixel bytes are
# inverted (every byte differs), and the record's CRC-32 is worked out again
# over the bytes before it, as an earlier build would have done: gzip's
# trailer holds the same CRC-32, little-endian like the record.
set -euo pipefail

if [ $# -lt 4 ]; then
  echo "usage: older-image.sh CATALOGUE IMAGE OLD WHAT..." >&2
  exit 2
fi
catalogue=$1 image=$2 old=$3
shift 3
listing=$("$catalogue" list)
cp "$image" "$old"

# invert OFFSET LENGTH: the bytes of OLD from OFFSET on, in place.
inverse=$(printf '\\%03o' {255..0})
invert() {
  dd if="$old" bs=64K skip="$1" count="$2" iflag=skip_bytes,count_bytes status=none | tr '\000-\377' "$inverse" |
    dd of="$old" bs=64K seek="$1" oflag=seek_bytes conv=notrunc status=none
}

for what in "$@"; do
  rows=$(awk -v w="$what" '$1 == w || $2 == w { print $5, $4 }' <<< "$listing")
  if [ -z "$rows" ]; then
    echo "older-image.sh: no bitmap '$what' in the listing" >&2
    exit 1
  fi
  while read -r offset bytes; do invert $((offset)) "$bytes"; done <<< "$rows"
done

record=$(awk '$2 == "(record)" { print $5 }' <<< "$listing")
head -c $((record)) "$old" | gzip -1 | tail -c 8 |
  dd of="$old" bs=4 count=1 seek=$((record + 12)) oflag=seek_bytes conv=notrunc status=none
