#!/usr/bin/env bash
# Installs the Debian packages quorvel needs, only those that are missing;
# `apt-get update` runs first only when something is missing. Needs root, or
# sudo, only then.
#
#   scripts/setup.sh          what building the library and the command needs
#   scripts/setup.sh --all    also what the tests, the sanitizer and fuzz runs,
#                             the packaging, the report's rendering test, the
#                             benchmarks and the example scripts need
#   scripts/setup.sh --windows  what the windows preset needs besides: the
#                             mingw-w64 cross compiler, zlib for it, wine to
#                             run the tests, and the header-only libraries and
#                             GoogleTest's sources it takes from Debian
set -euo pipefail

build=(cmake ninja-build g++ zlib1g-dev libssl-dev libcli11-dev nlohmann-json3-dev)
all=(clang libclang-rt-14-dev binutils libgtest-dev libgmock-dev libbenchmark-dev pkg-config
     dpkg-dev file dosfstools mtools python3 man-db chromium-headless-shell fonts-dejavu-core)

windows=(cmake ninja-build g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64 libcli11-dev nlohmann-json3-dev
         libgtest-dev)

case "${1:-}" in
  "") wanted=("${build[@]}") ;;
  --all) wanted=("${build[@]}" "${all[@]}") ;;
  --windows) wanted=("${windows[@]}") ;;
  *) echo "usage: $0 [--all | --windows]" >&2; exit 2 ;;
esac

missing=()
for p in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
as_root=()
if [ "$(id -u)" -ne 0 ]; then
  command -v sudo >/dev/null || { echo "$0: run as root or install sudo" >&2; exit 1; }
  as_root=(sudo)
fi
"${as_root[@]}" apt-get update -qq
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
