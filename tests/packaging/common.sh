# Sourced by the checks in this directory: fail, require, make_scratch, and
# make_package, which runs cpack on a finished build.

fail() { echo "$*" >&2; exit 1; }

# require TOOL DEBIAN_PACKAGE
require() {
    command -v "$1" >/dev/null || fail "$1 is not installed (Debian package $2)"
}

# Sets $scratch to a new directory, removed at the end.
make_scratch() {
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
}

# make_package BUILD GENERATOR EXTENSION: sets $package to the one package
# cpack made, in $scratch (make_scratch first).
make_package() {
    cpack --config "$1/CPackConfig.cmake" -G "$2" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
        { cat "$scratch/cpack.log" >&2; fail "cpack failed"; }
    set -- "$scratch"/out/*."$3"
    [ $# -eq 1 ] && [ -f "$1" ] || fail "cpack made no single package: $*"
    package=$1
}
