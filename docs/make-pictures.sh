#!/bin/sh
# Draws the README's pictures, docs/*.svg, from real runs of the program in a
# pseudo-terminal.
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build >/dev/null
cmake --build build -j2 --target vexpick_readme_pictures
build/vexpick_readme_pictures docs
