#!/usr/bin/env bash
# Sets up, builds and runs every test: native unit tests under ASan/UBSan,
# the same unit tests and the Windows-layer tests under Wine on both widths,
# the Java side, and the end-to-end tests that drive the packed launcher
# under Wine: the x86_64 build under wine64 and the i686 build (the product)
# under the 32-bit Wine of scripts/setup32.sh.
#
# VTL_I686=subset (the default) runs the end-to-end tests named in
# tests/i686-subset.txt on i686, the whole suite on x86_64; VTL_I686=all
# runs the whole suite on both widths (about 20 minutes more); VTL_I686=none
# skips the 32-bit side (and its set-up) altogether.
set -uo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"
I686=${VTL_I686:-subset}
case $I686 in all|subset|none) ;; *) echo "test: VTL_I686 must be all, subset or none"; exit 2 ;; esac

started=$SECONDS
mkdir -p build
# The 32-bit environment is mostly downloads and unpacking: it goes on
# beside the host's packages and the (CPU-bound) build. It needs only
# debootstrap from the host.
setup32_pid=""
if [ "$I686" != none ]; then
  bash scripts/setup.sh debootstrap || { echo "test: set-up failed"; exit 1; }
  bash scripts/setup32.sh > build/setup32.log 2>&1 &
  setup32_pid=$!
fi
bash scripts/setup.sh || { echo "test: set-up failed"; exit 1; }
VTL_SKIP_SETUP=1 bash scripts/build.sh || { echo "test: build failed"; exit 1; }
if [ -n "$setup32_pid" ]; then
  if ! wait "$setup32_pid"; then
    cat build/setup32.log
    echo "test: 32-bit set-up failed"
    exit 1
  fi
  cat build/setup32.log
  # The host's JDK folders it shares may have come with the packages
  # installed meanwhile.
  bash scripts/setup32.sh --mount || { echo "test: 32-bit set-up failed"; exit 1; }
fi
echo "test: set-up and build took $((SECONDS - started)) s"

source scripts/wine-env.sh
# Fresh servers: services an earlier run left running would keep their old
# standard error, where the tests read Wine's event log entries.
wine_stop
[ "$I686" != none ] && wine32_stop
wine_start
[ "$I686" != none ] && wine32_start
trap 'wine_stop; wine32_stop' EXIT

export VTL_BUILD_WIN64="$ROOT/build/win64" VTL_BUILD_WIN32="$ROOT/build/win32" VTL_BUILD_NATIVE="$ROOT/build/native"
failed=0

if [ "$I686" != none ]; then
  echo "== Windows unit tests, i686 (32-bit Wine)"
  WINEPREFIX="$WINEPREFIX32" ctest --test-dir build/win32 --output-on-failure || failed=1
fi

suites=()
for d in tests/integration runtime/tests testrt/tests hostjvm/tests; do
  [ -d "$d" ] && ls "$d"/test_*.py >/dev/null 2>&1 && suites+=("$d")
done
pytest=(/usr/bin/python3 -m pytest -q -p no:cacheprovider)

# The i686 end-to-end tests are the longest part (each 32-bit program start
# costs about 0.3 s): they start now and go on beside everything else, in
# their own prefix with their own wineserver; their output follows at the end.
i686_pid=""
if [ "$I686" != none ]; then
  if [ "$I686" = all ]; then
    # The Java side does not depend on the launcher's width.
    selection=(tests/integration testrt/tests hostjvm/tests)
  else
    mapfile -t selection < <(sed -e 's/#.*//' -e '/^[[:space:]]*$/d' tests/i686-subset.txt)
  fi
  (
    t0=$SECONDS
    VTL_TEST_WIDTH=i686 WINEPREFIX="$WINEPREFIX32" "${pytest[@]}" "${selection[@]}"
    rc=$?
    echo "(i686 end-to-end tests: $((SECONDS - t0)) s)"
    exit $rc
  ) > build/pytest-i686.log 2>&1 &
  i686_pid=$!
fi

echo "== native unit tests (ASan/UBSan)"
ctest --test-dir build/asan --output-on-failure || failed=1

echo "== Windows unit tests, x86_64 (wine64)"
ctest --test-dir build/win64 --output-on-failure || failed=1

echo "== end-to-end tests, x86_64 (pytest)"
t0=$SECONDS
VTL_TEST_WIDTH=x86_64 "${pytest[@]}" "${suites[@]}" || failed=1
echo "(x86_64 end-to-end tests: $((SECONDS - t0)) s)"

if [ -x scripts/fuzz.sh ]; then
  echo "== short fuzz run"
  bash scripts/fuzz.sh --short || failed=1
fi

if [ -n "$i686_pid" ]; then
  wait "$i686_pid" || failed=1
  echo "== end-to-end tests, i686 (pytest, $I686)"
  cat build/pytest-i686.log
fi

echo "test: $((SECONDS - started)) s in all"
if [ $failed -ne 0 ]; then
  echo "test: FAILED"
  exit 1
fi
echo "test: all passed"
