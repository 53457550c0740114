#!/usr/bin/env bash
# Installs the library component into a temporary prefix, builds a small
# consumer against it with find_package and checks the pkg-config file.
# Arguments: the build tree, the consumer's source folder, the C++ compiler.
set -euo pipefail
build=$1 consumer=$2 cxx=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" --component library >/dev/null
libdir=$(dirname "$(find "$prefix" -name 'libqzdrk485.so.*' | head -1)")
real=$(basename "$(readlink -f "$libdir/libqzdrk485.so")")
[ "$real" = "libqzdrk485.so.5.17" ] || { echo "libqzdrk485.so points at $real"; exit 1; }
soname=$(objdump -p "$libdir/$real" | awk '/SONAME/ {print $2}')
[ "$soname" = "libqzdrk485.so.5.17" ] || { echo "SONAME is '$soname'"; exit 1; }
[ -f "$prefix/include/qzdrk485.h" ] || { echo "header missing"; exit 1; }

cmake -S "$consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$prefix" -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build "$work/consumer" >/dev/null
out=$(LD_LIBRARY_PATH="$libdir" "$work/consumer/consumer")
echo "consumer: $out"
case "$out" in version\ *) ;; *) echo "consumer did not run"; exit 1 ;; esac

export PKG_CONFIG_PATH=$libdir/pkgconfig
[ "$(pkg-config --modversion qzdrk485)" = "5.17" ] || { echo "pkg-config version wrong"; exit 1; }
flags=$(pkg-config --cflags --libs qzdrk485)
echo "pkg-config: $flags"
"$cxx" -o "$work/pc-consumer" "$consumer/main.cpp" $flags
LD_LIBRARY_PATH="$libdir" "$work/pc-consumer" >/dev/null
