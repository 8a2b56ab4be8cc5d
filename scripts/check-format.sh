#!/usr/bin/env bash
# Fails when a C++ source file is not formatted as .clang-format says.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(python3 scripts/source_files.py .cpp .h)
[ ${#sources[@]} -eq 0 ] && exit 0
if ! clang-format --dry-run --Werror "${sources[@]}"; then
    echo "Formatting differs from .clang-format; run: clang-format -i \$(scripts/source_files.py .cpp .h)" >&2
    exit 1
fi
echo "format check: ${#sources[@]} files formatted"
