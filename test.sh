#!/usr/bin/env bash
# Sets up Orvik on a Debian 12 machine (packages, build), runs the whole test suite offscreen and
# checks the source formatting and the package list.
#   ./test.sh             the suite in build/
#   ./test.sh --sanitize  the suite built with AddressSanitizer and UBSan in build-sanitize/; any
#                         report fails the test that made it
set -euo pipefail
cd "$(dirname "$0")"
. scripts/setup.sh
orvik_install_packages

if [ "${1:-}" = "--sanitize" ]; then
    # The benchmarks are not run here, so they are not built.
    orvik_build build-sanitize -DORVIK_SANITIZE=ON -DORVIK_BENCH=OFF
    # Leaks are reported too; the suite needs no suppressions (Qt's and the system libraries'
    # allocations at exit are still reachable, which LeakSanitizer does not report).
    export ASAN_OPTIONS="halt_on_error=1:detect_leaks=1"
    export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
    dbus-run-session -- ctest --test-dir build-sanitize --output-on-failure -j "$(nproc)"
    exit 0
fi

orvik_build
# Every package the configure step found must be one the list installs.
scripts/check-packages.sh build
# The tests get a session bus of their own, so the single-instance hand-over can be tested
# without touching the user's session.
dbus-run-session -- ctest --test-dir build --output-on-failure -j "$(nproc)"
scripts/check-format.sh
scripts/check-includes.py
# The window-free layer links Qt Core only: its objects reference no widget class.
if nm -uC build/liborvik_platform.a build/liborvik_core.a build/liborvik_cli.a | grep 'QWidget' >/dev/null; then
    echo "liborvik_platform, liborvik_core or liborvik_cli references a widget class" >&2
    exit 1
fi
# The Debian package of this build: its files and control fields.
scripts/package.sh build
