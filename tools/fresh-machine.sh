#!/usr/bin/env bash
# Rehearses a newcomer's first try: makes a bare Debian 12 or 13 root with
# debootstrap (Debian's packages only, from the mirror this machine's apt
# uses), puts a clone of this repository's current commit in it, and runs
# the README's two commands there exactly as written, as root, without a
# display. Prints each command's exit code and wall time; exits non-zero if
# either failed. Takes long (a system, every package, three builds and every
# test): run it by hand, as root, not in CI.
#
#   bash tools/fresh-machine.sh [--reuse] [--keep] [--no-32bit] [12|13] [FOLDER]
#
# 12 (bookworm, the default) or 13 (trixie) names the release.
# FOLDER (default /var/tmp/platterscope-fresh) holds the root (root/) and
# each command's output (demo.log, test.log). By default the root is made
# anew and removed at the end; --keep leaves it for a look inside (chroot
# FOLDER/root); --reuse starts from the root a kept run left, packages and
# all, with a new clone (quicker, but no longer a fresh machine), and keeps
# it. --no-32bit rehearses a host that cannot execute 32-bit x86 programs:
# the commands run in a user namespace whose own binfmt_misc (Linux 6.7 and
# later) hands every i386 program to a stand-in that fails as such a kernel
# does ("Exec format error", exit code 126).
set -euo pipefail

usage="usage: $0 [--reuse] [--keep] [--no-32bit] [12|13] [FOLDER]"
reuse= keep= no32=
while [ $# -gt 0 ]; do
  case $1 in
  --reuse) reuse=1 keep=1 ;;
  --keep) keep=1 ;;
  --no-32bit) no32=1 ;;
  -*) echo "$usage" >&2; exit 2 ;;
  *) break ;;
  esac
  shift
done
release=12
case ${1:-} in
12 | 13) release=$1; shift ;;
[0-9] | [0-9][0-9]) echo "fresh-machine: Debian $1 is not rehearsed, only 12 and 13" >&2; exit 2 ;;
esac
[ $# -le 1 ] || { echo "$usage" >&2; exit 2; }
suite=$( [ "$release" = 12 ] && echo bookworm || echo trixie )
folder=$(realpath -m "${1:-/var/tmp/platterscope-fresh}")
root=$folder/root
repo=$(cd "$(dirname "$0")/.." && pwd)
commit=$(git -C "$repo" rev-parse HEAD)

[ "$(id -u)" = 0 ] || { echo "fresh-machine: run it as root (debootstrap, chroot and mounts need it)" >&2; exit 2; }
if [ -n "$(git -C "$repo" status --porcelain --untracked-files=no)" ]; then
  echo "fresh-machine: note: uncommitted changes are not in the rehearsal; it uses commit $commit"
fi

# The Debian mirror this machine's apt uses for SUITE (one-line or deb822
# sources).
mirror() {  # SUITE
  local suite=$1
  local files=() f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    if [ -f "$f" ]; then files+=("$f"); fi
  done
  [ ${#files[@]} = 0 ] || awk -v suite="$suite" '
    /^deb / { sub(/\[[^]]*\]/, ""); if ($3 == suite) { print $2; exit } }
    /^[Uu][Rr][Ii][Ss]:/ { uris = $2 }
    /^[Ss]uites:/ { for (i = 2; i <= NF; i++) if ($i == suite && uris != "") { print uris; exit } }
    /^$/ { uris = "" }' "${files[@]}" | head -n 1
}
# The release's own, else the one this machine's release comes from (a
# Debian mirror serves every release), else Debian's own.
url=$(mirror "$suite")
[ -n "$url" ] || url=$(mirror "$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")")
url=${url:-http://deb.debian.org/debian}

mounts=()
unmount_all() {
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" || true
  done
  mounts=()
}
# Processes left running inside the root (an X server, a Wine server) hold
# its mounts: they end before the mounts go.
end_processes_inside() {
  local p pids=()
  for p in /proc/[0-9]*; do
    if [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ]; then pids+=("${p#/proc/}"); fi
  done
  if [ ${#pids[@]} = 0 ]; then return 0; fi
  kill "${pids[@]}" 2>/dev/null || true
  sleep 2
  kill -KILL "${pids[@]}" 2>/dev/null || true
}
cleanup() {
  end_processes_inside
  unmount_all
  if [ -z "$keep" ] && [ -d "$root" ]; then
    if findmnt -rn -o TARGET | grep -q "^$root/"; then
      echo "fresh-machine: something is still mounted under $root; not removing it" >&2
    else
      rm -rf --one-file-system "$root"
    fi
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

mkdir -p "$folder"
if [ -n "$no32" ]; then
  # Before the long part: can this kernel rehearse such a host at all?
  bash "$repo/tools/without-32bit.sh" true 2>/dev/null || {
    bash "$repo/tools/without-32bit.sh" true >/dev/null
    echo "fresh-machine: cannot rehearse a host without 32-bit code on this kernel ($(uname -r))" >&2
    exit 1
  }
  echo "fresh-machine: the rehearsed host runs no 32-bit code: the commands run in a user namespace of its own" \
       "where every i386 program fails with 'Exec format error' (tools/without-32bit.sh); 64-bit ones run"
fi
if [ -z "$reuse" ] || [ ! -x "$root/usr/bin/apt-get" ] ||
   ! grep -qx "VERSION_CODENAME=$suite" "$root/etc/os-release" 2>/dev/null; then
  command -v debootstrap >/dev/null || {
    echo "fresh-machine: installing debootstrap"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
  }
  rm -rf --one-file-system "$root"
  echo "fresh-machine: making a bare Debian $release ($suite) root in $root from $url"
  SECONDS=0
  debootstrap "$suite" "$root" "$url" >"$folder/debootstrap.log" 2>&1 || {
    tail -n 20 "$folder/debootstrap.log" >&2
    echo "fresh-machine: debootstrap failed (log: $folder/debootstrap.log)" >&2
    exit 1
  }
  echo "fresh-machine: root made in $((SECONDS / 60)) min $((SECONDS % 60)) s"
fi
cp /etc/resolv.conf "$root/etc/resolv.conf"
# No service a package brings may start inside the root and outlive it.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"

rm -rf "$root/root/platterscope"
git clone -q --no-hardlinks "$repo" "$root/root/platterscope"
git -C "$root/root/platterscope" checkout -q --detach "$commit"
echo "fresh-machine: cloned commit $commit into /root/platterscope"

mount_in() {  # TARGET MOUNT-ARGS...
  local target=$root$1
  shift
  mkdir -p "$target"
  mount "$@" "$target"
  mounts+=("$target")
}
mount_in /proc -t proc proc
mount_in /sys -t sysfs sysfs
mount_in /dev --bind /dev
mount_in /dev/pts --bind /dev/pts
mount_in /dev/shm -t tmpfs -o mode=1777 tmpfs
mount_in /tmp -t tmpfs -o mode=1777 tmpfs

# What each command runs under: the root alone, or that and a host that
# refuses 32-bit programs.
inside=(chroot "$root")
[ -z "$no32" ] || inside=(bash "$repo/tools/without-32bit.sh" chroot "$root")
results=()
failed=0
for command in "bash tools/demo.sh" "bash tools/test.sh"; do
  log=$folder/$(echo "$command" | sed 's|.*/||; s|\.sh.*||').log
  echo "fresh-machine: running '$command' (output in $log)"
  SECONDS=0
  set +e
  "${inside[@]}" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd /root/platterscope && $command" </dev/null >"$log" 2>&1
  code=$?
  set -e
  tail -n 5 "$log" | sed 's/^/  | /'
  results+=("$command: exit code $code, $((SECONDS / 60)) min $((SECONDS % 60)) s")
  [ "$code" = 0 ] || failed=1
  end_processes_inside
done

echo "fresh-machine: results of commit $commit on a bare Debian $release root${no32:+, on a host that runs no 32-bit code}:"
printf '  %s\n' "${results[@]}"
exit "$failed"
