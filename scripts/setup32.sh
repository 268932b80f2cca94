#!/usr/bin/env bash
# Prepares the 32-bit Windows environment: the kernel here runs no 32-bit
# code, so 32-bit Wine runs in a Debian chroot under user-mode emulation.
#
#   bash scripts/setup32.sh            set up (idempotent: a second run only
#                                      checks, mounts what is not mounted and
#                                      registers what is not registered)
#   bash scripts/setup32.sh --mount    only the mounts and the registration
#                                      (after a reboot)
#   bash scripts/setup32.sh --remove   unmount, unregister, delete the chroot
#
# What it makes, all outside the clone except the prefix:
#   $VTL_CHROOT32 (default /var/lib/vantrel/chroot32): Debian bookworm
#     (minbase, amd64) with the i386 architecture and wine32:i386;
#   $VTL_QEMU32 (default /var/lib/vantrel/qemu-i386): qemu-i386 of
#     qemu-user 10 from bookworm-backports, extracted from its package,
#     never installed on the host (7.2 from bookworm is far too slow for
#     Wine);
#   the binfmt_misc handler "vantrel-i386" with the F flag (the kernel
#   opens the interpreter once, so it serves inside the chroot as well);
#   bind mounts into the chroot: /proc, /sys, /dev, /dev/pts, and at their
#   own paths /tmp (where tests keep their files), this clone, and read-only
#   the host's JDKs, locales and Java libraries, so that a path means the
#   same inside and outside and the stand-in runtime runs the host's java;
#   build/wineprefix32: a 32-bit Wine prefix (WINEARCH=win32).
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
CHROOT=${VTL_CHROOT32:-/var/lib/vantrel/chroot32}
QEMU=${VTL_QEMU32:-/var/lib/vantrel/qemu-i386}
PREFIX32=${VTL_WINEPREFIX32:-$ROOT/build/wineprefix32}
BINFMT=/proc/sys/fs/binfmt_misc
HANDLER=vantrel-i386
# Shared at the same path inside the chroot; the first two read-write.
SHARED_RW=(/tmp "$ROOT")
# Debian's JDKs keep their security and logging settings under /etc.
SHARED_RO=(/usr/lib/jvm /usr/lib/locale /usr/share/java /etc/java-*)

say() { echo "setup32: $*"; }
die() { echo "setup32: $*" >&2; exit 1; }

[ "$(id -u)" -eq 0 ] || die "must run as root (chroot, mounts and binfmt_misc need it)"

# The Debian mirror the host already uses for its own release: the line of
# "apt-cache policy" whose suite is the release itself (not -updates or
# -security). Never a host written into this script.
host_mirror() {
  local codename
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
  apt-cache policy 2>/dev/null |
    awk -v s="$codename/main" '$3 == s && $2 ~ /^https?:/ { print $2; exit }'
}

is_mounted() { mountpoint -q "$1" 2>/dev/null; }

# A bind mount keeps the directory it was made from even after that
# directory is deleted: a clone removed and made again at the same path
# would leave the chroot writing into the deleted one (a new prefix made
# there never appears outside). A shared mount whose directory is no longer
# the one at its path is dropped, so the caller mounts the current one.
drop_stale() {
  local dir=$1 mp=$CHROOT$1
  is_mounted "$mp" || return 0
  [ "$(stat -c %d:%i "$dir" 2>/dev/null)" = "$(stat -c %d:%i "$mp" 2>/dev/null)" ] && return 0
  say "$mp shows a directory that is gone from $dir; mounting it again"
  umount "$mp" 2>/dev/null || umount -l "$mp"
}

mount_all() {
  is_mounted "$BINFMT" || mount -t binfmt_misc binfmt_misc "$BINFMT"
  for fs in proc sys dev dev/pts; do
    mkdir -p "$CHROOT/$fs"
    if ! is_mounted "$CHROOT/$fs"; then
      case $fs in
        proc) mount -t proc proc "$CHROOT/proc" ;;
        sys) mount -t sysfs sysfs "$CHROOT/sys" ;;
        dev) mount --bind /dev "$CHROOT/dev" ;;
        dev/pts) mount -t devpts -o newinstance,ptmxmode=0666 devpts "$CHROOT/dev/pts" 2>/dev/null ||
                 mount --bind /dev/pts "$CHROOT/dev/pts" ;;
      esac
    fi
  done
  local dir
  for dir in "${SHARED_RW[@]}"; do
    drop_stale "$dir"
    mkdir -p "$CHROOT$dir"
    is_mounted "$CHROOT$dir" || mount --bind "$dir" "$CHROOT$dir"
  done
  for dir in "${SHARED_RO[@]}"; do
    [ -d "$dir" ] || continue
    drop_stale "$dir"
    mkdir -p "$CHROOT$dir"
    if ! is_mounted "$CHROOT$dir"; then
      mount --bind "$dir" "$CHROOT$dir"
      mount -o remount,bind,ro "$CHROOT$dir"
    fi
  done
}

unmount_all() {
  # Deepest first; only what is a mount point, so nothing is ever stacked
  # or left half-removed.
  local mp
  while read -r mp; do
    umount "$mp" 2>/dev/null || umount -l "$mp"
  done < <(awk -v c="$CHROOT" 'index($2, c "/") == 1 { print $2 }' /proc/self/mounts | sort -r)
}

register_binfmt() {
  local entry=$BINFMT/$HANDLER
  if [ -f "$entry" ]; then
    if grep -qx "interpreter $QEMU" "$entry" && grep -q '^flags: .*F' "$entry"; then
      return 0
    fi
    echo -1 > "$entry"   # another interpreter under our name: replace it
  fi
  # i386 ELF executables (ET_EXEC and ET_DYN), as qemu's own binfmt list has them.
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo ":$HANDLER:M::$magic:$mask:$QEMU:F" > "$BINFMT/register"
  say "registered $QEMU for i386 programs"
}

in_chroot() { chroot "$CHROOT" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
  LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"; }

remove_all() {
  if [ -d "$CHROOT" ]; then
    [ -x "$CHROOT/usr/lib/wine/wineserver32" ] && [ -d "$PREFIX32" ] && is_mounted "$CHROOT/proc" &&
      in_chroot env WINEPREFIX="$PREFIX32" /usr/lib/wine/wineserver32 -k >/dev/null 2>&1 || true
    unmount_all
    if awk -v c="$CHROOT" 'index($2, c "/") == 1 { found = 1 } END { exit !found }' /proc/self/mounts; then
      die "something is still mounted below $CHROOT; not deleting it"
    fi
    rm -rf --one-file-system "$CHROOT"
    rm -f "$CHROOT.debootstrap.log"
    say "removed $CHROOT"
  fi
  [ -f "$BINFMT/$HANDLER" ] && echo -1 > "$BINFMT/$HANDLER" && say "unregistered $HANDLER"
  rm -f "$QEMU"
  rm -rf "$PREFIX32"
  say "removed $QEMU and $PREFIX32"
}

case "${1:-}" in
  --remove) remove_all; exit 0 ;;
  --mount) [ -x "$CHROOT/usr/lib/wine/wine" ] && [ -x "$QEMU" ] || die "not set up yet: run it without --mount"
           mount_all; register_binfmt; exit 0 ;;
  "") ;;
  *) die "unknown option $1 (--mount, --remove or nothing)" ;;
esac

# 1. The chroot. debootstrap is a host package like the compilers.
if [ ! -x "$CHROOT/usr/bin/apt-get" ]; then
  command -v debootstrap >/dev/null || {
    say "installing debootstrap"
    DEBIAN_FRONTEND=noninteractive apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >/dev/null
  }
  MIRROR=$(host_mirror)
  [ -n "$MIRROR" ] || die "no Debian mirror found in the host's apt sources (apt-cache policy)"
  say "debootstrap bookworm from $MIRROR into $CHROOT (about a minute)"
  mkdir -p "$CHROOT"
  # A run cut off half-way leaves a chroot without apt; start it again.
  unmount_all
  rm -rf --one-file-system "${CHROOT:?}"/*
  debootstrap --variant=minbase --arch=amd64 bookworm "$CHROOT" "$MIRROR" > "$CHROOT.debootstrap.log" 2>&1 ||
    die "debootstrap failed; see $CHROOT.debootstrap.log"
  printf 'deb %s bookworm main\ndeb %s bookworm-updates main\ndeb %s bookworm-backports main\n' \
    "$MIRROR" "$MIRROR" "$MIRROR" > "$CHROOT/etc/apt/sources.list"
  # Name resolution inside, for apt.
  cp /etc/resolv.conf "$CHROOT/etc/resolv.conf" 2>/dev/null || true
fi

mount_all

# 2. qemu-i386 10 from backports, taken out of its package.
if [ ! -x "$QEMU" ]; then
  say "fetching qemu-user from bookworm-backports"
  in_chroot dpkg --add-architecture i386
  in_chroot apt-get update -qq
  in_chroot sh -c 'rm -rf /root/qemu && mkdir -p /root/qemu && cd /root/qemu &&
    apt-get -o APT::Sandbox::User=root download -qq -t bookworm-backports qemu-user >/dev/null && dpkg-deb -x qemu-user_*.deb x'
  mkdir -p "$(dirname "$QEMU")"
  cp "$CHROOT/root/qemu/x/usr/bin/qemu-i386" "$QEMU.part"
  chmod 755 "$QEMU.part"
  mv "$QEMU.part" "$QEMU"
  rm -rf "$CHROOT/root/qemu"
  "$QEMU" --version | head -n 1 | sed 's/^/setup32: /'
fi
register_binfmt

# 3. 32-bit Wine inside.
if [ ! -x "$CHROOT/usr/lib/wine/wine" ]; then
  say "installing wine32:i386 in the chroot (about 760 MB)"
  in_chroot dpkg --add-architecture i386
  in_chroot apt-get update -qq
  in_chroot apt-get install -y -qq --no-install-recommends wine wine32:i386 >/dev/null ||
    die "could not install wine32 in the chroot"
  in_chroot apt-get clean
  rm -rf "$CHROOT"/var/lib/apt/lists/*   # 140 MB; a later install fetches them again
fi

# 4. The 32-bit prefix.
if [ ! -f "$PREFIX32/system.reg" ]; then
  say "creating the 32-bit prefix $PREFIX32 (about half a minute)"
  mkdir -p "$PREFIX32"
  in_chroot env WINEPREFIX="$PREFIX32" WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" \
    wineboot -i </dev/null >/dev/null 2>&1 || true
  in_chroot env WINEPREFIX="$PREFIX32" /usr/lib/wine/wineserver32 -w </dev/null >/dev/null 2>&1 || true
  [ -f "$PREFIX32/system.reg" ] || die "the 32-bit prefix did not come up"
fi
say "ready: chroot $CHROOT, prefix $PREFIX32"
