#!/usr/bin/env bash
# Merges the bundled example release from its manifest (examples/release.json)
# with the quorvel command and prints the three output images. Outputs, the
# merged E2P area and the log go to build/example/. Extra arguments go to
# `quorvel merge` (flags given there override the manifest).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$here")
# QUORVEL may name another command line, e.g. "valgrind --leak-check=full path/to/quorvel".
if [ -n "${QUORVEL:-}" ]; then read -ra bin <<< "$QUORVEL"; else bin=("$top/build/default/cli/quorvel"); fi
out="$top/build/example"
# The size-and-date record of the code image holds this instant (2020-01-01
# 00:00 UTC) instead of the code file's last-write time, which is the time of
# the checkout: every clone merges the same images.
export SOURCE_DATE_EPOCH=1577836800

"${bin[@]}" merge --manifest "$here/release.json" --out-dir "$out" "$@"
echo "log: $out/merge.log"
