#!/bin/sh
# Whether this machine can build against the package with Make and
# pkg-config: exit 0, or 77 naming the first tool missing.
for tool in make pkg-config cc; do
  command -v "$tool" >/dev/null 2>&1 && continue
  echo "$tool not found (apt-get install make pkgconf gcc)"
  exit 77
done
