#!/usr/bin/env bash
# Cross-builds the release driver DLL for Windows with mingw-w64: i686 (the
# real target) and x86-64 (for tests under Wine), and checks what a host
# relies on:
#   - the export table is exactly the names of src/host/qzdrk485.def, which
#     are the functions of include/qzdrk485.h, undecorated;
#   - it imports system libraries only (the runtime is linked in statically);
#   - it is stripped: no debug sections, no symbol table;
#   - it carries the window's icon and the version information 5.17;
#   - on i686 every export is cdecl: the caller removes the arguments, so no
#     export returns with "ret $N".
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
command -v i686-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-i686-posix)
command -v x86_64-w64-mingw32-g++-posix >/dev/null || need+=(g++-mingw-w64-x86-64-posix)
command -v python3 >/dev/null || need+=(python3)
if [ ${#need[@]} -gt 0 ]; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}"
fi

failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The names the host may call, from the .def file and from the header.
def_names=$(awk '/^EXPORTS/ {on=1; next} on && NF {print $1}' src/host/qzdrk485.def | sort)
header_names=$(grep -oE 'QZ_CALL +\*? *[A-Za-z]+\(' include/qzdrk485.h | sed -E 's/QZ_CALL +\*? *//; s/\(//' | sort)
if [ "$def_names" != "$header_names" ]; then
  fail "src/host/qzdrk485.def and include/qzdrk485.h name different functions"
  diff <(echo "$def_names") <(echo "$header_names") >&2 || true
fi
version=$(sed -nE 's/^project\(qzdrk485 VERSION ([0-9]+)\.([0-9]+).*/\1 \2/p' CMakeLists.txt)

# Allowed imports: libraries every Windows system has.
system_dlls='^(kernel32|user32|gdi32|msvcrt|psapi|advapi32)\.dll$'

check_dll() {
  local arch=$1 dir=$2
  local dll=$dir/qzdrk485.dll objdump=$arch-w64-mingw32-objdump
  local headers
  headers=$("$objdump" -p "$dll")

  local imports
  imports=$(awk '/DLL Name/ {print $3}' <<<"$headers")
  echo "$dll imports: $(echo $imports)"
  local foreign
  foreign=$(grep -viE "$system_dlls" <<<"$imports" || true)
  [ -z "$foreign" ] || fail "$dll imports more than the system's libraries: $(echo $foreign)"

  local exports
  exports=$(awk '/\[Ordinal\/Name Pointer\] Table/ {on=1; next} on && NF==0 {on=0} on {print $NF}' <<<"$headers" | sort)
  echo "$dll exports: $(echo $exports)"
  if [ "$exports" != "$def_names" ]; then
    fail "$dll exports other names than src/host/qzdrk485.def"
    diff <(echo "$def_names") <(echo "$exports") >&2 || true
  fi

  if "$objdump" -h "$dll" | grep -qE '\.debug|\.stab'; then fail "$dll has debug sections"; fi
  if "$objdump" -t "$dll" | grep -qE '^\[ *[0-9]+\]'; then fail "$dll has a symbol table"; fi

  # Resource types 3 (icon), 14 (icon group) and 16 (version) at the top of
  # the resource tree, and the version numbers in the fixed file info.
  local types
  types=$(sed -n '/The .rsrc Resource Directory section/,/^$/p' <<<"$headers" | awk '/^[0-9a-f]+   Entry:/ {sub(",", "", $4); print $4}' | sort | tr '\n' ' ')
  for t in 0x000003 0x00000e 0x000010; do
    grep -q "$t" <<<"$types" || fail "$dll lacks the resource type $t (has: $types)"
  done
  python3 - "$dll" $version <<'EOF' || fail "$dll: version information"
import struct, sys
data = open(sys.argv[1], "rb").read()
major, minor = int(sys.argv[2]), int(sys.argv[3])
at = data.find(struct.pack("<I", 0xFEEF04BD))
if at < 0:
    sys.exit("no fixed file info")
_, _, file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<6I", data, at)
want = (major << 16) | minor
if file_ms != want or product_ms != want:
    sys.exit(f"file version {file_ms >> 16}.{file_ms & 0xffff}, product version {product_ms >> 16}.{product_ms & 0xffff}")
text = data.decode("utf-16-le", errors="ignore") + data[1:].decode("utf-16-le", errors="ignore")
for key in ("FileDescription", "FileVersion", "ProductVersion"):
    if key not in text:
        sys.exit(f"no {key}")
print(f"{sys.argv[1]}: file and product version {major}.{minor}")
EOF

  if [ "$arch" = i686 ]; then
    # The stripped DLL has no symbols; the linked file beside it has.
    local code=$dir/qzdrk485.disassembly name
    "$objdump" -d --no-show-raw-insn "$dir/qzdrk485.unstripped" >"$code"
    for name in $def_names; do
      returns_as_cdecl "$code" "_$name" 0 || fail "$name is not a cdecl function _$name"
    done
    echo "$dll: every export returns with a plain ret or jumps on to a function that does (cdecl)"
  fi
}

# Whether the function symbol (its body and its .cold part, in the
# disassembly file) returns with a plain ret and never with "ret $N"; a
# body that only passes the call on (a tail jump) is judged by its target.
returns_as_cdecl() {
  local code=$1 symbol=$2 depth=$3 body target
  body=$(awk -v a="<$symbol>:" -v b="<$symbol.cold>:" '$2==a || $2==b {on=1; next} on && NF==0 {on=0} on' "$code")
  [ -n "$body" ] || { echo "$symbol: not in the DLL" >&2; return 1; }
  if grep -qE $'\tret +\\$' <<<"$body"; then echo "$symbol: ret \$N" >&2; return 1; fi
  grep -qE $'\tret *$' <<<"$body" && return 0
  target=$(grep -E $'\tjmp +[0-9a-f]+ <[^+>]+>$' <<<"$body" | tail -1 | sed -E 's/.*<([^>]+)>$/\1/')
  [ -n "$target" ] && [ "$depth" -lt 4 ] || { echo "$symbol: neither a ret nor a tail jump" >&2; return 1; }
  returns_as_cdecl "$code" "$target" $((depth + 1))
}

for arch in i686 x86_64; do
  dir=build-mingw-$arch
  cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-$arch.cmake -DCMAKE_BUILD_TYPE=Release \
    -DQZ_TESTS=OFF -DQZ_BENCHMARKS=OFF -DQZ_WERROR=ON
  cmake --build "$dir" -j "$(nproc 2>/dev/null || echo 2)" --target qzdrk485 qz-par qz-host
  check_dll "$arch" "$dir"
  # The tools run without the compiler's DLLs.
  for exe in "$dir/tools/qz-par/qz-par.exe" "$dir/qz-host.exe"; do
    echo "$exe imports: $("$arch-w64-mingw32-objdump" -p "$exe" | awk '/DLL Name/ {print $3}' | tr '\n' ' ')"
    if "$arch-w64-mingw32-objdump" -p "$exe" | grep -qi 'DLL Name: lib'; then fail "$exe needs mingw DLLs"; fi
  done
done

if [ "$failures" -gt 0 ]; then
  echo "$failures check(s) of the Windows DLLs failed" >&2
  exit 1
fi
echo "Windows DLLs: all checks passed"
