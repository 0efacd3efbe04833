#!/usr/bin/env bash
# Installs what building, the demo and the tests need on Debian 12 or 13
# (as root).
# Safe to run again: it only installs what is missing.
set -euo pipefail

# Names both releases have: clang and libclang-rt-dev are the default
# version's (14 on Debian 12, 19 on Debian 13).
packages=(
  cmake make g++ python3 git ca-certificates
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine64 wine32:i386
  xvfb xauth x11-utils imagemagick xdotool
  googletest
  clang libclang-rt-dev
  locales fonts-wqy-microhei
)

# Wine's 32-bit side is of use only where the host runs 32-bit programs;
# elsewhere the 64-bit loader runs the 64-bit programs alone.
source "$(dirname "$0")/host-32bit.sh"
if host_runs_32bit; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
else
  kept=()
  for p in "${packages[@]}"; do [[ $p == *:i386 ]] || kept+=("$p"); done
  packages=("${kept[@]}")
  echo "setup: this host cannot run 32-bit programs ($HOST_32BIT_WHY): Wine without its 32-bit side"
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  # Waits between tries of the package lists; a test sets it to 0.
  retry_delay=${SETUP_RETRY_DELAY:-20}
  log=$(mktemp)
  trap 'rm -f "$log"' EXIT
  install_missing() {  # [APT-OPTIONS...]
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$@" "${missing[@]}" >"$log" 2>&1
  }
  # Names what could not be installed and quotes the package manager's
  # reasons from the log (its error lines and the dependencies it could not
  # meet); ends setup.
  cannot_install() {  # [WHY]
    {
      echo "setup: could not install ${missing[*]}"
      [ -z "$lists_failed" ] || echo "setup: the package lists did not update: $lists_failed"
      echo "setup: the package manager said:"
      grep -E '^E: |^ *[^ ]+ : (Pre)?Depends: ' "$log" | sed 's/^ */  /' | head -n 12 || true
      [ -z "${1:-}" ] || echo "setup: $1"
    } >&2
    exit 1
  }

  # A mirror caught mid-sync fails one index now and then: try again; if it
  # still fails, the lists may mix suites of different days.
  lists_failed=
  for attempt in 1 2 3; do
    apt-get update -qq >"$log" 2>&1 && { lists_failed=; break; }
    lists_failed=$(grep -m1 '^E: ' "$log" || tail -n 1 "$log")
    echo "setup: package lists incomplete (attempt $attempt of 3): $lists_failed" >&2
    [ "$attempt" = 3 ] || sleep "$retry_delay"
  done
  if ! install_missing; then
    # Mixed lists can offer an update of a Multi-Arch library for one
    # architecture only, and then the install finds no consistent set; the
    # system's own release, preferred over its update suites, is one.
    release=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}") || release=
    [ -n "$release" ] || cannot_install "no release name in /etc/os-release to fall back on"
    echo "setup: the install failed ($(grep -m1 '^E: ' "$log" || tail -n 1 "$log"));" \
         "installing with $release as the target release instead"
    install_missing -t "$release" || cannot_install
  fi
fi

# The Chinese texts show only under a GBK-capable locale.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
  sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
echo "setup: ready"
