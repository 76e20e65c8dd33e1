#!/usr/bin/env bash
# Installs everything the build, the tests and the benchmarks need on a fresh Debian machine.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

want_windows=1
want_bench=0
for arg in "$@"; do
  case "$arg" in
    --no-windows) want_windows=0 ;;
    --bench) want_bench=1 ;;
  esac
done

core_packages=(
  build-essential cmake ninja-build pkg-config clang libclang-rt-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev libfast-float-dev
  libcairo2-dev libpango1.0-dev libgtk-3-dev fonts-dejavu-core
  xvfb xdotool x11-utils imagemagick python3 python3-pil
  lintian appstream desktop-file-utils man-db libglib2.0-bin
)
# Only the benchmarks need these: the tools bench/compare_tools.sh and bench/compare_loaders.sh
# time against (the latter installs its npm peers itself), /usr/bin/time, and perf for
# bench/fresh_memory.sh.
bench_packages=(gnuplot-nox python3-matplotlib python3-pandas time linux-perf)
cross_packages=(
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  # The 64-bit build of the same program, timed beside the 32-bit one by the benchmark.
  g++-mingw-w64-x86-64
)
windows_packages=(
  wine wine32:i386 wine64
  # For kernels without 32-bit support: the 32-bit wine loader then runs under qemu-user.
  qemu-user-static
)

missing() {
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || echo "$pkg"
  done
}

if [ "$want_windows" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi

packages=("${core_packages[@]}")
if [ "$want_bench" = 1 ]; then
  packages+=("${bench_packages[@]}")
  # Node.js may come from elsewhere than Debian; only without it are Debian's taken.
  if ! command -v npm >/dev/null; then packages+=(nodejs npm); fi
fi
update_log=$(mktemp)
fallback_sources=/etc/apt/sources.list.d/veloplot-mid-sync-i386.list
trap 'rm -f "$update_log"; [ ! -e "$fallback_sources" ] || $SUDO rm -f "$fallback_sources"' EXIT
updated=0
update_indexes() {
  # A mirror caught mid-sync fails one index now and then; the others still serve the install.
  $SUDO apt-get update -q 2>&1 | tee "$update_log" ||
    echo "setup: some package indexes could not be updated" >&2
}
install() {
  local todo
  todo=$(missing "$@")
  [ -z "$todo" ] && return 0
  if [ "$updated" = 0 ]; then
    update_indexes
    updated=1
  fi
  # shellcheck disable=SC2086
  $SUDO apt-get install -y -q --no-install-recommends $todo
}

# wine's 32-bit half must match the 64-bit libraries' versions exactly, and those come from the
# security suite. When the mirror serves that suite's i386 index mid-sync (its size or hash differs
# from the signed release's), apt drops the index and wine32 cannot be installed at all. Only then,
# and only for the i386 indexes that failed so, the index the mirror does serve is read as a flat
# repository for this one install; each package is still checked against the hash it lists.
install_with_mid_sync_i386_indexes() {
  local failed
  failed=$(grep -oE 'Failed to fetch http[^ ]*/dists/[^ ]*/binary-i386/Packages[^ ]*  (File has unexpected size|Hash Sum mismatch)' \
    "$update_log" | sed -E 's#^Failed to fetch (http[^ ]*)/(dists/[^ ]*/binary-i386/)Packages.*#\1 \2#' | sort -u) || true
  [ -n "$failed" ] || return 1
  echo "setup: using the i386 indexes the mirror serves mid-sync, unsigned, for wine's 32-bit packages:" >&2
  echo "$failed" | sed 's/^/setup:   /' >&2
  echo "$failed" | sed 's/^/deb [trusted=yes arch=i386] /' | $SUDO tee "$fallback_sources" >/dev/null
  update_indexes
  local status=0
  install "$@" || status=$?
  $SUDO rm -f "$fallback_sources"
  return "$status"
}

install "${packages[@]}"
# Apart, so that a failure of wine's (its 32-bit packages follow their own index) leaves the rest
# installed; the Windows suite then reports what is missing.
if [ "$want_windows" = 1 ] && ! {
  install "${cross_packages[@]}" && {
    install "${windows_packages[@]}" || install_with_mid_sync_i386_indexes "${windows_packages[@]}"
  }
}; then
  echo "setup: the Windows packages could not be installed" >&2
  exit 1
fi
