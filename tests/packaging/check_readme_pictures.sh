#!/bin/sh
# The pictures in the README show what the program shows today.
set -u
draw=$1
committed=$2

. "$(dirname "$0")/common.sh"
make_scratch

"$draw" "$scratch" || exit 1
for picture in prompt.svg menu.svg menu-colour.svg; do
    if ! cmp -s "$scratch/$picture" "$committed/$picture"; then
        echo "docs/$picture is out of date: run docs/make-pictures.sh and commit the result" >&2
        diff "$committed/$picture" "$scratch/$picture" >&2
        exit 1
    fi
done
