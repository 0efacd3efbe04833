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

# Runs COMMAND... in a user and mount namespace of its own, its ids mapped
# one to one onto this one's (so that apt, dpkg and chown work as they do for
# root), whose binfmt_misc, mounted at MOUNT-POINT, gives every i386 ELF
# program (executable or shared object, so the 32-bit loader too) to a
# stand-in that refuses it. Before COMMAND it makes sure that a 32-bit
# program fails there and a 64-bit one runs; where the kernel will not, it
# says so in one line and fails.
without_32bit() {  # MOUNT-POINT COMMAND...
  local pid map wait
  # An i386 program that only exits 0 (a 52-byte ELF header, one program
  # header, then mov eax,1; xor ebx,ebx; int 0x80).
  printf %b '\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x03\0\x01\0\0\0\x54\x80\x04\x08' \
    '\x34\0\0\0\0\0\0\0\0\0\0\0\x34\0\x20\0\x01\0\0\0\0\0\0\0' \
    '\x01\0\0\0\0\0\0\0\0\x80\x04\x08\0\x80\x04\x08\x5d\0\0\0\x5d\0\0\0\x05\0\0\0\0\x10\0\0' \
    '\xb8\x01\0\0\0\x31\xdb\xcd\x80' >"$folder/exit0-i386"
  # The stand-in: a script run through env -S, as binfmt_misc's F flag opens
  # it here once and nothing inside the root needs to find it by name.
  printf '%s\n' "#!/usr/bin/env -S sh -c 'echo \"\$1: Exec format error (this rehearsal refuses 32-bit programs)\" >&2; exit 126'" \
    >"$folder/refuse-32bit"
  chmod 755 "$folder/exit0-i386" "$folder/refuse-32bit"
  unshare --user --mount -- bash -c '
    for wait in $(seq 200); do
      read -r map </proc/self/gid_map && [ -n "$map" ] && break
      sleep 0.05
    done
    [ -n "$map" ] || { echo "fresh-machine: the namespace got no id mapping" >&2; exit 125; }
    folder=$1 mnt=$2
    shift 2
    why=$(mount -t binfmt_misc binfmt_misc "$mnt" 2>&1) || {
      echo "fresh-machine: this kernel ($(uname -r)) gives a user namespace no binfmt_misc of its own (Linux 6.7 and later do; ${why:-mount failed}): cannot rehearse a host without 32-bit code" >&2
      exit 125
    }
    # ELF, 32-bit, little-endian, version 1, any ABI; ET_EXEC or ET_DYN; EM_386.
    magic="\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00"
    mask="\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\xfe\\xff\\xff\\xff"
    printf "%s" ":i386:M::$magic:$mask:$folder/refuse-32bit:F" >"$mnt/register" || {
      echo "fresh-machine: the namespace'"'"'s binfmt_misc takes no entry for i386 programs" >&2
      exit 125
    }
    refused=$("$folder/exit0-i386" 2>&1) && refused="ran and exited 0"
    case $refused in
    *"this rehearsal refuses 32-bit programs"*) ;;
    *) echo "fresh-machine: a 32-bit program is not refused in the namespace: $refused" >&2; exit 125 ;;
    esac
    /bin/true || { echo "fresh-machine: a 64-bit program does not run in the namespace" >&2; exit 125; }
    exec "$@"' without-32bit "$folder" "$@" &
  pid=$!
  # The maps can be written once the child is in its namespace.
  for wait in $(seq 200); do
    [ "$(readlink "/proc/$pid/ns/user" 2>/dev/null)" = "$(readlink /proc/self/ns/user)" ] || break
    sleep 0.05
  done
  if ! kill -0 "$pid" 2>/dev/null || [ "$(readlink "/proc/$pid/ns/user")" = "$(readlink /proc/self/ns/user)" ]; then
    wait "$pid" 2>/dev/null
    echo "fresh-machine: this kernel refuses a user namespace: cannot rehearse a host without 32-bit code" >&2
    return 125
  fi
  map=$(awk '{ print $1, $1, $3 }' /proc/self/uid_map) && echo "$map" >"/proc/$pid/uid_map" &&
    map=$(awk '{ print $1, $1, $3 }' /proc/self/gid_map) && echo "$map" >"/proc/$pid/gid_map" || {
    kill "$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
    echo "fresh-machine: cannot map the user namespace's ids onto this one's: cannot rehearse a host without 32-bit code" >&2
    return 125
  }
  wait "$pid"
}

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
  mkdir -p "$folder/binfmt_misc"
  without_32bit "$folder/binfmt_misc" true || exit 1
  echo "fresh-machine: the rehearsed host runs no 32-bit code: in a user namespace of its own, every i386 program fails with 'Exec format error' (exit code 126); 64-bit ones run"
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
[ -z "$no32" ] || inside=(without_32bit "$root/proc/sys/fs/binfmt_misc" chroot "$root")
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
