#!/usr/bin/env bash
# Sets up Orvik on a Debian 12 machine (packages, build), runs the whole test suite offscreen and
# checks the source formatting.
set -euo pipefail
cd "$(dirname "$0")"
. scripts/setup.sh
orvik_install_packages
orvik_build
# The tests get a session bus of their own, so the single-instance hand-over can be tested
# without touching the user's session.
dbus-run-session -- ctest --test-dir build --output-on-failure -j "$(nproc)"
scripts/check-format.sh
