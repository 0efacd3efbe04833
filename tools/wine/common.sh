# Shared by run-in-prefix.sh, e2e.sh, the simulated-disk driver's install,
# the demo and the benchmark (sourced, not run).

source "$(dirname "${BASH_SOURCE[0]}")/../host-32bit.sh"
# WINE_LOADER is the loader the scripts start Windows programs with. Where
# this host runs 32-bit code it is Wine's own `wine`, which starts 32-bit and
# 64-bit programs alike. Where it does not, `wine` fails ("Exec format
# error") and the 64-bit loader runs 64-bit programs, in 64-bit-only
# prefixes; then WINE_NO_32BIT says why no 32-bit program can run ("" where
# they can). WINE64_LOADER is the 64-bit loader, which the simulated-disk
# driver's service needs on every host.
WINE64_LOADER=/usr/lib/wine/wine64
[ -x "$WINE64_LOADER" ] || WINE64_LOADER=$(command -v wine64 || echo /usr/lib/wine/wine64)
if host_runs_32bit; then
    WINE_LOADER=wine
    WINE_NO_32BIT=
else
    WINE_LOADER=$WINE64_LOADER
    WINE_NO_32BIT="this host cannot run 32-bit programs ($HOST_32BIT_WHY)"
fi
export WINE_LOADER

# WINE starts WINE_LOADER, and wine64 the 64-bit loader, through loader.sh,
# without address-space randomization (see there why), where the system lets
# a process ask for that; where it does not (a container's seccomp filter,
# say), directly.
WINE=$WINE_LOADER
WINE_FIXED_LAYOUT=
if setarch "$(uname -m)" -R true 2>/dev/null; then
    WINE_FIXED_LAYOUT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/loader.sh
    WINE=$WINE_FIXED_LAYOUT
fi
wine64() {
    if [ -n "$WINE_FIXED_LAYOUT" ]; then
        WINE_LOADER=$WINE64_LOADER "$WINE_FIXED_LAYOUT" "$@"
    else
        "$WINE64_LOADER" "$@"
    fi
}

# The width of a Windows program, from its PE header: 32, 64, or "" when
# the file is no Windows program.
wine_exe_bits() {  # EXE
    local pe machine
    pe=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') && [ -n "$pe" ] || return 0
    machine=$(od -An -tx2 -j$((pe + 4)) -N2 "$1" 2>/dev/null | tr -d ' ')
    case $machine in 014c) echo 32 ;; 8664) echo 64 ;; esac
}

# Ends the calling script as skipped (exit code 77, which ctest reports as
# such) when EXE is a 32-bit program and this host cannot run one: such a
# test is never counted as passed.
wine_skip_unless_runnable() {  # EXE
    if [ -n "$WINE_NO_32BIT" ] && [ "$(wine_exe_bits "$1")" = 32 ]; then
        echo "SKIPPED: $WINE_NO_32BIT" >&2
        echo "(it would run $(basename "$1"), a 32-bit program)" >&2
        exit 77
    fi
}

# The Windows system folders are large (over 1 GB) and nothing under test
# writes to them, so a prefix copy hard-links them; everything else (the
# registry, user folders, win.ini) is copied so that no run can change the
# template.
wine_copy_template() {
    local template=$1 prefix=$2
    local shared=(drive_c/windows/system32 drive_c/windows/syswow64 drive_c/windows/winsxs)
    if [ ! -f "$template/system.reg" ]; then
        # A machine that cannot run Wine at all makes no templates, and one
        # that cannot run 32-bit programs no 9x template (that family is
        # 32-bit only); a test that needs one is then skipped, never counted
        # as passed.
        local why
        for why in "$template.unavailable" "$(dirname "$template")/unavailable"; do
            if [ -f "$why" ]; then
                echo "SKIPPED: $(cat "$why")" >&2
                exit 77
            fi
        done
        echo "no Wine template at $template (run tools/wine/make-templates.sh first)" >&2
        return 1
    fi
    mkdir -p "$prefix" || return 1
    local excludes=() tree
    for tree in "${shared[@]}"; do excludes+=("--exclude=./$tree"); done
    tar -C "$template" "${excludes[@]}" -cf - . | tar -C "$prefix" -xf - || return 1
    for tree in "${shared[@]}"; do
        if [ -d "$template/$tree" ]; then
            cp -al "$template/$tree" "$prefix/$(dirname "$tree")/" || return 1
        fi
    done
    # Debian's Wine names in ./wineserver a folder under /tmp for the prefix's
    # wine server directories, each named after its prefix folder's inode.
    # Copied from the template, that folder is shared by every copy, and a new
    # copy on the inode of a removed one met that copy's leftovers: its
    # explorer could fail to start, and no window be made. Each copy gets a
    # folder of its own, made here before any wine process can race for it.
    local own
    own=$(mktemp -d "${TMPDIR:-/tmp}/wine-XXXXXX") || return 1
    rm -f "$prefix/wineserver"
    printf '%s' "$(basename "$own")" >"$prefix/wineserver" && chmod 400 "$prefix/wineserver"
}

# Removes the folder under /tmp that a copy made by wine_copy_template uses
# for its wine server; call it once that server has ended.
wine_remove_server_dir() {
    local name
    name=$(cat "$1/wineserver" 2>/dev/null) || return 0
    case $name in wine-?*) [[ $name == */* ]] || rm -rf "${TMPDIR:-/tmp}/$name" ;; esac
}

# The program's Chinese texts need a locale whose code page Wine maps to 936.
wine_check_locale() {
    if ! locale -a 2>/dev/null | grep -qix 'zh_CN.utf-\?8'; then
        echo "the zh_CN.UTF-8 locale is missing: apt-get install -y locales; then" \
             "sed -i 's/^# *zh_CN.UTF-8 UTF-8/zh_CN.UTF-8 UTF-8/' /etc/locale.gen; locale-gen" >&2
        return 1
    fi
}

# Starts a private Xvfb server; Xvfb picks a free display number itself
# (-displayfd), so parallel runs never race for one. Sets DISPLAY and
# WINE_XVFB_PID. DIR receives the server's log.
wine_start_xvfb() {
    local dir=$1
    local number_file="$dir/xvfb.display"
    rm -f "$number_file"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$number_file" >"$dir/xvfb.log" 2>&1 &
    WINE_XVFB_PID=$!
    local tries=0
    while [ ! -s "$number_file" ]; do
        if ! kill -0 "$WINE_XVFB_PID" 2>/dev/null || [ $tries -ge 200 ]; then
            echo "Xvfb did not start:" >&2
            cat "$dir/xvfb.log" >&2
            return 1
        fi
        sleep 0.05
        tries=$((tries + 1))
    done
    export DISPLAY=":$(tr -d '[:space:]' <"$number_file")"
}

wine_stop_xvfb() {
    if [ -n "${WINE_XVFB_PID:-}" ]; then
        kill "$WINE_XVFB_PID" 2>/dev/null
        wait "$WINE_XVFB_PID" 2>/dev/null
        WINE_XVFB_PID=
    fi
}

# The one test of "the window is up" that the scripts share: the harness's
# wait-window, a visible top-level window with exactly that caption as Wine's
# own window state has it. An X client's view is not the same: the X window
# of a program that has just ended stays mapped until the X server has taken
# down that program's connection, so a program started right after it could
# be taken for up before it had a window at all.
# wine_wait_window HARNESS CAPTION TIMEOUT_MS PID
#   0 once the window is up; 1 when it is not up within TIMEOUT_MS; 2 as soon
#   as process PID (the program, started in the background) has ended first:
#   it is reaped and its exit code left in WINE_EXIT_CODE.
wine_wait_window() {
    local harness=$1 caption=$2 timeout=$3 pid=$4 waiter
    "$WINE" "$harness" wait-window "$caption" "$timeout" </dev/null >/dev/null &
    waiter=$!
    while kill -0 "$waiter" 2>/dev/null; do
        if ! kill -0 "$pid" 2>/dev/null; then
            kill "$waiter" 2>/dev/null
            wait "$waiter" 2>/dev/null
            WINE_EXIT_CODE=0
            wait "$pid" || WINE_EXIT_CODE=$?
            return 2
        fi
        sleep 0.005
    done
    wait "$waiter" && return 0
    return 1
}
