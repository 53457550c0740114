#!/usr/bin/env bash
# Builds the driver, its tools and tests, and runs every test.
#   scripts/test.sh            normal build (build/)
#   scripts/test.sh asan       AddressSanitizer + UndefinedBehaviorSanitizer (build-asan/)
#   scripts/test.sh tsan       ThreadSanitizer (build-tsan/)
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-default}
case "$mode" in
  default) dir=build; flags=() ;;
  asan) dir=build-asan; flags=(-DQZ_ASAN=ON -DQZ_BENCHMARKS=OFF) ;;
  tsan) dir=build-tsan; flags=(-DQZ_TSAN=ON -DQZ_BENCHMARKS=OFF) ;;
  *) echo "usage: $0 [asan|tsan]" >&2; exit 2 ;;
esac

scripts/install-deps.sh
jobs=$(nproc 2>/dev/null || echo 2)
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DQZ_WERROR=ON "${flags[@]}"
cmake --build "$dir" -j "$jobs"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
export TSAN_OPTIONS=${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}
ctest --test-dir "$dir" --output-on-failure -j "$jobs"
