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
# Seeds of the readers of finished files: the example release merged by the
# command with its record and programmer files, and a small release (a CUS
# file and an E2P description file) with its record. The images are cut small
# by fuzz_seeds: a small input makes each execution quick.
ex="$work/example"
rm -rf "$ex" "$work/corpus"
rel="$top/examples/release"
SOURCE_DATE_EPOCH=1577836800 "$top/build/fuzz/cli/quorvel" merge -q --manifest "$top/examples/release.json" \
  --out-dir "$ex" --out-flash "$ex/flash.hex"
"$top/build/fuzz/cli/quorvel" export --record "$ex/release.record.json" -o "$ex/flash.srec"
SOURCE_DATE_EPOCH=1577836800 "$top/build/fuzz/cli/quorvel" merge -q --flash-info "$top/examples/flash.json" \
  --e2p-base "$rel/e2p_base.bin" --e2p-area "$rel/e2p_area.bin" --patch "$rel/dsp.pat" --cus "$rel/sens.cus" --e2p-file "$rel/extra.e2p" \
  --out-code "$ex/small.code.img" --out-e2p "$ex/small.e2p.img" --out-rai "$ex/small.rai.img" \
  --log "$ex/small.log" --record "$ex/small.record.json"
"$bin/fuzz_seeds" "$top" "$work/corpus" "$ex"
c="$work/corpus"
mkdir -p "$c/fuzz_code_image" "$c/fuzz_flash_record" "$c/fuzz_record" "$c/fuzz_readback"
cp "$ex/small.code.img" "$c/fuzz_code_image/cus-only"
cp "$rel/flash.bin" "$c/fuzz_flash_record/example"
cp "$ex/small.record.json" "$c/fuzz_record/small"
{ printf '\000'; head -8 "$ex/flash.hex"; echo ':00000001FF'; } > "$c/fuzz_readback/hex"
{ printf '\001'; head -8 "$ex/flash.srec"; echo 'S70500000000FA'; } > "$c/fuzz_readback/srec"
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
