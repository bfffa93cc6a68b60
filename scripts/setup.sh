#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine,
# and fetches the PCRE 8.39 and gumbo 0.10.1 sources that the build compiles for the target.
# Idempotent: a second run installs nothing and returns quickly.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
pcre_dir="$here/build/deps/pcre3"
gumbo_dir="$here/build/deps/gumbo"

packages=(
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  mingw-w64-i686-dev libz-mingw-w64-dev
  cmake ninja-build make
  wine wine32:i386
  xvfb xauth
  googletest nlohmann-json3-dev
  dpkg-dev locales
  # applies our changes to PCRE's source (scripts/patch-pcre.sh)
  patch
  # the zone database: the date tests run Wine in fixed zones (TZ=Asia/Kolkata, Etc/GMT+5)
  tzdata
  python3
  # Python's email test corpus (test/test_email/data/msg_*.txt) for tests/email_peers.py
  libpython3.11-testsuite
  # the SFV checker that verifies the plug-in's Attachments.sfv (tests/checksum_peers.py)
  cksfv
  # reads the X clipboard that KVL_SetClipB fills (tests/clipboard_x.py)
  xclip
  # unpacks the user package in tests/dist_package.py
  unzip
  # fetches the gumbo source (below)
  curl ca-certificates
  # make dist renders the user docs to HTML with GitHub's Markdown renderer;
  # tests/dist_package.py checks every link and image of the result
  cmark-gfm linkchecker
  # the native build under the sanitizers: clang, its runtimes (libFuzzer included),
  # llvm-symbolizer for readable reports, and googletest built for the host
  clang llvm libclang-rt-14-dev libgtest-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)

# apt-get source needs deb-src entries beside the binary ones: copied from the
# deb822 list (debian.sources) or from the one-line sources.list, whichever there is.
# Answers 0 when it added entries.
add_source_entries() {
  if grep -rqsE '^(deb-src |Types:.*deb-src)' /etc/apt/sources.list /etc/apt/sources.list.d/; then return 1; fi
  if [ -e /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      | "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
  elif [ -e /etc/apt/sources.list ]; then
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list \
      | "${sudo_cmd[@]}" tee /etc/apt/sources.list.d/debian-src.list >/dev/null
  else
    return 1
  fi
  return 0
}

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  add_source_entries || true
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Wine converts command-line arguments with the Unix locale's character set, so
# the locales the tests pin must exist (UTF-8 throughout).
wanted_locales=(en_US.UTF-8 de_DE.UTF-8 ru_RU.UTF-8 el_GR.UTF-8 ja_JP.UTF-8)
missing_locales=()
for l in "${wanted_locales[@]}"; do
  locale -a 2>/dev/null | grep -qix "$(echo "$l" | sed 's/UTF-8/utf8/')" || missing_locales+=("$l")
done
if [ ${#missing_locales[@]} -gt 0 ]; then
  echo "setup: generating locales ${missing_locales[*]}"
  for l in "${missing_locales[@]}"; do
    grep -q "^$l UTF-8" /etc/locale.gen 2>/dev/null || echo "$l UTF-8" | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
  done
  "${sudo_cmd[@]}" locale-gen >/dev/null
fi

# PCRE 8.39 from Debian's pcre3 source package; the build compiles it (cached).
if [ ! -f "$pcre_dir/pcre.h.generic" ]; then
  if add_source_entries; then "${sudo_cmd[@]}" apt-get update -qq; fi
  echo "setup: fetching the pcre3 source"
  tmp=$(mktemp -d)
  (cd "$tmp" && apt-get source -qq pcre3 >/dev/null 2>&1 || { cd "$tmp" && apt-get source pcre3; })
  src=$(find "$tmp" -maxdepth 1 -type d -name 'pcre3-*' | head -n 1)
  [ -n "$src" ] || { echo "setup: apt-get source pcre3 gave no source folder" >&2; exit 1; }
  mkdir -p "$(dirname "$pcre_dir")"
  rm -rf "$pcre_dir"
  mv "$src" "$pcre_dir"
  rm -rf "$tmp"
fi

# Debian's patches leave configure.ac newer than configure; put the generated
# files back in order so make never calls the autotools.
if [ ! -f "$pcre_dir/.kvl-timestamps" ]; then
  (cd "$pcre_dir" &&
    find . -type f -exec touch -d '2000-01-01 00:00' {} + &&
    touch -d '2000-01-02 00:00' aclocal.m4 &&
    touch -d '2000-01-03 00:00' configure Makefile.in &&
    touch -d '2000-01-04 00:00' config.h.in &&
    touch .kvl-timestamps)
fi

# Google's gumbo HTML5 parser, release 0.10.1: kvlhost renders HTML-only mail with it.
# Debian's gumbo-parser source is not on every mirror, so the same release comes from the
# npm registry, where the gumbo-parser package carries it in deps/gumbo-parser; the
# download is checked against its pinned SHA-512.
gumbo_url=https://registry.npmjs.org/gumbo-parser/-/gumbo-parser-0.3.0.tgz
gumbo_sha512=19ac347294b98dae9de0e93d1522b61123f430e1d0f25b51602c5618b3255f0bc6459016919dd2a9be454d3d0c6e3c8691a9379130780bb80c583362a0a3f484
if [ ! -f "$gumbo_dir/src/gumbo.h" ]; then
  echo "setup: fetching the gumbo 0.10.1 source"
  tmp=$(mktemp -d)
  curl -fsSL --retry 3 -o "$tmp/gumbo.tgz" "$gumbo_url"
  echo "$gumbo_sha512  $tmp/gumbo.tgz" | sha512sum -c --quiet - ||
    { echo "setup: the gumbo download does not match its SHA-512" >&2; exit 1; }
  tar -xzf "$tmp/gumbo.tgz" -C "$tmp" package/deps/gumbo-parser
  grep -q '^Gumbo 0.10.1 ' "$tmp/package/deps/gumbo-parser/CHANGES.md" ||
    { echo "setup: the gumbo download is not release 0.10.1" >&2; exit 1; }
  mkdir -p "$(dirname "$gumbo_dir")"
  rm -rf "$gumbo_dir"
  mv "$tmp/package/deps/gumbo-parser" "$gumbo_dir"
  rm -rf "$tmp"
fi

echo "setup: ready"
