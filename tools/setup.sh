#!/usr/bin/env bash
# Installs what building, the demo and the tests need on Debian 12 (as root).
# Safe to run again: it only installs what is missing.
set -euo pipefail

packages=(
  cmake make g++ python3 git ca-certificates
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine64 wine32:i386
  xvfb xauth x11-utils imagemagick xdotool
  googletest
  clang libclang-rt-14-dev
  locales fonts-wqy-microhei
)

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  # A mirror caught mid-sync fails one index now and then: try again, and
  # if it still fails, let the install say whether what it needs is there.
  for attempt in 1 2 3; do
    apt-get update -qq && break
    echo "setup: package lists incomplete (attempt $attempt of 3)" >&2
    [ "$attempt" = 3 ] || sleep 20
  done
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The Chinese texts show only under a GBK-capable locale.
if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
  sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
echo "setup: ready"
