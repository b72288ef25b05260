#!/usr/bin/env bash
# Cross-builds Vexpick.exe and its tests with mingw-w64 and runs the tests
# under wine, each test program in a pseudo-terminal of its own so that wine
# gives it a console.
#
#   tests/windows/run-under-wine.sh [BUILD_DIR]      (default: build-windows)
#
# Needs: cmake, g++ (for the terminal driver), g++-mingw-w64-x86-64, wine,
# wine64 and googletest (its source, in /usr/src/googletest).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(mkdir -p "${1:-$root/build-windows}" && cd "${1:-$root/build-windows}" && pwd)

export WINEPREFIX=$build/wineprefix
export WINEDEBUG=-all
# No installer for wine's .NET and HTML engines: the tests need neither.
export WINEDLLOVERRIDES="mscoree=;mshtml="
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT

g++ -std=c++20 -O2 -Wall -Wextra -Wpedantic -Werror "$root/tests/windows/pty_run.cpp" -o "$build/pty_run" -lutil

# Each test program runs in its own terminal, its time bounded.
emulator="$build/pty_run;--log;$build/console.log;--;env;WINEPREFIX=$WINEPREFIX;WINEDEBUG=-all;wine"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DVEXPICK_WERROR=ON \
  "-DCMAKE_CROSSCOMPILING_EMULATOR=$emulator" >/dev/null
cmake --build "$build" -j2

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "preparing the wine prefix $WINEPREFIX"
  timeout 600 wineboot --init >/dev/null 2>&1
fi
: >"$build/console.log"
(cd "$build" && ctest --output-on-failure --timeout 400 -j2)
