#!/usr/bin/env bash
# Runs every fuzz target for SECONDS each (default 20) on its seed corpus.
# Needs the `fuzz` preset built: cmake --preset fuzz && cmake --build --preset fuzz
# A crash, leak or sanitizer report fails the script; the input that caused
# it is left in build/fuzz/findings/.
set -euo pipefail
seconds=${1:-20}
top=$(cd "$(dirname "$0")/.." && pwd)
bin="$top/build/fuzz/fuzz"
work="$top/build/fuzz"
rm -rf "$work/corpus"
"$bin/fuzz_seeds" "$top" "$work/corpus"
mkdir -p "$work/findings"
status=0
passed=0
failed=0
for target in "$bin"/fuzz_*; do
  name=$(basename "$target")
  [ "$name" = fuzz_seeds ] && continue
  mkdir -p "$work/corpus/$name"
  echo "== $name (${seconds}s)"
  if ! "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
       -dict="$top/fuzz/dicts/formats.dict" -artifact_prefix="$work/findings/$name-" \
       -print_final_stats=1 "$work/corpus/$name" > "$work/$name.log" 2>&1; then
    echo "!! $name failed; see $work/$name.log"
    tail -40 "$work/$name.log"
    status=1
    failed=$((failed + 1))
  else
    passed=$((passed + 1))
    grep -E '^stat::number_of_executed_units' "$work/$name.log" || true
  fi
done
echo "fuzz: $passed passed, $failed failed"
exit $status
