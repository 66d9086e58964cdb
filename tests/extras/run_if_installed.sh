#!/usr/bin/env bash
# Runs a test that needs components from scripts/install-test-extras.sh:
#   run_if_installed.sh <program>... -- <command> [<arg>...]
# When one of the programs is not on PATH it says why the test is skipped and
# what to run, and exits 77, which ctest reports as skipped (the test is
# registered with SKIP_RETURN_CODE 77); otherwise it runs the command.
set -euo pipefail

missing=()
while [ "$#" -gt 0 ] && [ "$1" != "--" ]; do
  command -v "$1" >/dev/null 2>&1 || missing+=("$1")
  shift
done
if [ "$#" -eq 0 ]; then
  echo "run_if_installed.sh: usage: run_if_installed.sh <program>... -- <command> [<arg>...]" >&2
  exit 2
fi
shift
if [ "${#missing[@]}" -gt 0 ]; then
  echo "SKIPPED: ${missing[*]} not installed; run: bash scripts/install-test-extras.sh"
  exit 77
fi
exec "$@"
