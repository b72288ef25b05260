#!/usr/bin/env bash
# Installs what the tests need, builds everything and runs every test:
# the normal build, the sanitizer build, the end-to-end tests under valgrind,
# format and lint checks, the Windows cross build under wine, and a bounded
# fuzzing run.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(cmake g++ make pkg-config libgtest-dev googletest libvterm-dev clang libclang-rt-14-dev
  clang-format clang-tidy valgrind mandoc man-db dpkg-dev file python3 util-linux g++-mingw-w64-x86-64 wine wine64)

install_missing_packages() {
  local missing=()
  for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  [ ${#missing[@]} -eq 0 ] && return
  if [ "$(id -u)" -ne 0 ]; then
    echo "missing packages (install them as root): ${missing[*]}" >&2
    exit 1
  fi
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

step() { printf '\n=== %s\n' "$*"; }

# configure_and_build DIR TARGETS CMAKE_OPTION...: TARGETS is a list of
# names, or empty for all.
configure_and_build() {
  local dir=$1 targets=$2
  shift 2
  cmake -S . -B "$dir" -DVEXPICK_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j2 ${targets:+--target $targets}
}

build_and_test() {
  local dir=$1
  shift
  configure_and_build "$dir" "" "$@"
  (cd "$dir" && ctest --output-on-failure -j2)
}

# valgrind needs a dynamically linked program. Every report, also from runs
# that end by a signal (where the exit code cannot tell), fails the step.
memcheck_end_to_end() {
  local dir=$1 logs status=0
  configure_and_build "$dir" "vexpick vexpick_e2e_tests" -DVEXPICK_STATIC=OFF -DCMAKE_BUILD_TYPE=Debug
  logs=$(mktemp -d)
  local valgrind="valgrind -q --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite,indirect,possible"
  (cd "$dir" && VEXPICK_E2E_LAUNCHER="$valgrind --log-file=$logs/%p.log" ctest -L e2e --output-on-failure -j2) ||
    status=$?
  local reports
  reports=$(find "$logs" -type f -size +0)
  if [ -n "$reports" ]; then
    cat $reports
    status=1
  fi
  rm -rf "$logs"
  return $status
}

install_missing_packages

step "format"
git ls-files '*.cpp' '*.h' '*.c' | xargs clang-format --dry-run --Werror

step "build and test"
build_and_test build

step "lint"
git ls-files 'src/*.cpp' | grep -v console_windows.cpp | xargs clang-tidy -p build --quiet

step "build and test with AddressSanitizer and UndefinedBehaviorSanitizer"
build_and_test build-sanitize -DCMAKE_BUILD_TYPE=Debug -DVEXPICK_SANITIZE=address,undefined

step "end-to-end tests under valgrind memcheck"
memcheck_end_to_end build-valgrind

step "Windows: cross build with mingw-w64, tests under wine"
tests/windows/run-under-wine.sh build-windows

step "fuzzing, each target for a bounded time"
fuzz/run.sh ${VEXPICK_FUZZ_SECONDS:+"$VEXPICK_FUZZ_SECONDS"}
