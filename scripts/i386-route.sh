# Sourced by the scripts that run the 32-bit Windows program. `open_i386_route` makes 32-bit
# Linux programs start, and with them the 32-bit wine loader: natively where the kernel has its
# 32-bit support, else through qemu-user, registered for i386 programs with binfmt_misc (as
# Debian's qemu packages register it for other architectures; a registration does not survive a
# reboot, so this is done on every run). It sets `i386_route` to "native" or "qemu-user", or
# `i386_problem` to why neither works and returns 1. Nothing registered by others is changed.
# shellcheck shell=bash disable=SC2034

wine32_loader=/usr/lib/wine/wine
qemu_i386=/usr/bin/qemu-i386-static
binfmt_dir=/proc/sys/fs/binfmt_misc
# The ELF header of an i386 executable or shared object, with the fields that may vary masked.
i386_magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

wine32_starts() {
  "$wine32_loader" --version >/dev/null 2>&1 </dev/null
}

open_i386_route() {
  local cannot="32-bit programs cannot start here"
  if ! wine32_starts; then
    if [ ! -x "$qemu_i386" ]; then
      i386_problem="$cannot, and qemu-user-static ($qemu_i386) is missing"
      return 1
    fi
    if [ ! -e "$binfmt_dir/register" ] &&
      ! as_root mount -t binfmt_misc binfmt_misc "$binfmt_dir" 2>/dev/null; then
      i386_problem="$cannot, and binfmt_misc cannot be mounted at $binfmt_dir for qemu-user"
      return 1
    fi
    if [ ! -e "$binfmt_dir/qemu-i386" ]; then
      # F: the kernel opens the interpreter now, so that it serves in every mount namespace.
      printf '%s' ":qemu-i386:M::$i386_magic:$i386_mask:$qemu_i386:F" |
        as_root tee "$binfmt_dir/register" >/dev/null 2>&1
    fi
    if ! wine32_starts; then
      i386_problem="$cannot, not even through qemu-user (see $binfmt_dir/qemu-i386)"
      return 1
    fi
  fi
  if grep -qsx enabled "$binfmt_dir/status" && grep -qsx enabled "$binfmt_dir/qemu-i386" &&
    grep -qs "^interpreter .*qemu-i386" "$binfmt_dir/qemu-i386"; then
    i386_route=qemu-user
    # Without it wine cannot map its shared user data at 0x7ffe0000 under qemu.
    export QEMU_RESERVED_VA=0xffff0000
  else
    i386_route=native
  fi
}
