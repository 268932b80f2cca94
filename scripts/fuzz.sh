#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs them.
#   scripts/fuzz.sh --short        about 60 s in all (part of the test command)
#   scripts/fuzz.sh SECONDS        SECONDS per target, for longer runs
# Every target first replays its saved regression inputs (fuzz/regressions/),
# then fuzzes from the seed corpus kept in fuzz/corpus/ (copied, so the
# repository's corpus only changes when you choose to add to it).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"

total=60
per=""
case "${1:---short}" in
  --short) ;;
  *) per=$1 ;;
esac

mkdir -p build
source scripts/configure.sh
configure_tree fuzz || exit 1
targets=()
for src in fuzz/fuzz_*.cpp; do targets+=("$(basename "$src" .cpp)"); done
ninja -C build/fuzz "${targets[@]}" > build/fuzz.log 2>&1 || { tail -n 40 build/fuzz.log; exit 1; }

[ -n "$per" ] || per=$(( total / ${#targets[@]} ))
[ "$per" -ge 1 ] || per=1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
runs_total=0
for t in "${targets[@]}"; do
  name=${t#fuzz_}
  bin=build/fuzz/fuzz/$t
  if compgen -G "fuzz/regressions/$name/*" >/dev/null; then
    "$bin" fuzz/regressions/"$name"/* >"$work/$t.replay" 2>&1 || { cat "$work/$t.replay"; failed=1; continue; }
  fi
  mkdir -p "$work/$name"
  cp -r fuzz/corpus/"$name"/. "$work/$name"/ 2>/dev/null || true
  if "$bin" -max_total_time="$per" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
      -artifact_prefix="$work/$t-" "$work/$name" >"$work/$t.log" 2>&1; then
    runs=$(grep -oE 'Done [0-9]+ runs' "$work/$t.log" | grep -oE '[0-9]+' || echo 0)
    runs_total=$((runs_total + runs))
    echo "fuzz: $t: $runs runs in ${per}s, no crash"
  else
    echo "fuzz: $t: CRASH"
    grep -E 'ERROR|SUMMARY|Test unit written' "$work/$t.log" | head -n 10
    mkdir -p "fuzz/regressions/$name"
    cp "$work/$t-"* "fuzz/regressions/$name/" 2>/dev/null || true
    echo "fuzz: the input is saved in fuzz/regressions/$name/; fix the crash and keep it there"
    failed=1
  fi
done
echo "fuzz: ${#targets[@]} targets, $runs_total runs"
exit $failed
