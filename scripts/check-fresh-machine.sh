#!/usr/bin/env bash
# Proves that the README's set-up works on a brand-new minimal Debian 12: makes
# a minbase bookworm root (mmdebstrap, installed if missing), puts a clean copy
# of the committed tree in it (`git archive HEAD`: no build folder, no
# untracked file) and runs, as root in the tree's folder, the README's own two
# set-up command blocks (its first two ```sh blocks, read at run time, so the
# README stays the one place where set-up is written). It passes only when the
# first exits 0 and wrote the PNG image it names with -o, and the second exits
# 0 with ctest's "100% tests passed".
#
# The package mirror and apt's proxy are taken from this machine's own apt
# configuration (deb822 .sources files or sources.list; `apt-config dump`), so
# no mirror is named here. The bare root is kept as a tarball in a cache folder
# outside the work tree and unpacked afresh for every run.
#
# It cannot harm the machine it runs on: each command runs in a private mount
# and PID namespace, so the root's proc, dev and sys mounts and every process
# started in it vanish with the step; a policy-rc.d in the root forbids
# starting daemons; each step has a time limit. Whatever happens (failure,
# Ctrl-C, a timeout) the root is removed, only after findmnt shows nothing
# mounted under it, with `rm --one-file-system`. Each step's time is printed,
# and a failing step's name and the tail of its output.
#
# Usage: bash scripts/check-fresh-machine.sh [--keep-cache | --drop-cache]
#                                            [--refresh-cache] [--jobs N]
#   --keep-cache     keep the root tarball for the next run (the default)
#   --drop-cache     remove the root tarball at the end
#   --refresh-cache  make a new root tarball before the run
#   --jobs N         parallel build jobs inside the root (default: nproc)
# Environment: NOCTURNIA_FRESH_CACHE (cache folder, default
# ${XDG_CACHE_HOME:-$HOME/.cache}/nocturnia-fresh-root), NOCTURNIA_FRESH_WORKDIR
# (where the root is unpacked, default ${TMPDIR:-/var/tmp}). Needs root.
set -euo pipefail

self="$(readlink -f "$0")"
suite=bookworm

# ---- the steps; each runs as `bash check-fresh-machine.sh --step NAME` under
# ---- timeout, with its output in its own log, and reads the exported NF_*.

# The bookworm entries of this machine's apt sources, as one-line `deb` lines.
step_apt_sources() {
  local lines
  lines="$({
    for file in /etc/apt/sources.list.d/*.sources; do
      [ -f "$file" ] || continue
      awk -v suite="$suite" '
        function flush(  nu, ns, i, j, U, S) {
          if (types ~ /(^|[ \t])deb([ \t]|$)/ && enabled != "no") {
            nu = split(uris, U, /[ \t]+/); ns = split(suites, S, /[ \t]+/)
            for (i = 1; i <= nu; i++) for (j = 1; j <= ns; j++)
              if (S[j] == suite || index(S[j], suite "-") == 1) print "deb " U[i] " " S[j] " " comps
          }
          types = uris = suites = comps = enabled = ""
        }
        /^[ \t]*#/ { next }
        /^[ \t]*$/ { flush(); next }
        /^[^ \t][^:]*:/ {
          key = tolower(substr($0, 1, index($0, ":") - 1)); value = substr($0, index($0, ":") + 1)
          gsub(/^[ \t]+|[ \t]+$/, "", value)
          if (key == "types") types = value; else if (key == "uris") uris = value
          else if (key == "suites") suites = value; else if (key == "components") comps = value
          else if (key == "enabled") enabled = tolower(value)
        }
        END { flush() }' "$file"
    done
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
      [ -f "$file" ] || continue
      sed -E -e 's/#.*//' -e 's/\[[^]]*\]//' "$file" |
        awk -v suite="$suite" '$1 == "deb" && ($3 == suite || index($3, suite "-") == 1) { $1 = "deb"; print }'
    done
  } | awk '!seen[$0]++')"
  if [ -z "$lines" ]; then
    echo "this machine's apt configuration names no $suite mirror (/etc/apt/sources.list, /etc/apt/sources.list.d/)" >&2
    return 1
  fi
  printf '%s\n' "$lines" >"$NF_WORK/sources.list"
  # Proxy settings, copied as apt prints them (apt.conf syntax), per-host ones included.
  apt-config dump | grep -E '^Acquire::https?::Proxy' >"$NF_WORK/proxy.conf" || true
  echo "mirrors:"; sed 's/^/  /' "$NF_WORK/sources.list"
  echo "apt proxy settings: $(wc -l <"$NF_WORK/proxy.conf")"
}

step_bootstrap_tool() {
  if command -v mmdebstrap >/dev/null 2>&1; then
    echo "mmdebstrap is installed: $(command -v mmdebstrap)"
    return 0
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y --no-install-recommends mmdebstrap ||
    { apt-get update && apt-get install -y --no-install-recommends mmdebstrap; }
}

# Makes the bare root tarball (in the cache), unless a cached one is used.
step_base_root() {
  if [ -s "$NF_CACHE_TAR" ] && [ "$NF_REFRESH" -eq 0 ]; then
    echo "using the cached root $NF_CACHE_TAR ($(du -h "$NF_CACHE_TAR" | cut -f1))"
    return 0
  fi
  mkdir -p "$(dirname "$NF_CACHE_TAR")"
  local options=(--variant=minbase)
  local line
  while IFS= read -r line; do options+=(--aptopt="${line%;}"); done <"$NF_WORK/proxy.conf"
  grep -q 'https://' "$NF_WORK/sources.list" && options+=(--include=ca-certificates)
  local mirrors=()
  while IFS= read -r line; do mirrors+=("$line"); done <"$NF_WORK/sources.list"
  # Its own mount namespace: whatever it mounts while it works vanishes with it.
  TMPDIR="$NF_WORK" unshare --mount --propagation private -- \
    mmdebstrap "${options[@]}" "$suite" "$NF_CACHE_PARTIAL" "${mirrors[@]}"
  mv -f "$NF_CACHE_PARTIAL" "$NF_CACHE_TAR"
  echo "made $NF_CACHE_TAR ($(du -h "$NF_CACHE_TAR" | cut -f1))"
}

# A fresh copy of the bare root, told this machine's mirror and proxy, and
# forbidden to start services.
step_unpack_root() {
  mkdir "$NF_ROOT"
  tar -xpf "$NF_CACHE_TAR" -C "$NF_ROOT" --numeric-owner
  cp "$NF_WORK/sources.list" "$NF_ROOT/etc/apt/sources.list"
  rm -f "$NF_ROOT"/etc/apt/sources.list.d/*
  cp "$NF_WORK/proxy.conf" "$NF_ROOT/etc/apt/apt.conf.d/00proxy-of-the-host"
  rm -f "$NF_ROOT/etc/resolv.conf"
  [ -e /etc/resolv.conf ] && cp -L /etc/resolv.conf "$NF_ROOT/etc/resolv.conf"
  printf '#!/bin/sh\n# check-fresh-machine.sh: no service starts in this root\nexit 101\n' \
    >"$NF_ROOT/usr/sbin/policy-rc.d"
  chmod 755 "$NF_ROOT/usr/sbin/policy-rc.d"
  echo "unpacked into $NF_ROOT ($(du -sh "$NF_ROOT" | cut -f1))"
}

step_copy_tree() {
  mkdir -p "$NF_ROOT$NF_TREE"
  git -C "$NF_REPO" archive --format=tar HEAD | tar -x -C "$NF_ROOT$NF_TREE"
  echo "commit $(git -C "$NF_REPO" rev-parse --short HEAD) in $NF_TREE ($(du -sh "$NF_ROOT$NF_TREE" | cut -f1))"
  if [ -n "$(git -C "$NF_REPO" status --porcelain --untracked-files=no)" ]; then
    echo "note: uncommitted changes in $NF_REPO are not part of this check"
  fi
}

# The README's first two ```sh blocks, and the image the first one writes.
step_readme_commands() {
  local readme="$NF_ROOT$NF_TREE/README.md" n
  for n in 1 2; do
    awk -v want="$n" '
      /^```sh[ \t]*$/ { count++; inside = (count == want); next }
      /^```/ { if (inside) exit; next }
      inside { print }' "$readme" >"$NF_WORK/readme-command-$n.sh"
    if ! grep -q '[^[:space:]]' "$NF_WORK/readme-command-$n.sh"; then
      echo "README.md has no ${n}. \`\`\`sh block (the set-up commands)" >&2
      return 1
    fi
    echo "README command $n:"; sed 's/^/  /' "$NF_WORK/readme-command-$n.sh"
  done
  local image
  image="$(grep -oE -- '-o[[:space:]]+[^[:space:];&|]+\.png' "$NF_WORK/readme-command-1.sh" | tail -n 1 |
           sed -E 's/^-o[[:space:]]+//')"
  if [ -z "$image" ]; then
    echo "README command 1 names no image to write (-o NAME.png)" >&2
    return 1
  fi
  printf '%s\n' "$image" >"$NF_WORK/image-name"
  echo "image it promises: $image"
}

# Runs README command N as root in the tree's folder inside the root, in a new
# mount and PID namespace with its own proc, sys (read-only) and a minimal dev.
run_in_root() {
  local n="$1"
  cp "$NF_WORK/readme-command-$n.sh" "$NF_ROOT/root/readme-command-$n.sh"
  unshare --mount --pid --kill-child --propagation private -- bash -euc '
    root="$1"; shift
    mount -t proc -o nosuid,nodev,noexec proc "$root/proc"
    mount -t sysfs -o ro,nosuid,nodev,noexec sysfs "$root/sys"
    mount -t tmpfs -o mode=755,nosuid dev "$root/dev"
    for node in null zero full random urandom tty; do
      touch "$root/dev/$node"; mount --bind "/dev/$node" "$root/dev/$node"
    done
    mkdir "$root/dev/pts" "$root/dev/shm"
    mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
    mount -t tmpfs -o mode=1777,nosuid,nodev shm "$root/dev/shm"
    ln -s pts/ptmx "$root/dev/ptmx"; ln -s /proc/self/fd "$root/dev/fd"
    ln -s /proc/self/fd/0 "$root/dev/stdin"; ln -s /proc/self/fd/1 "$root/dev/stdout"
    ln -s /proc/self/fd/2 "$root/dev/stderr"
    exec chroot "$root" "$@"' _ "$NF_ROOT" \
    /usr/bin/env -i HOME=/root USER=root LOGNAME=root LANG=C.UTF-8 TERM=dumb \
      PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      CMAKE_BUILD_PARALLEL_LEVEL="$NF_JOBS" \
      /bin/bash -c 'cd "$1" && exec bash -e -o pipefail "$2"' _ "$NF_TREE" "/root/readme-command-$n.sh"
}

step_readme_command_1() { run_in_root 1; }

step_check_image() {
  local image="$NF_ROOT$NF_TREE/$(cat "$NF_WORK/image-name")"
  if [ ! -f "$image" ] || [ ! -s "$image" ]; then
    echo "README command 1 did not write $(cat "$NF_WORK/image-name") (or wrote an empty file)" >&2
    return 1
  fi
  local signature chunk width height
  signature="$(head -c 8 "$image" | od -An -tx1 | tr -d ' \n')"
  chunk="$(dd if="$image" bs=1 skip=12 count=4 status=none)"
  width=$((16#$(dd if="$image" bs=1 skip=16 count=4 status=none | od -An -tx1 | tr -d ' \n')))
  height=$((16#$(dd if="$image" bs=1 skip=20 count=4 status=none | od -An -tx1 | tr -d ' \n')))
  if [ "$signature" != 89504e470d0a1a0a ] || [ "$chunk" != IHDR ] || [ "$width" -eq 0 ] || [ "$height" -eq 0 ]; then
    echo "$(cat "$NF_WORK/image-name") is not a PNG image with a size (signature $signature, first chunk '$chunk')" >&2
    return 1
  fi
  echo "$(cat "$NF_WORK/image-name"): PNG, ${width}x${height}, $(stat -c %s "$image") bytes"
}

step_readme_command_2() {
  run_in_root 2
  if ! grep -q '100% tests passed' "$NF_STEP_LOG"; then
    echo "README command 2 exited 0 but ctest did not report \"100% tests passed\"" >&2
    return 1
  fi
}

if [ "${1:-}" = "--step" ]; then
  "step_$2"
  exit
fi

# ---- the driver ------------------------------------------------------------
# One brace group, so bash reads all of it before running any of it: an edit
# of this file during a run cannot change the run (the steps run from a copy).
{

keep_cache=1
refresh=0
jobs="$(nproc)"
while [ "$#" -gt 0 ]; do
  case "$1" in
    --keep-cache) keep_cache=1 ;;
    --drop-cache) keep_cache=0 ;;
    --refresh-cache) refresh=1 ;;
    --jobs) [ "$#" -ge 2 ] || { echo "check-fresh-machine: --jobs needs a number" >&2; exit 2; }
            jobs="$2"; shift ;;
    --jobs=*) jobs="${1#--jobs=}" ;;
    -h|--help) sed -n '2,/^set -euo/{/^set -euo/d;s/^# \{0,1\}//;p}' "$self"; exit 0 ;;
    *) echo "check-fresh-machine: unknown option $1 (see --help)" >&2; exit 2 ;;
  esac
  shift
done
case "$jobs" in ''|*[!0-9]*|0) echo "check-fresh-machine: --jobs needs a positive number" >&2; exit 2 ;; esac
if [ "$(id -u)" -ne 0 ]; then
  echo "check-fresh-machine: run as root (it makes a root file system and mount namespaces)" >&2
  exit 2
fi

repo="$(git -C "$(dirname "$self")/.." rev-parse --show-toplevel)"
cache_dir="${NOCTURNIA_FRESH_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/nocturnia-fresh-root}"
work_parent="${NOCTURNIA_FRESH_WORKDIR:-${TMPDIR:-/var/tmp}}"
mkdir -p "$cache_dir" "$work_parent"
cache_dir="$(readlink -f "$cache_dir")"
work_parent="$(readlink -f "$work_parent")"
for folder in "$cache_dir" "$work_parent"; do
  case "$folder/" in
    "$repo"/*) echo "check-fresh-machine: $folder is inside the work tree; choose a folder outside it" >&2; exit 2 ;;
  esac
done
work="$(mktemp -d "$work_parent/nocturnia-fresh.XXXXXX")"
chmod 755 "$work"  # apt fetches as the user _apt, which must reach the temporary root
cp "$self" "$work/check-fresh-machine.sh"
self="$work/check-fresh-machine.sh"

export NF_REPO="$repo" NF_WORK="$work" NF_ROOT="$work/root" NF_TREE=/root/nocturnia NF_JOBS="$jobs"
export NF_CACHE_TAR="$cache_dir/$suite-minbase.tar" NF_CACHE_PARTIAL="$cache_dir/.partial-$$.tar"
export NF_REFRESH="$refresh" NF_STEP_LOG=""

step_pid=""
step_name=""
step_began=0
last_log=""
step_names=()
step_times=()
started_all=$SECONDS

print_times() {
  local i
  echo "check-fresh-machine: step times"
  for i in "${!step_names[@]}"; do
    printf '  %6ss  %s\n' "${step_times[$i]}" "${step_names[$i]}"
  done
  printf '  %6ss  total\n' "$((SECONDS - started_all))"
}

# Removes the work folder and the root in it, only when nothing is mounted
# under it and no process runs inside it; says so when it cannot.
cleanup() {
  local status=$? pid root_of left=0
  trap - EXIT INT TERM
  set +e
  if [ -n "$step_pid" ]; then
    if kill -0 "$step_pid" 2>/dev/null; then
      kill -TERM -- "-$step_pid" 2>/dev/null
      wait "$step_pid" 2>/dev/null
    fi
    step_names+=("$step_name (interrupted)")
    step_times+=("$((SECONDS - step_began))")
  fi
  for pid in /proc/[0-9]*; do
    root_of="$(readlink "$pid/root" 2>/dev/null)" || continue
    case "$root_of/" in "$NF_ROOT"/*)
      echo "check-fresh-machine: ending process ${pid#/proc/} still running in the root" >&2
      kill -KILL "${pid#/proc/}" 2>/dev/null ;;
    esac
  done
  if findmnt -rn -o TARGET | awk -v root="$NF_ROOT" '$0 == root || index($0, root "/") == 1 { found = 1 } END { exit !found }'; then
    echo "check-fresh-machine: mounted under $NF_ROOT:" >&2
    findmnt -rn -o TARGET | grep -F "$NF_ROOT" >&2
    umount --recursive "$NF_ROOT" 2>/dev/null
    findmnt -rn -o TARGET | grep -qF "$NF_ROOT" && left=1
  fi
  if [ "$left" -eq 1 ]; then
    echo "check-fresh-machine: something is still mounted under $NF_ROOT; NOT removing $work" >&2
    status=1
  else
    rm -rf --one-file-system "$work"
    if [ -e "$work" ]; then
      echo "check-fresh-machine: could not remove $work" >&2
      status=1
    else
      echo "check-fresh-machine: removed $work; nothing mounted under it"
    fi
  fi
  rm -f "$NF_CACHE_PARTIAL"
  [ "$keep_cache" -eq 1 ] || rm -f "$NF_CACHE_TAR"
  print_times
  if [ "$status" -eq 0 ]; then echo "check-fresh-machine: PASSED"; else echo "check-fresh-machine: FAILED"; fi
  exit "$status"
}
on_signal() {
  echo "check-fresh-machine: interrupted by $1${step_pid:+ during step '$step_name'}" >&2
  exit "$2"
}
trap cleanup EXIT
trap 'on_signal SIGINT 130' INT
trap 'on_signal SIGTERM 143' TERM

# run_step NAME LIMIT_SECONDS FUNCTION: runs step_FUNCTION with a time limit,
# prints its time, and on failure its name and the tail of its output.
run_step() {
  local name="$1" limit="$2" function="$3" began=$SECONDS status=0 log
  step_name="$name"
  step_began=$began
  log="$work/log-$((${#step_names[@]} + 1))-$function.txt"
  NF_STEP_LOG="$log" timeout --kill-after=30 "$limit" bash "$self" --step "$function" >"$log" 2>&1 </dev/null &
  step_pid=$!
  wait "$step_pid" || status=$?
  step_pid=""
  last_log="$log"
  step_names+=("$name")
  step_times+=("$((SECONDS - began))")
  if [ "$status" -ne 0 ]; then
    local why="exit status $status"
    [ "$status" -eq 124 ] || [ "$status" -eq 137 ] && why="time limit of ${limit}s reached (exit status $status)"
    echo "check-fresh-machine: step '$name' FAILED: $why after $((SECONDS - began))s; last lines of its output:" >&2
    tail -n 60 "$log" | sed 's/^/  | /' >&2
    echo "check-fresh-machine: FAILED at step '$name'" >&2
    exit 1
  fi
  printf 'check-fresh-machine: %5ss  ok  %s\n' "$((SECONDS - began))" "$name"
}

echo "check-fresh-machine: fresh $suite root in $work, cache $NF_CACHE_TAR, $jobs build jobs"
run_step "read this machine's apt sources and proxy" 60 apt_sources
run_step "install the bootstrap tool (mmdebstrap)" 900 bootstrap_tool
run_step "make or reuse the bare $suite root tarball" 1800 base_root
run_step "unpack a fresh root" 600 unpack_root
run_step "copy the committed tree (git archive HEAD)" 300 copy_tree
run_step "read the README's two set-up commands" 60 readme_commands
run_step "README command 1 (install, build, render)" 3600 readme_command_1
run_step "the image README command 1 promises" 60 check_image
run_step "README command 2 (build and run every test)" 2400 readme_command_2
grep -E 'tests passed|tests failed out of|did not run|\(Skipped\)' "$last_log" | sed 's/^/  ctest: /' || true
exit 0
}
