#!/usr/bin/env bash
# Builds the libFuzzer targets with clang++, AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs each for a bounded time, starting from
# its seed corpus in fuzz/corpus/<target>. Fails when any target finds a
# crash, a broken invariant, a leak or a hang; the input that did it is left in
# <build>/fuzz/artifacts.
#
#   fuzz/run.sh           30 s per target (what CI runs)
#   fuzz/run.sh 1800      a longer run: half an hour per target
#   fuzz/run.sh 60 safe_text add_item    only the targets named
#
# FUZZ_BUILD_DIR chooses the build directory (default: build-fuzz). Inputs
# the fuzzer finds are kept in <build>/fuzz/corpus, not in the repository.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
build=${FUZZ_BUILD_DIR:-build-fuzz}

CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXPICK_FUZZ=ON \
  -DVEXPICK_SANITIZE=address,undefined -DVEXPICK_WERROR=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target fuzz_targets >/dev/null

if [ $# -gt 0 ]; then
  targets=("$@")
else
  targets=()
  for corpus in fuzz/corpus/*/; do targets+=("$(basename "$corpus")"); done
fi

failed=()
for target in "${targets[@]}"; do
  found="$build/fuzz/corpus/$target"
  artifacts="$build/fuzz/artifacts"
  mkdir -p "$found" "$artifacts"
  printf '=== fuzz %s (%s s)\n' "$target" "$seconds"
  if ! "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -artifact_prefix="$artifacts/$target-" -print_final_stats=1 "$found" "fuzz/corpus/$target" \
    >"$build/fuzz/$target.log" 2>&1; then
    failed+=("$target")
    tail -n 40 "$build/fuzz/$target.log"
  else
    grep -E '^stat::number_of_executed_units|^#[0-9]+ +DONE' "$build/fuzz/$target.log" || true
  fi
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing found problems in: ${failed[*]} (logs in $build/fuzz, inputs in $build/fuzz/artifacts)" >&2
  exit 1
fi
echo "fuzzing: ${#targets[@]} targets, no findings"
