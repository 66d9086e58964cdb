#!/usr/bin/env bash
# Installs the heavy components that only some tests need, on top of what
# scripts/install-deps.sh installs. Without them those tests report themselves
# skipped (exit status 77, "SKIPPED: <reason>; run: bash
# scripts/install-test-extras.sh") and never pass silently.
#
# No service is started while installing: a /usr/sbin/policy-rc.d that answers
# 101 ("action forbidden") is in place for the install and removed afterwards,
# unless one was already there, which is then left exactly as it was.
# Run as root, or as a user who may use sudo. Safe to run again.
set -euo pipefail

# One entry per component; add the packages of a new kind of test here.
extras=(
  clang-format-14                 # the format check
  clang-14 libclang-rt-14-dev     # fuzzing: clang's libFuzzer and sanitizer runtimes
  slurm-wlm munge                 # the render-farm test (a local Slurm cluster, started by the test)
  chromium chromium-driver python3-selenium     # the browser tests (`nocturnia serve`)
)

if [ "$(id -u)" -eq 0 ]; then
  run_as_root=()
elif command -v sudo >/dev/null 2>&1; then
  run_as_root=(sudo)
else
  echo "install-test-extras.sh: run this as root (or install sudo)" >&2
  exit 1
fi

policy=/usr/sbin/policy-rc.d
placed_policy=0
remove_policy() {
  if [ "$placed_policy" -eq 1 ]; then
    "${run_as_root[@]}" rm -f "$policy"
  fi
}
trap remove_policy EXIT
if [ ! -e "$policy" ]; then
  printf '#!/bin/sh\n# install-test-extras.sh: start no service while installing\nexit 101\n' |
    "${run_as_root[@]}" tee "$policy" >/dev/null
  "${run_as_root[@]}" chmod 755 "$policy"
  placed_policy=1
fi

export DEBIAN_FRONTEND=noninteractive
"${run_as_root[@]}" apt-get update -qq
"${run_as_root[@]}" apt-get install -y -qq --no-install-recommends "${extras[@]}"
echo "install-test-extras: installed ${extras[*]}"
