#!/bin/sh
# Builds the .deb from a finished build, unpacks it into a scratch root as
# dpkg would install it, and runs the installed program once.
set -u
build=$1

. "$(dirname "$0")/common.sh"
require cpack cmake
require dpkg-deb dpkg
require dpkg-shlibdeps dpkg-dev
require setsid util-linux

make_scratch
make_package "$build" DEB deb
deb=$package

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = vexpick ] || fail "Package: $(field Package)"
[ "$(field Section)" = utils ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
field Description | grep -q 'exit status' || fail "Description: $(field Description)"
# Only the C and C++ runtimes: libc6, libstdc++6 and libgcc-s1 (libstdc++'s
# own); a sanitizer build also brings its sanitizers' runtimes.
allowed='libc6|libstdc\+\+6|libgcc-s1'
[ -z "${VEXPICK_SANITIZE:-}" ] || allowed="$allowed|libasan[0-9]+|libubsan[0-9]+|libtsan[0-9]+|liblsan[0-9]+"
depends=$(field Depends | tr ',' '\n' | sed 's/(.*)//; s/ //g' | grep -v -x -E "$allowed|")
[ -z "$depends" ] || fail "unexpected dependencies: $depends"

dpkg-deb -x "$deb" "$scratch/root" || fail "dpkg-deb -x failed"
for file in usr/bin/vexpick usr/share/man/man1/vexpick.1 usr/share/doc/vexpick/copyright; do
    [ -f "$scratch/root/$file" ] || fail "not in the package: $file"
done

# Without a controlling terminal (setsid) and with no keyboard, the help
# text and a run with items both end at once with status 0 and write nothing
# to standard output or standard error.
run() {
    setsid -w "$scratch/root/usr/bin/vexpick" "$@" </dev/null >"$scratch/stdout" 2>"$scratch/stderr"
    status=$?
    [ $status -eq 0 ] || fail "vexpick $*: status $status"
    [ ! -s "$scratch/stdout" ] && [ ! -s "$scratch/stderr" ] ||
        fail "vexpick $*: wrote $(cat "$scratch/stdout" "$scratch/stderr")"
}
run --help
run ~Yes ~No
