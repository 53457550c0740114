#!/usr/bin/env bash
# A soak of the driver on a simulated line with random faults.
#   scripts/soak.sh [MINUTES] [SEED]      default 3 minutes, seed 1
#
# Builds the driver, the station simulator and the soak host in build/
# (QZ_SOAK_BUILD=dir for another build folder), then runs the host against
# the simulator for MINUTES: the host writes changing values of every kind
# to four stations while the simulator runs a fault script drawn from SEED;
# the last fifth of the run (at least 30 s) is a quiet line. It prints the
# writes made and applied, the faults injected, the host's memory,
# descriptors, threads and CPU, and fails when a last value did not reach
# its station or memory, descriptors or threads did not stay flat.
# QZ_SOAK_KEEP=dir keeps the parameter file, the fault script and the
# simulator's transcript there.
set -euo pipefail
cd "$(dirname "$0")/.."

minutes=${1:-3}
seed=${2:-1}
dir=${QZ_SOAK_BUILD:-build}
scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
# Configured every time: a folder built before the soak host existed learns of it.
if [ -f "$dir/CMakeCache.txt" ]; then
  cmake -S . -B "$dir" >/dev/null
else
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DQZ_WERROR=ON >/dev/null
fi
cmake --build "$dir" -j "$jobs" --target soak_host qzdrk485 qz-sim
keep=()
[ -n "${QZ_SOAK_KEEP:-}" ] && keep=(--keep "$QZ_SOAK_KEEP")
exec "$dir/tests/soak_host" --minutes "$minutes" --seed "$seed" "${keep[@]}"
