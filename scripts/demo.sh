#!/usr/bin/env bash
# Expands the example reply template against the example message.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
echo "== kvlhost info"
scripts/wine-run.sh build/bin/kvlhost.exe info | head -n 2
echo "== kvlhost expand examples/reply.tpl --message examples/reply.eml"
scripts/wine-run.sh build/bin/kvlhost.exe expand examples/reply.tpl --message examples/reply.eml
