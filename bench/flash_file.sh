#!/usr/bin/env bash
# Measures the programmer file and verify of a merged release against the
# plain tools that move the same bytes (docs/performance.md, "Programmer file
# and verify"):
#   bench/flash_file.sh QUORVEL RELEASE_JSON WORK_DIR [ROUNDS]
# merges the release with its record into WORK_DIR/out (untimed), then per
# round: export raw / Intel HEX / S-records; cp of the raw file; verify of a
# raw readback (a copy of the raw file), with the images checked against
# their digests and with --skip-image-digests; cat of the readback and the
# images (reading them once), cmp of the readback with the raw file and the
# SHA-256 of the images (openssl: what checking their digests costs at
# least). Prints the medians and exits 2 when a target is missed.
set -euo pipefail
q=$1 release=$2 work=$3 rounds=${4:-3}
out="$work/out"
rm -rf "$out"
mkdir -p "$out"
SOURCE_DATE_EPOCH=1577836800 "$q" merge -q --manifest "$release" --out-dir "$out" --out-flash "$out/flash.bin"
cp "$out/flash.bin" "$work/dump.bin"
rec="$out/release.record.json"
flash_bytes=$(stat -c %s "$out/flash.bin")
images=$(cd "$out" && ls code.img e2p.img rai.img 2>/dev/null | sed "s|^|$out/|" | tr "\n" " ")

# wall seconds, user+sys seconds and peak RSS (KiB) of one command
measure() { /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" > /dev/null; awk '{printf "%s %.2f %s\n", $1, $2 + $3, $4}' "$work/time"; }
median() { sort -n | awk '{a[NR] = $1} END {print a[int((NR + 1) / 2)]}'; }

declare -A wall cpu rss
for ((r = 0; r < rounds; r++)); do
  sync
  for k in export_bin export_hex export_srec cp verify verify_skip cat cmp digest; do
    case $k in
      export_bin) set -- "$q" export --record "$rec" -o "$work/x.bin" ;;
      export_hex) set -- "$q" export --record "$rec" -o "$work/x.hex" ;;
      export_srec) set -- "$q" export --record "$rec" -o "$work/x.srec" ;;
      cp) set -- cp "$out/flash.bin" "$work/x.cp" ;;
      verify) set -- "$q" verify --record "$rec" --readback "$work/dump.bin" ;;
      verify_skip) set -- "$q" verify --record "$rec" --readback "$work/dump.bin" --skip-image-digests ;;
      cat) set -- sh -c "cat $work/dump.bin $images > /dev/null" ;;
      cmp) set -- cmp "$work/dump.bin" "$out/flash.bin" ;;
      digest) set -- sh -c "openssl dgst -sha256 $images" ;;
    esac
    read -r w c m < <(measure "$@")
    wall[$k]+="$w "; cpu[$k]+="$c "; rss[$k]+="$m "
    rm -f "$work/x.bin" "$work/x.hex" "$work/x.srec" "$work/x.cp"
  done
done

printf '%-12s %10s %10s %10s %12s\n' measure wall_s cpu_s rss_MiB flash_MB/s
declare -A med
for k in export_bin export_hex export_srec cp verify verify_skip cat cmp digest; do
  w=$(tr ' ' '\n' <<< "${wall[$k]}" | grep . | median)
  c=$(tr ' ' '\n' <<< "${cpu[$k]}" | grep . | median)
  m=$(tr ' ' '\n' <<< "${rss[$k]}" | grep . | median)
  med[$k]=$w
  awk -v k="$k" -v w="$w" -v c="$c" -v m="$m" -v b="$flash_bytes" \
    'BEGIN {printf "%-12s %10s %10s %10.1f %12.0f\n", k, w, c, m / 1024, b / 1e6 / (w + 0.0001)}'
  [ "$k" = verify ] && verify_rss=$m
done

status=0
check() { if awk "BEGIN {exit !($2)}"; then echo "met:    $1"; else echo "missed: $1"; status=2; fi; }
check "verify --skip-image-digests <= 1.5 x cat of the readback and images (${med[verify_skip]} s vs ${med[cat]} s)" "${med[verify_skip]} <= 1.5 * ${med[cat]}"
echo "info:   verify with the images' digests ${med[verify]} s, of which their SHA-256 alone takes ${med[digest]} s"
check "verify peak RSS < 64 MiB ($((verify_rss / 1024)) MiB)" "$verify_rss < 65536"
check "export raw >= 0.8 x cp (${med[export_bin]} s vs ${med[cp]} s)" "${med[export_bin]} * 0.8 <= ${med[cp]}"
for k in export_hex export_srec; do
  check "$k >= 300 MB of flash per second" "$flash_bytes / 1000000 / ${med[$k]} >= 300"
done
rm -f "$work/dump.bin" "$work/time"
exit $status
