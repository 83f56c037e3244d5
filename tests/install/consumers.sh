#!/usr/bin/env bash
# Installs the build into a temporary prefix and builds two hosts of the
# library against it, as other projects would: consumer.c through pkg-config
# (shared library), consumer.cpp through find_package (static library). Each
# merges the example release; their images must be byte for byte those of
# the installed command, and each reports the project's version.
#
#   consumers.sh CMAKE BUILD_DIR CXX_COMPILER CXX_FLAGS VERSION
#
# Exits 77 (skipped) when pkg-config or a C compiler is missing.
set -euo pipefail
cmake=$1 build=$2 cxx=$3 flags=$4 version=$5
here=$(cd "$(dirname "$0")" && pwd)
top=$(dirname "$(dirname "$here")")
for tool in pkg-config cc; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed (scripts/setup.sh --all)"; exit 77; }
done
# The code image records the code file's time unless this is set; the hosts
# below do not pass a time, so the command must not either.
unset SOURCE_DATE_EPOCH

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
fail() { echo "FAILED: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$prefix" >/dev/null
for f in bin/quorvel include/quorvel/quorvel.h share/man/man1/quorvel.1 \
         share/bash-completion/completions/quorvel share/doc/quorvel/README.md; do
  [ -f "$prefix/$f" ] || fail "$f is not installed"
done
pc=$(find "$prefix" -name quorvel.pc)
[ -n "$pc" ] || fail "quorvel.pc is not installed"
export PKG_CONFIG_PATH=$(dirname "$pc")
libdir=$(pkg-config --variable=libdir quorvel)
for f in libquorvel.a libquorvel.so libquorvel.so.0; do [ -e "$libdir/$f" ] || fail "$f is not in $libdir"; done
readelf -d "$libdir/libquorvel.so" | grep -q 'SONAME.*\[libquorvel\.so\.0\]' || fail "libquorvel.so lost its soname"
[ "$("$prefix/bin/quorvel" --version)" = "quorvel $version" ] || fail "quorvel --version does not print $version"

# The two hosts.
read -ra cflags <<< "$flags"
cc "${cflags[@]}" "$here/consumer.c" -o "$tmp/consumer_c" $(pkg-config --cflags --libs quorvel) -Wl,-rpath,"$libdir"
"$cmake" -S "$here" -B "$tmp/cxx" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" \
  -DCMAKE_CXX_FLAGS="$flags" >/dev/null
"$cmake" --build "$tmp/cxx" >/dev/null

mkdir "$tmp/by_command" "$tmp/by_c" "$tmp/by_cpp"
"$prefix/bin/quorvel" merge --manifest "$top/examples/release.json" --out-dir "$tmp/by_command" -q
declare -A hosts=([c]="$tmp/consumer_c" [cpp]="$tmp/cxx/consumer_cpp")
for host in c cpp; do
  printed=$("${hosts[$host]}" "$top/examples/release" "$tmp/by_$host" 2>&1) || fail "consumer_$host: $printed"
  [ "$printed" = "$version" ] || fail "consumer_$host printed $printed, not $version"
  for image in code.img e2p.img rai.img; do
    cmp "$tmp/by_command/$image" "$tmp/by_$host/$image" || fail "consumer_$host: $image differs from the command's"
  done
done
echo "both hosts merged the example release to the command's images"
