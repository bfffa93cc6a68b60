#!/bin/sh
# Brings the PCRE source folder given to our patches (regex/pcre-patches/*.patch, in
# name order). Each patch applied is recorded in the folder (.kvl-patches/), so a
# patch that changed since (an edit, a planted fault, a branch switched) is taken off
# in its recorded form and applied anew, with every patch after it. A folder patched
# before the record was kept adopts the patches it already carries. The Windows and
# the native build both run this on the one shared source folder.
set -eu
source_dir=$1
patches=$(cd "$(dirname "$0")/../regex/pcre-patches" && pwd)
record=$source_dir/.kvl-patches
mkdir -p "$record"

in_order() { LC_ALL=C sort "$@"; }
wanted=$(cd "$patches" && ls -1 | grep '\.patch$' | in_order || true)

if [ -z "$(ls -A "$record")" ]; then
  for name in $wanted; do
    patch -d "$source_dir" -p1 -R -s -f --dry-run <"$patches/$name" >/dev/null 2>&1 || break
    cp "$patches/$name" "$record/$name"
  done
fi
recorded=$(cd "$record" && ls -1 | in_order || true)

# The recorded patches that are still wanted unchanged, up to the first difference.
keep=" "
set -- $wanted
for name in $recorded; do
  if [ $# -gt 0 ] && [ "$1" = "$name" ] && cmp -s "$patches/$name" "$record/$name"; then
    keep="$keep$name "
    shift
  else
    break
  fi
done

for name in $(printf '%s\n' $recorded | in_order -r); do
  case "$keep" in *" $name "*) continue ;; esac
  echo "patch-pcre: taking off $name"
  patch -d "$source_dir" -p1 -R -s --no-backup-if-mismatch <"$record/$name"
  rm "$record/$name"
done

for name in $wanted; do
  case "$keep" in *" $name "*) continue ;; esac
  echo "patch-pcre: applying $name"
  # Tried first, so a patch that does not fit leaves the source as it was.
  patch -d "$source_dir" -p1 -N -s -f --dry-run <"$patches/$name" >/dev/null
  patch -d "$source_dir" -p1 -N -s --no-backup-if-mismatch <"$patches/$name"
  cp "$patches/$name" "$record/$name"
done
