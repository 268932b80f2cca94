#!/usr/bin/env bash
# Prints the launcher's speed and size figures, one a line.
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
[ "${VTL_SKIP_BUILD:-0}" = 1 ] || bash scripts/build.sh >/dev/null
source scripts/wine-env.sh
wine_start
trap wine_stop EXIT
/usr/bin/python3 scripts/bench.py
