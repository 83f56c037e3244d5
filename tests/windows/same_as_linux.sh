#!/usr/bin/env bash
# The Windows build against the Linux command: quorvel.exe (under wine) merges
# each release's manifest, and so does the Linux command; every image and the
# merged E2P area must be byte for byte the same, and the log the same apart
# from its line ends ("\r\n" on Windows), and the release record the same
# apart from the log's size and digest. The example release also merges
# from a folder whose name is not ASCII, given with "\" in a drive-letter
# path, and through dll_host.exe, a C host that loads quorvel.dll.
#
#   same_as_linux.sh LINUX_QUORVEL WINDOWS_BUILD_DIR SOURCE_DIR [MANIFEST...]
#
# Exit 77 (skipped) when the Linux command or wine is missing.
set -uo pipefail
linux=$1 build=$2 src=$3; shift 3
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
[ -x "$linux" ] || { echo "no Linux command at $linux: build the ci preset first"; exit 77; }
[ -x "$wine" ] || { echo "no wine"; exit 77; }
export WINEDEBUG=-all SOURCE_DATE_EPOCH=1577836800
work=$(mktemp -d "${TMPDIR:-/tmp}/qvwin.XXXXXX")
trap 'rm -rf "$work"' EXIT
fails=0

# same NAME LINUX_DIR WINDOWS_DIR: the files of a Linux merge against a Windows one.
same() {
  local name=$1 l=$2 w=$3 f bad=""
  for f in $(cd "$l" && ls); do
    if [ "$f" = merge.log ]; then
      tr -d '\r' < "$w/$f" | cmp -s - "$l/$f" || bad="$bad $f"
      grep -q $'\r$' "$w/$f" || bad="$bad $f(line ends)"
    elif [ "$f" = release.record.json ]; then
      same_record "$l/$f" "$w/$f" "$w/merge.log" || bad="$bad $f"
    else
      cmp -s "$l/$f" "$w/$f" || bad="$bad $f"
    fi
  done
  if [ -n "$bad" ]; then echo "DIFF $name:$bad"; fails=$((fails + 1)); else echo "same $name"; fi
}

# same_record LINUX WINDOWS WINDOWS_LOG: the records agree but for the log's
# size and digest, which are those of the Windows log.
same_record() {
  python3 - "$@" <<'PY'
import hashlib, json, os, sys
l, w = (json.load(open(p)) for p in sys.argv[1:3])
log = open(sys.argv[3], "rb").read()
ok = w["log"]["size"] == len(log) and w["log"]["sha256"] == hashlib.sha256(log).hexdigest()
for r in (l, w):
    del r["log"]["size"], r["log"]["sha256"]
sys.exit(0 if ok and l == w else 1)
PY
}

merge_both() { # merge_both NAME MANIFEST [WINDOWS_MANIFEST]
  local name=$1 m=$2 wm=${3:-$2}
  "$linux" merge --manifest "$m" --out-dir "$work/$name/linux" >/dev/null || { echo "FAIL $name: Linux merge"; fails=$((fails + 1)); return; }
  "$wine" "$build/cli/quorvel.exe" merge --manifest "$wm" --out-dir "$work/$name/windows" >/dev/null ||
    { echo "FAIL $name: Windows merge"; fails=$((fails + 1)); return; }
  same "$name" "$work/$name/linux" "$work/$name/windows"
}

merge_both example "$src/examples/release.json"
for m in "$@"; do [ -f "$m" ] && merge_both "$(basename "$(dirname "$m")")" "$m"; done

# The example from a folder named outside ASCII, the manifest given as
# Z:\...\release.json (wine's drive of the Unix root).
odd="$work/Relé ünï 版本"
mkdir -p "$odd" && cp -r "$src/examples/release.json" "$src/examples/flash.json" "$src/examples/release" "$odd/"
"$wine" "$build/cli/quorvel.exe" merge --manifest "Z:${odd//\//\\}\\release.json" --out-dir "$odd/out" >/dev/null ||
  { echo "FAIL non-ASCII folder: Windows merge"; fails=$((fails + 1)); }
for f in code.img e2p.img rai.img e2p_area.merged; do
  cmp -s "$work/example/linux/$f" "$odd/out/$f" || { echo "DIFF non-ASCII folder: $f"; fails=$((fails + 1)); }
done
echo "non-ASCII folder checked"

# A C host that loads quorvel.dll: quorvel_merge() keeps the code file's
# last-write time (the Linux command does too without SOURCE_DATE_EPOCH),
# quorvel_merge_request() with the fixed time gives the example's images.
if [ -x "$build/tests/dll_host.exe" ]; then
  "$wine" "$build/tests/dll_host.exe" "$build/quorvel.dll" "$src/examples/release" "$work/host" "$SOURCE_DATE_EPOCH" >/dev/null ||
    { echo "FAIL dll_host"; fails=$((fails + 1)); }
  (unset SOURCE_DATE_EPOCH; "$linux" merge --manifest "$src/examples/release.json" --out-dir "$work/mtime/linux" >/dev/null)
  for f in code.img e2p.img rai.img e2p_area.merged; do
    cmp -s "$work/mtime/linux/$f" "$work/host/plain/$f" || { echo "DIFF dll_host quorvel_merge: $f"; fails=$((fails + 1)); }
    cmp -s "$work/example/linux/$f" "$work/host/fixed/$f" || { echo "DIFF dll_host quorvel_merge_request: $f"; fails=$((fails + 1)); }
  done
  echo "dll_host checked"
fi
echo "same_as_linux: $fails differ"
[ $fails -eq 0 ]
