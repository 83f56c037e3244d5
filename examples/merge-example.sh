#!/usr/bin/env bash
# Merges the bundled example release with the quorvel command and prints the
# three output entries. Outputs and the log go to build/example/.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
rel="$here/release"
bin="${QUORVEL:-$top/build/default/cli/quorvel}"
out="$top/build/example"
mkdir -p "$out"

args=(--flash-info "$rel/flash.bin" --e2p-base "$rel/e2p_base.bin" --e2p-area "$rel/e2p_area.bin"
      --e2p-area-out "$out/e2p_area.merged"
      --out-code "$out/code.img" --out-e2p "$out/e2p.img" --out-rai "$out/rai.img" --log "$out/merge.log")
add() { local flag=$1; shift; for f in "$@"; do [ -e "$f" ] && args+=("$flag" "$f"); done; return 0; }
add --image "$rel/firmware.bin" "$rel/user.fat" "$rel/hidden.fat"
add --patch "$rel/dsp.pat" "$rel/mcp.bin"
add --cus "$rel/logo.cus" "$rel/sens.cus"
add --e2p-file "$rel/params.e2p" "$rel/extra.e2p"

"$bin" merge "${args[@]}" "$@"
echo "log: $out/merge.log"
