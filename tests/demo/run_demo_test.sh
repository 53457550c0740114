#!/usr/bin/env bash
# Runs the demo command without building, as CI and a user would, and checks
# what the host harness recorded.
#   run_demo_test.sh values BUILD_DIR
#   run_demo_test.sh sleep BUILD_DIR
#   run_demo_test.sh commands BUILD_DIR
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
mode=$1
export QZ_BUILD_DIR=$2 QZ_DEMO_NO_BUILD=1
work=$(mktemp -d -t qz-demo-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
export QZ_DEMO_DIR=$work
case "$mode" in
  values)
    "$root/scripts/demo.sh" --for 6 --json --interval 500 >"$work/run.jsonl"
    python3 "$here/check_run.py" values <"$work/run.jsonl"
    ;;
  sleep)
    QZ_DEMO_PAR="$here/fast-line.par" QZ_DEMO_SIM_ARGS="--script $here/silent-station.txt" \
      "$root/scripts/demo.sh" --for 9 --json --interval 500 >"$work/run.jsonl"
    python3 "$here/check_run.py" sleep 3 <"$work/run.jsonl"
    ;;
  commands)
    # Seven commands piped in one piece, the last without its newline.
    printf 'w 97 1\nw 99999 1\nq 97\nhist 9 1\nhist 1 9\nr 1\nsave' |
      "$root/scripts/demo.sh" --for 3 --json --interval 500 >"$work/run.jsonl"
    python3 "$here/check_run.py" commands 7 <"$work/run.jsonl"
    ;;
  *) echo "unknown mode $mode" >&2; exit 2 ;;
esac
