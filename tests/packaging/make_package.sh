# Sourced by the package checks: fail, a scratch directory removed at the end,
# and make_package, which runs cpack on a finished build and sets $package to
# the one package it made.

fail() { echo "$*" >&2; exit 1; }

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# make_package BUILD GENERATOR EXTENSION
make_package() {
    cpack --config "$1/CPackConfig.cmake" -G "$2" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
        { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
    set -- "$scratch"/out/*."$3"
    [ $# -eq 1 ] && [ -f "$1" ] || fail "cpack made no single package: $*"
    package=$1
}
