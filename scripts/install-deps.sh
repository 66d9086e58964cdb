#!/usr/bin/env bash
# Installs what a fresh Debian 12 (bookworm) machine needs to build Nocturnia,
# render with it and run the core test suite, and nothing more: the compiler,
# CMake and Ninja, the -dev packages of the libraries, Python 3 for the
# conformance and README tests, and pybind11, NumPy and pytest for the Python
# module and its tests. Components that only some tests need (the
# formatter, the fuzzing compiler, a cluster, a browser) come from
# scripts/install-test-extras.sh; those tests report themselves skipped
# without them.
#
# The list is one array, so that what a fresh machine gets is written once.
# Run as root, or as a user who may use sudo.
set -euo pipefail

packages=(
  build-essential
  g++
  cmake
  ninja-build
  pkg-config
  nlohmann-json3-dev
  libcli11-dev
  libgtest-dev
  libbenchmark-dev
  libopenexr-dev
  libpng-dev
  libcpp-httplib-dev
  libopencolorio-dev
  liblcms2-dev
  python3
  python3-dev
  pybind11-dev
  python3-pybind11
  python3-numpy
  python3-pytest
)

if [ "$(id -u)" -eq 0 ]; then
  run_as_root=()
elif command -v sudo >/dev/null 2>&1; then
  run_as_root=(sudo)
else
  echo "install-deps.sh: run this as root (or install sudo)" >&2
  exit 1
fi

export DEBIAN_FRONTEND=noninteractive
"${run_as_root[@]}" apt-get update
"${run_as_root[@]}" apt-get install -y --no-install-recommends "${packages[@]}"
