#!/usr/bin/env bash
# Checks that every C++ source of the project is laid out as .clang-format says; names the files
# that are not. `clang-format -i FILE` lays one out.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files '*.cpp' '*.h' 2>/dev/null ||
                       find src tools tests bench fuzz -name '*.cpp' -o -name '*.h')
clang-format --dry-run -Werror "${sources[@]}"
echo "format: ${#sources[@]} files as .clang-format says"
