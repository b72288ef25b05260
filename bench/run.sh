#!/usr/bin/env bash
# Builds vexpick (Release) with the benchmark tools and measures it side by
# side with the minimal C reference picker, in an 80x24 pseudo-terminal.
# Prints a markdown table; exits 1 when a figure misses its limit.
#
#   bench/run.sh                   the full run (about two minutes)
#   bench/run.sh --runs=5 --idle-runs=1 --no-question-file   a quick look
#   bench/run.sh --dump            also the exact bytes written, escaped
#   bench/run.sh --vexpick=PATH    another build of vexpick
#
# dialog, whiptail and fzf get a column each when they are installed
# (apt-get install dialog whiptail fzf); --no-peers leaves them out.
# BENCH_BUILD_DIR chooses the build directory (default: build-bench).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BENCH_BUILD_DIR:-build-bench}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVEXPICK_BENCH=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target vexpick_bench >/dev/null

exec "$build/bench/vexpick_bench" "$@"
