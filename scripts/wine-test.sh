#!/usr/bin/env bash
# The whole line under Wine: the i686 DLL under the 32-bit loader and the
# x86-64 DLL under the 64-bit one, each driven by the test host of
# tests/wine through its exports, against the station simulator (the Linux
# build, default timing) on a pty that the Wine prefix maps as a COM port.
# Each also loses the device of its port mid-run and must get it back alone.
# Then the exchange rate of the same line under Wine and natively on Linux.
#
#   scripts/wine-test.sh            everything, PASS/FAIL per check
#   QZ_WINE_RATE_SECONDS=N          length of each rate measurement (10)
#
# Installs what it needs when missing, builds the DLLs, the host and the
# simulator, keeps its Wine prefix in build-wine/prefix. Exit status 0 when
# every check passed.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
started=$(date +%s)

out=$root/build-wine
native=${QZ_BUILD_DIR:-$root/build}
rate_seconds=${QZ_WINE_RATE_SECONDS:-10}
wine32=/usr/lib/wine/wine
wine64=/usr/lib/wine/wine64
line_port=12     # COM10 and above need the \\.\ form of the name
rate_port=5
loss_port=7
loss_gap=5       # seconds without a device before the new one appears
missing_port=37  # never mapped in the prefix

# --- what the run needs ----------------------------------------------------------

need=()
[ -x "$wine32" ] || need+=(wine32:i386)
[ -x "$wine64" ] || need+=(wine64)
command -v wine >/dev/null || need+=(wine)
command -v Xvfb >/dev/null || need+=(xvfb)
command -v convert >/dev/null || need+=(imagemagick)
command -v python3 >/dev/null || need+=(python3)
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${need[*]} (run as root or install them)" >&2
    exit 1
  fi
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}"
fi

# --- builds ------------------------------------------------------------------------

scripts/build-windows.sh >/dev/null   # installs mingw-w64 when missing
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
for arch in i686 x86_64; do
  cmake -S tests/wine -B "$out/host-$arch" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
    -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
  cmake --build "$out/host-$arch" -j2 >/dev/null
done
cmake -S tests/wine -B "$out/host-linux" -DCMAKE_BUILD_TYPE=Release "${launcher[@]}" >/dev/null
cmake --build "$out/host-linux" -j2 >/dev/null
if [ ! -f "$native/CMakeCache.txt" ]; then
  scripts/install-deps.sh
  cmake -S . -B "$native" -DCMAKE_BUILD_TYPE=Release -DQZ_BENCHMARKS=OFF "${launcher[@]}" >/dev/null
fi
cmake --build "$native" -j2 --target qz-sim qzdrk485 >/dev/null
sim=$native/tools/qz-sim/qz-sim
native_driver=$native/libqzdrk485.so

# --- the display and the Wine prefix -------------------------------------------------

run=$out/run
rm -rf "$run"
mkdir -p "$run"
export WINEPREFIX=$out/prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe=d"
# The hosts run as on a Czech Windows: the ANSI code page is 1250, the one of
# the driver's texts (Wine takes it from the locale's name alone).
czech=(env LANG=cs_CZ.UTF-8 LC_ALL=cs_CZ.UTF-8)

xvfb_pid=
sim_pid=
cleanup() {
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null || true
  wineserver -k >/dev/null 2>&1 || true   # this prefix's server only
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number to fd 3. Every Wine
# process, wineboot included, starts with it: the prefix's desktop process
# keeps the display it was started with.
exec 3>"$run/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp >"$run/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 50); do [ -s "$run/display" ] && break; sleep 0.1; done
export DISPLAY=:$(head -n1 "$run/display")
wineserver -k >/dev/null 2>&1 || true   # a server of an earlier run knows another display

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "creating the Wine prefix $WINEPREFIX"
  WINEARCH=win64 "$wine64" wineboot -i >/dev/null 2>&1
fi
# Xvfb has no window manager: unmanaged windows, or every hide and destroy
# waits two seconds for a withdrawal that nobody confirms.
if ! grep -q '"Managed"="N"' "$WINEPREFIX/user.reg" 2>/dev/null; then
  "$wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
fi

# --- helpers -------------------------------------------------------------------------

passed=0
failed=0
skipped=0
verdict() {  # verdict PASS|FAIL text
  echo "$1 $2"
  case "$1" in PASS) passed=$((passed + 1)) ;; FAIL) failed=$((failed + 1)) ;; esac
}
# Counts the host's own verdict lines and passes them through.
tally() {
  local line
  while IFS= read -r line; do
    echo "$line"
    case "$line" in
      PASS\ *) passed=$((passed + 1)) ;;
      FAIL\ *) failed=$((failed + 1)) ;;
      SKIP\ *) skipped=$((skipped + 1)) ;;
    esac
  done
}
# host_run TAG DIR COMMAND...: runs a host in DIR, then counts its verdicts; a
# host that ends badly without saying why is a failure of its own.
host_run() {
  local tag=$1 dir=$2 rc=0
  shift 2
  (cd "$dir" && "$@") >"$run/$tag.out" 2>"$run/$tag.stderr" || rc=$?
  host_verdicts "$tag" "$rc"
}
host_verdicts() {  # host_verdicts TAG STATUS
  tally < <(tr -d '\r' <"$run/$1.out")
  if [ "$2" -ne 0 ] && ! grep -q '^FAIL ' "$run/$1.out"; then
    verdict FAIL "$1: the host ended with status $2 ($(tail -n 3 "$run/$1.stderr" | tr '\n' ' '))"
  fi
}
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

parfile() {  # parfile PORT on|off -> path
  local file=$run/line-com$1-$2.par diags=
  [ "$2" = on ] && diags='$DIAGS'
  sed -e "s/@PORT@/$1/" -e "s/@DIAGS@/$diags/" tests/wine/line.par.in >"$file"
  echo "$file"
}

start_sim() {  # start_sim PARFILE LINK TAG
  rm -f "$2" "$run/$3.sock"
  "$sim" --par "$1" --scenario tests/wine/line.scn --pty-link "$2" --control "$run/$3.sock" --no-stdin \
    --transcript "$run/$3.transcript" >"$run/$3.sim" 2>&1 &
  sim_pid=$!
  for _ in $(seq 50); do [ -S "$run/$3.sock" ] && [ -L "$2" ] && return 0; sleep 0.1; done
  echo "qz-sim did not start: $(cat "$run/$3.sim")" >&2
  return 1
}

stop_sim() {
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
  sim_pid=
}

sim_command() {  # sim_command TAG COMMAND -> the reply without its "ok"
  python3 - "$run/$1.sock" "$2" <<'EOF'
import socket, sys
s = socket.socket(socket.AF_UNIX)
s.settimeout(5)
s.connect(sys.argv[1])
s.sendall((sys.argv[2] + "\n").encode())
reply = b""
while not (reply.endswith(b"ok\n") or b"error: " in reply):
    chunk = s.recv(4096)
    if not chunk:
        break
    reply += chunk
print(reply.decode(errors="replace").removesuffix("ok\n").strip())
EOF
}

# run_port_loss ARCH DIR LOADER: the host polls COM$loss_port; once it says
# so, the simulator is stopped (its pty goes with it) and a new one started
# at the same link $loss_gap s later, with a value the first never had; the
# marker file tells the host when the new one runs.
run_port_loss() {
  local arch=$1 dir=$2 loader=$3 tag=$1-portloss host_pid rc=0
  local link=$WINEPREFIX/dosdevices/com$loss_port par marker=$run/$1-portloss.back
  par=$(parfile $loss_port off)
  rm -f "$marker"
  start_sim "$par" "$link" "$tag"
  (cd "$dir" && exec "${czech[@]}" timeout 90 "$loader" wine_host.exe portloss "$arch" qzdrk485.dll \
    "$(winpath "$par")" "PORTLOSS" "$loss_port" "$(winpath "$marker")") >"$run/$tag.out" 2>"$run/$tag.stderr" &
  host_pid=$!
  for _ in $(seq 300); do
    grep -qs '^PASS .*polling runs' "$run/$tag.out" && break
    kill -0 "$host_pid" 2>/dev/null || break
    sleep 0.1
  done
  if grep -q '^PASS .*polling runs' "$run/$tag.out"; then
    stop_sim
    sleep "$loss_gap"
    start_sim "$par" "$link" "$tag-back"
    sim_command "$tag-back" "set 11 ai 1 7.5" >/dev/null
    : >"$marker"
  fi
  wait "$host_pid" || rc=$?
  stop_sim
  host_verdicts "$tag" "$rc"
}

# --- the runs --------------------------------------------------------------------------

declare -A rates

run_arch() {  # run_arch ARCH LOADER
  local arch=$1 loader=$2 dir=$out/$1 tag
  mkdir -p "$dir"
  cp "$root/build-mingw-$arch/qzdrk485.dll" "$out/host-$arch/wine_host.exe" "$dir/"
  rm -f "$dir"/*.hdb
  echo "== $arch: the line on COM$line_port =="
  tag=$arch-line
  start_sim "$(parfile $line_port on)" "$WINEPREFIX/dosdevices/com$line_port" "$tag"
  local shot=$out/window-$arch.bmp
  rm -f "$shot" "$out/window-$arch.png"
  host_run "$tag" "$dir" "${czech[@]}" timeout 180 "$loader" wine_host.exe line "$arch" qzdrk485.dll \
    "$(winpath "$run/line-com$line_port-on.par")" "LINE${arch//_/}" "$(winpath "$shot")"
  local bo mo
  bo=$(sim_command "$tag" "get 10 bo 2")
  mo=$(sim_command "$tag" "get 12 mo 1")
  [ "$bo" = 1 ] && verdict PASS "$arch OutputRequest of binary output 2 reached station 10" ||
    verdict FAIL "$arch OutputRequest of binary output 2 reached station 10: the simulator holds '$bo'"
  [ "$mo" = 2.5 ] && verdict PASS "$arch OutputRequest of memory output 1 reached station 12" ||
    verdict FAIL "$arch OutputRequest of memory output 1 reached station 12: the simulator holds '$mo'"
  stop_sim
  # The summary's "station N (name): R requests, A answers, ..." lines.
  local answered
  answered=$(awk '/^station / { for (i = 2; i <= NF; i++) if ($i == "answers," && $(i - 1) ~ /^[1-9][0-9]*$/) n++ }
    END { print n + 0 }' "$run/$tag.sim")
  if [ "$answered" -eq 3 ]; then
    verdict PASS "$arch the simulator answered every station"
  else
    verdict FAIL "$arch the simulator answered every station: $(grep -E '^(station|line)' "$run/$tag.sim" | tr '\n' ' ')"
  fi
  if [ -s "$shot" ]; then
    convert "$shot" "$out/window-$arch.png" && echo "screenshot: $out/window-$arch.png ($(identify -format '%wx%h' "$out/window-$arch.png"))"
  fi

  echo "== $arch: Init on COM$missing_port, which is not mapped =="
  rm -f "$WINEPREFIX/dosdevices/com$missing_port"
  host_run "$arch-noport" "$dir" "${czech[@]}" timeout 60 "$loader" wine_host.exe noport "$arch" qzdrk485.dll \
    "$(winpath "$(parfile $missing_port off)")" "NOPORT"

  echo "== $arch: the device of COM$loss_port goes away and comes back $loss_gap s later =="
  run_port_loss "$arch" "$dir" "$loader"

  echo "== $arch: exchange rate on COM$rate_port, $rate_seconds s =="
  tag=$arch-rate
  start_sim "$(parfile $rate_port off)" "$WINEPREFIX/dosdevices/com$rate_port" "$tag"
  host_run "$tag" "$dir" "${czech[@]}" timeout 120 "$loader" wine_host.exe rate "$arch" qzdrk485.dll \
    "$(winpath "$run/line-com$rate_port-off.par")" "RATE" "$rate_seconds"
  stop_sim
  rates[$arch]=$(tr -d '\r' <"$run/$tag.out" | sed -n 's/^INFO [^ ]* RATE //p; s/^INFO [^ ]* CYCLE /thread cycle /p' | paste -sd ';' | sed 's/;/; /')
}

run_linux_rate() {
  echo "== linux: exchange rate of the native library, $rate_seconds s =="
  local tag=linux-rate link=$run/linux-com$rate_port
  start_sim "$(parfile $rate_port off)" "$link" "$tag"
  host_run "$tag" "$run" env "QZ_COM$rate_port=$link" QZ_ROOT="$run" QZ_HDB_DIR="$run" timeout 120 \
    "$out/host-linux/wine_host" rate linux "$native_driver" "$run/line-com$rate_port-off.par" "RATE" "$rate_seconds"
  stop_sim
  rates[linux]=$(sed -n 's/^INFO [^ ]* RATE //p; s/^INFO [^ ]* CYCLE /thread cycle /p' "$run/$tag.out" | paste -sd ';' | sed 's/;/; /')
}

run_arch i686 "$wine32"
run_arch x86_64 "$wine64"
run_linux_rate

echo "== exchange rate, 3 stations at 9600 Bd, simulator with its default timing =="
for k in i686 x86_64 linux; do printf '  %-7s %s\n' "$k" "${rates[$k]:-not measured}"; done
echo "wine-test: $passed passed, $failed failed, $skipped skipped in $(($(date +%s) - started)) s"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
