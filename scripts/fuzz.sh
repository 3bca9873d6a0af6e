#!/usr/bin/env bash
# Builds the fuzz targets of tests/fuzz with clang (build-fuzz/), runs each
# over its seed corpus (the regressions: every input found so far), then
# each for a bounded time.  A crash stops the script with the input saved in
# build-fuzz/crashes/; add it to the target's corpus once it is fixed.
#
#   FUZZ_SECONDS   seconds of bounded fuzzing in all, shared equally by the
#                  targets (default 90, so that CI's fuzzing stays within
#                  three minutes with the build and the corpora)
#   FUZZ_CORPUS    a folder that keeps what the bounded runs find, one
#                  subfolder per target (default: a scratch folder, removed)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
targets=(conversion command_line console script terminal_input)
seconds=$(( ${FUZZ_SECONDS:-90} / ${#targets[@]} ))

scripts/build.sh build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DRASTREL_FUZZ=ON -DRASTREL_WERROR=ON "${targets[@]/#/fuzz_}"

# A small quarantine and short allocation stacks make the search two to three
# times faster; use-after-free is still caught within the quarantine.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=8:malloc_context_size=3}

found=${FUZZ_CORPUS:-}
if [ -z "$found" ]; then
  found=$(mktemp -d /tmp/rastrel-fuzz-corpus.XXXXXX)
  trap 'rm -rf "$found"' EXIT
fi
mkdir -p build-fuzz/crashes

for target in "${targets[@]}"; do
  options=(-artifact_prefix="$root/build-fuzz/crashes/$target-" -print_final_stats=1)
  case $target in
    conversion) options+=(-dict="$root/tests/fuzz/conversion.dict" -max_len=8192) ;;
    command_line) options+=(-max_len=1024) ;;
    console) options+=(-max_len=512) ;;
    script) options+=(-dict="$root/tests/fuzz/script.dict" -max_len=1024) ;;
    terminal_input) options+=(-dict="$root/tests/fuzz/terminal_input.dict" -max_len=512) ;;
  esac
  program=build-fuzz/fuzz/fuzz_$target
  seeds=$root/tests/fuzz/corpus/$target
  log=build-fuzz/fuzz-$target.log
  echo "fuzz $target: the corpus"
  if ! "$program" "${options[@]}" -runs=0 "$seeds" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz $target: an input of the corpus fails" >&2
    exit 1
  fi
  mkdir -p "$found/$target"
  echo "fuzz $target: $seconds s"
  if ! "$program" "${options[@]}" -max_total_time="$seconds" "$found/$target" "$seeds" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz $target: found a failing input (build-fuzz/crashes/)" >&2
    exit 1
  fi
  grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::average_exec_per_sec)' "$log" || true
done
