#!/usr/bin/env bash
# Sets up Orvik on a Debian 12 machine (packages, build) and starts it with the given files.
set -euo pipefail
cd "$(dirname "$0")"
files=()
for file in "$@"; do
    files+=("$(realpath -m -- "$file")")
done
. scripts/setup.sh
orvik_install_packages
# Only what runs: the tests and benchmarks are test.sh's business.
ORVIK_TARGETS="orvik orvik-cddafs" orvik_build
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
    echo "Orvik needs a graphical display, and none is set (DISPLAY or WAYLAND_DISPLAY)." >&2
    exit 1
fi
exec build/orvik "${files[@]}"
