#!/bin/sh
# Applies our patches (regex/pcre-patches/*.patch) to the PCRE source folder given,
# each once: a patch that is already in place is left alone, so the Windows and the
# native build can both run this on the one shared source folder.
set -eu
source_dir=$1
patches=$(dirname "$0")/../regex/pcre-patches
for patch_file in "$patches"/*.patch; do
  if patch -d "$source_dir" -p1 -R -s -f --dry-run <"$patch_file" >/dev/null 2>&1; then
    continue
  fi
  echo "patch-pcre: applying $(basename "$patch_file")"
  patch -d "$source_dir" -p1 -N -s <"$patch_file"
done
