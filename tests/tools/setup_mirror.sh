#!/usr/bin/env bash
# tools/setup.sh against a mirror that lags: stand-ins for the package tools
# first on PATH, so that nothing is installed or written outside a scratch
# folder. Cases: lists that never update and an install that finds no
# consistent set unless given a target release (setup recovers); a mirror
# where every try fails (setup names what and why, and fails); nothing
# missing (the package manager is not asked at all).
set -uo pipefail
setup=$(cd "$(dirname "$0")/../.." && pwd)/tools/setup.sh
release=$(. /etc/os-release 2>/dev/null && echo "${VERSION_CODENAME:-}")
if [ -z "$release" ]; then
    echo "skipped: /etc/os-release names no release for setup to fall back on"
    exit 77
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
bin=$scratch/bin
mkdir "$bin"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# apt-get as the lagging mirror served it. FAKE_INSTALL=target-release: the
# install works only with -t; anything else: it never works.
cat >"$bin/apt-get" <<'STUB'
#!/usr/bin/env bash
echo "apt-get $*" >>"$FAKE_LOG"
case " $* " in
*" update "*)
    echo "E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (40176 != 40468). Mirror sync in progress? [IP: 151.101.2.132 80]" >&2
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead." >&2
    exit 100 ;;
*" install "*)
    if [ "$FAKE_INSTALL" = target-release ] && [[ " $* " == *" -t "* ]]; then exit 0; fi
    echo "The following packages have unmet dependencies:"
    echo " libwine:i386 : Depends: libssl3:i386 (>= 3.0.0) but it is not going to be installed"
    echo "E: Unable to correct problems, you have held broken packages." >&2
    exit 100 ;;
esac
echo "UNEXPECTED apt-get $*" >>"$FAKE_LOG"; exit 99
STUB
# dpkg-query: every package installed but those in FAKE_MISSING.
cat >"$bin/dpkg-query" <<'STUB'
#!/usr/bin/env bash
package=${!#}
for p in $FAKE_MISSING; do
    [ "$p" != "$package" ] || { echo "dpkg-query: no packages found matching $package" >&2; exit 1; }
done
printf 'install ok installed'
STUB
# The architecture and the locale are there already; anything that would
# change the system is recorded as unexpected.
cat >"$bin/dpkg" <<'STUB'
#!/usr/bin/env bash
[ "$*" = --print-foreign-architectures ] && { echo i386; exit 0; }
echo "UNEXPECTED dpkg $*" >>"$FAKE_LOG"; exit 99
STUB
cat >"$bin/locale" <<'STUB'
#!/usr/bin/env bash
[ "$*" = -a ] && { printf 'C\nC.utf8\nPOSIX\nzh_CN.utf8\n'; exit 0; }
echo "UNEXPECTED locale $*" >>"$FAKE_LOG"; exit 99
STUB
cat >"$bin/locale-gen" <<'STUB'
#!/usr/bin/env bash
echo "UNEXPECTED locale-gen $*" >>"$FAKE_LOG"; exit 99
STUB
chmod +x "$bin"/*

# Runs setup with the stand-ins; leaves its exit code in CODE, what it
# printed in OUT and the tools' calls in CALLS.
run_setup() {  # CASE MISSING INSTALL
    export FAKE_LOG=$scratch/$1.calls FAKE_MISSING=$2 FAKE_INSTALL=$3
    : >"$FAKE_LOG"
    # As on a host that runs 32-bit programs, whichever this one is.
    OUT=$(PATH="$bin:$PATH" SETUP_RETRY_DELAY=0 HOST_32BIT_ANSWER=yes bash "$setup" 2>&1)
    CODE=$?
    CALLS=$(cat "$FAKE_LOG")
    if grep -q UNEXPECTED <<<"$CALLS"; then fail "$1: setup called $(grep UNEXPECTED <<<"$CALLS")"; fi
}

# The lagging mirror: lists fail on every try, the install finds held broken
# packages until it is given the system's release as target release.
run_setup lagging "wine32:i386 xdotool" target-release
[ "$CODE" = 0 ] || fail "lagging: setup ended with $CODE instead of recovering: $OUT"
[ "$(grep -c '^apt-get update' <<<"$CALLS")" = 3 ] || fail "lagging: the lists were not tried three times: $CALLS"
grep -qx "setup: the install failed (E: Unable to correct problems, you have held broken packages.); installing with $release as the target release instead" <<<"$OUT" ||
    fail "lagging: no notice of the fallback naming apt's reason and $release: $OUT"
last_install=$(grep '^apt-get install' <<<"$CALLS" | tail -n 1)
[[ "$last_install" == *" -t $release wine32:i386 xdotool" ]] ||
    fail "lagging: the fallback install was not of just the missing packages with -t $release: $last_install"
grep -qx "setup: ready" <<<"$OUT" || fail "lagging: setup did not finish: $OUT"

# Every try fails: setup says what it could not install and why, in the
# package manager's own words, and fails.
run_setup broken "wine32:i386 xdotool" never
[ "$CODE" != 0 ] || fail "broken: setup ended with 0 though nothing could be installed: $OUT"
for line in "setup: could not install wine32:i386 xdotool" \
            "  E: Unable to correct problems, you have held broken packages." \
            "  libwine:i386 : Depends: libssl3:i386 (>= 3.0.0) but it is not going to be installed"; do
    grep -qxF -- "$line" <<<"$OUT" || fail "broken: setup did not say \"$line\": $OUT"
done
grep -q "^setup: the package lists did not update: E: Failed to fetch .*Mirror sync in progress?" <<<"$OUT" ||
    fail "broken: setup did not quote why the lists failed: $OUT"
! grep -q "setup: ready" <<<"$OUT" || fail "broken: setup said it was ready: $OUT"

# A second run on a machine that has everything asks the package manager
# nothing.
run_setup again "" never
[ "$CODE" = 0 ] || fail "again: setup ended with $CODE: $OUT"
[ -z "$CALLS" ] || fail "again: setup called the package manager with nothing missing: $CALLS"

[ "$failures" = 0 ] || exit 1
echo "setup recovers from a lagging mirror, reports one it cannot, and installs nothing twice"
