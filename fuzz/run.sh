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
# Seeds of the readers of finished files: the example release merged by the
# command with its record and programmer files.
ex="$work/example"
rm -rf "$ex"
SOURCE_DATE_EPOCH=1577836800 "$top/build/fuzz/cli/quorvel" merge -q --manifest "$top/examples/release.json" \
  --out-dir "$ex" --out-flash "$ex/flash.hex"
"$top/build/fuzz/cli/quorvel" export --record "$ex/release.record.json" -o "$ex/flash.srec"
c="$work/corpus"
mkdir -p "$c/fuzz_code_image" "$c/fuzz_e2p_image" "$c/fuzz_rai_store" "$c/fuzz_flash_record" "$c/fuzz_record" "$c/fuzz_readback"
cp "$ex/code.img" "$c/fuzz_code_image/example"
{ printf '\000'; cat "$ex/e2p.img"; } > "$c/fuzz_e2p_image/example"
{ printf '\012'; cat "$ex/rai.img"; } > "$c/fuzz_rai_store/example"
cp "$top/examples/release/flash.bin" "$c/fuzz_flash_record/example"
cp "$ex/release.record.json" "$c/fuzz_record/example"
{ printf '\000'; head -40 "$ex/flash.hex"; echo ':00000001FF'; } > "$c/fuzz_readback/hex"
{ printf '\001'; head -40 "$ex/flash.srec"; echo 'S70500000000FA'; } > "$c/fuzz_readback/srec"
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
