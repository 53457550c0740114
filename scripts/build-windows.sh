#!/usr/bin/env bash
# Cross-builds the driver DLL for Windows with mingw-w64: i686 (the real
# target) and x86-64, and checks that it imports nothing but the system's
# own libraries.
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686-posix)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}"
fi

for arch in i686 x86_64; do
  dir=build-mingw-$arch
  cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$arch.cmake -DCMAKE_BUILD_TYPE=Release \
    -DQZ_TESTS=OFF -DQZ_BENCHMARKS=OFF -DQZ_WERROR=ON
  cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)" --target qzdrk485 qz-par qz-host
  # The tools run without the compiler's DLLs.
  for exe in "$dir/tools/qz-par/qz-par.exe" "$dir/qz-host.exe"; do
    echo "$exe imports: $("$arch-w64-mingw32-objdump" -p "$exe" | awk '/DLL Name/ {print $3}' | tr '\n' ' ')"
    "$arch-w64-mingw32-objdump" -p "$exe" | grep -qi 'DLL Name: lib' && { echo "$exe needs mingw DLLs" >&2; exit 1; }
  done
  imports=$("$arch-w64-mingw32-objdump" -p "$dir/qzdrk485.dll" | awk '/DLL Name/ {print $3}')
  echo "$dir/qzdrk485.dll imports: $(echo $imports)"
  if echo "$imports" | grep -viqE '^(kernel32|msvcrt|user32|psapi)\.dll$'; then
    echo "the DLL needs more than the system's libraries" >&2
    exit 1
  fi
  exports=$("$arch-w64-mingw32-objdump" -p "$dir/qzdrk485.dll" | awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && NF==0 {on=0} on {print $NF}' | sort | tr '\n' ' ')
  echo "exports: $exports"
done
