#!/usr/bin/env bash
# Sets up, builds and runs every test: native unit tests under ASan/UBSan,
# the same unit tests and the Windows-layer tests under wine64, the Java
# side, and the end-to-end tests that drive the packed launcher under Wine.
set -uo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"

bash scripts/build.sh || { echo "test: build failed"; exit 1; }

source scripts/wine-env.sh
wine_start
trap wine_stop EXIT

export VTL_BUILD_WIN64="$ROOT/build/win64" VTL_BUILD_WIN32="$ROOT/build/win32" VTL_BUILD_NATIVE="$ROOT/build/native"
failed=0

echo "== native unit tests (ASan/UBSan)"
ctest --test-dir build/asan --output-on-failure || failed=1

echo "== Windows unit tests (wine64)"
ctest --test-dir build/win64 --output-on-failure || failed=1

suites=()
for d in tests/integration runtime/tests testrt/tests hostjvm/tests; do
  [ -d "$d" ] && ls "$d"/test_*.py >/dev/null 2>&1 && suites+=("$d")
done
echo "== end-to-end tests (pytest)"
/usr/bin/python3 -m pytest -q -p no:cacheprovider "${suites[@]}" || failed=1

if [ -x scripts/fuzz.sh ]; then
  echo "== short fuzz run"
  bash scripts/fuzz.sh --short || failed=1
fi

if [ $failed -ne 0 ]; then
  echo "test: FAILED"
  exit 1
fi
echo "test: all passed"
