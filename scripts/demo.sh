#!/usr/bin/env bash
# The driver against simulated stations, no hardware needed: qz-sim plays the
# stations of examples/line.par on a pty and qz-host runs the driver on it,
# as the SCADA host would.
#
#   scripts/demo.sh                      live view until Ctrl-C (or "quit")
#   scripts/demo.sh --for 10 --json      ten seconds of JSON lines, for scripts
#
# Further arguments go to qz-host. QZ_DEMO_PAR and QZ_DEMO_SCENARIO choose
# other files, QZ_DEMO_SIM_ARGS adds qz-sim options (a --script of faults);
# the log, HDB files and the line transcript go to QZ_DEMO_DIR (a new
# temporary folder by default). QZ_BUILD_DIR names the build folder and
# QZ_DEMO_NO_BUILD=1 skips installing and building (the tests use both).
set -euo pipefail
cd "$(dirname "$0")/.."

par=${QZ_DEMO_PAR:-examples/line.par}
scenario=${QZ_DEMO_SCENARIO:-examples/line.scn}
work=${QZ_DEMO_DIR:-$(mktemp -d -t qz-demo.XXXXXX)}
mkdir -p "$work"

build=${QZ_BUILD_DIR:-build}
if [ -z "${QZ_DEMO_NO_BUILD:-}" ]; then
  scripts/install-deps.sh >&2
  cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug >/dev/null
  cmake --build "$build" -j "$(nproc 2>/dev/null || echo 2)" --target qzdrk485 qz-sim qz-host >&2
fi

link="$work/com1"
"$build/tools/qz-sim/qz-sim" --par "$par" --scenario "$scenario" --pty-link "$link" --no-stdin \
  ${QZ_DEMO_SIM_ARGS:-} --transcript "$work/transcript.txt" >"$work/sim.out" 2>"$work/sim.err" &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true; echo "demo files (HDB, log, .CUC, line transcript) in $work" >&2' EXIT
for _ in $(seq 100); do
  [ -e "$link" ] && break
  if ! kill -0 "$sim" 2>/dev/null; then
    echo "qz-sim did not start:" >&2
    cat "$work/sim.err" >&2
    exit 1
  fi
  sleep 0.05
done
echo "stations simulated on $(head -n1 "$work/sim.out"); files in $work" >&2

export QZ_COM1="$link" QZ_ROOT="$work" QZ_HDB_DIR="$work"
"$build/tools/qz-host/qz-host" --par "$par" --name DEMO --driver "$build/libqzdrk485.so" "$@"
