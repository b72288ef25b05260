#!/bin/sh
# Builds the Windows zip from a finished cross build and checks that it holds
# Vexpick.exe, the README, the licence and the batch example at its root, and
# that Vexpick.exe needs no DLL beside the ones Windows has.
set -u
build=$1
objdump=$2

. "$(dirname "$0")/common.sh"
require cpack cmake
require python3 python3
require "$objdump" binutils-mingw-w64-x86-64

make_scratch
make_package "$build" ZIP zip
zip=$package

contents=$(python3 -m zipfile -l "$zip" | awk 'NR > 1 { print $1 }' | sort | tr '\n' ' ')
[ "$contents" = "LICENSE README.md Vexpick.exe maintenance.cmd " ] || fail "the zip holds: $contents"

python3 -m zipfile -e "$zip" "$scratch/unpacked" || fail "cannot unpack $zip"
# The compiler's own runtime DLLs (libstdc++, libgcc, libwinpthread) would have
# to travel with the program; it is linked so that it needs none of them.
runtime=$("$objdump" -p "$scratch/unpacked/Vexpick.exe" | awk '/DLL Name:/ { print $3 }' | grep -i '^lib')
[ -z "$runtime" ] || fail "Vexpick.exe needs $runtime"
