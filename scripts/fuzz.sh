#!/usr/bin/env bash
# Runs every libFuzzer target for SECONDS each and grows its corpus.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     default 60 s, every target
#
# Builds build-fuzz/ with clang, AddressSanitizer and UndefinedBehaviorSanitizer
# (installs clang and its fuzzer runtime when missing). Each target starts
# from the checked-in corpus fuzz/corpus/<name>/ and works in
# build-fuzz/corpus/<name>/; afterwards the inputs that reach new code are
# merged into fuzz/corpus/<name>/ (QZ_FUZZ_MERGE=0 leaves the checked-in
# corpus alone). A crash, leak, sanitizer report or time-out fails the run;
# the input that caused it is kept in build-fuzz/artifacts/<name>/ and
# printed as a command to reproduce.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
case "$seconds" in
  ''|*[!0-9]*) echo "usage: $0 [SECONDS] [TARGET...]" >&2; exit 2 ;;
esac

need=()
command -v clang++ >/dev/null 2>&1 || need+=(clang)
compgen -G "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null || need+=(libclang-rt-14-dev)
if [ ${#need[@]} -gt 0 ]; then
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages: ${need[*]} (run as root or install them)" >&2
    exit 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${need[@]}"
fi
scripts/install-deps.sh

dir=build-fuzz
jobs=$(nproc 2>/dev/null || echo 2)
launcher=()
command -v ccache >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CXX=clang++ cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZ_FUZZ=ON -DQZ_ASAN=ON \
  -DQZ_TESTS=OFF -DQZ_BENCHMARKS=OFF "${launcher[@]}" >/dev/null
cmake --build "$dir" -j "$jobs" --target fuzz_all

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for source in fuzz/*_fuzz.cpp; do
    name=$(basename "$source" _fuzz.cpp)
    [ -x "$dir/fuzz/fuzz_$name" ] && targets+=("$name")
  done
fi

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
failed=()
for name in "${targets[@]}"; do
  program="$dir/fuzz/fuzz_$name"
  seeds="fuzz/corpus/$name"
  work="$dir/corpus/$name"
  artifacts="$dir/artifacts/$name"
  rm -rf "$artifacts"
  mkdir -p "$seeds" "$work" "$artifacts"
  log="$dir/fuzz_$name.log"
  echo "== fuzz_$name: $seconds s"
  # Single inputs that run longer than 10 s count as hangs.
  if "$program" "$work" "$seeds" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=4096 -print_final_stats=1 -artifact_prefix="$artifacts/" >"$log" 2>&1; then
    grep -E "^#[0-9]+.*DONE|stat::number_of_executed_units|stat::new_units_added" "$log" | tr '\n' ' '
    echo
    if [ "${QZ_FUZZ_MERGE:-1}" != 0 ]; then
      before=$(find "$seeds" -type f | wc -l)
      "$program" -merge=1 "$seeds" "$work" >>"$log" 2>&1 || true
      after=$(find "$seeds" -type f | wc -l)
      echo "   corpus fuzz/corpus/$name: $before -> $after inputs"
    fi
  else
    failed+=("$name")
    tail -n 40 "$log"
    for input in "$artifacts"/*; do
      [ -e "$input" ] && echo "   reproduce: $program $input"
    done
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found faults in: ${failed[*]} (logs in $dir/fuzz_<name>.log)" >&2
  exit 1
fi
echo "fuzzing clean: ${targets[*]}"
