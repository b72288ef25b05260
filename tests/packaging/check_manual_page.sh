#!/bin/sh
# The manual page passes mandoc's lint and renders with man without a single
# warning.
set -u
page=$1

. "$(dirname "$0")/common.sh"
require mandoc mandoc
require man man-db

lint=$(mandoc -Tlint -Wwarning "$page" 2>&1)
status=$?
if [ $status -ne 0 ] || [ -n "$lint" ]; then
    printf 'mandoc -Tlint (status %s):\n%s\n' "$status" "$lint" >&2
    exit 1
fi

warnings=$(MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$page" 2>&1 >/dev/null)
if [ -n "$warnings" ]; then
    printf 'man -l:\n%s\n' "$warnings" >&2
    exit 1
fi
