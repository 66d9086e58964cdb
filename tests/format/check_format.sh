#!/usr/bin/env bash
# Checks that every C++ file of the project is formatted as .clang-format
# says, with the pinned clang-format-14. Without it the check is skipped
# (exit 77), never passed: scripts/install-test-extras.sh installs it.
set -euo pipefail
root=${1:?usage: check_format.sh SOURCE_DIR}
formatter=${CLANG_FORMAT:-clang-format-14}
if ! command -v "$formatter" >/dev/null 2>&1; then
    echo "SKIPPED: $formatter is not installed; run: bash scripts/install-test-extras.sh"
    exit 77
fi
cd "$root"
mapfile -t files < <(find abi host source app python tests bench fuzz -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
"$formatter" --dry-run --Werror "${files[@]}"
echo "${#files[@]} files formatted as .clang-format says"
