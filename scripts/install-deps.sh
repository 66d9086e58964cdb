#!/usr/bin/env bash
# Installs what building and testing Nocturnia needs on Debian 12 (bookworm):
# the compiler, CMake and Ninja, and the -dev packages of the libraries.
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
  python3
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
