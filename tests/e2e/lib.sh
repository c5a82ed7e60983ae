# Helpers for the end-to-end tests of the real programs under Wine. Source it at the top of a
# tests/e2e/*_test.sh, then call e2e_start:
#
#   source "$(dirname "$0")/lib.sh"
#   e2e_start
#   e2e_run_bg app "$DRAVNIK_WINDOWS_BUILD/dravnik.exe" some-arg
#   e2e_driver msgbox ':-(' ok
#   e2e_wait app 30
#
# Every test gets its own Wine prefix (a copy of the run's template), its own Xvfb display and
# its own temporary folder E2E_TMP; all of it is cleaned up on every exit path. A watchdog ends
# a hung test after E2E_TIMEOUT seconds (480 × E2E_SLOW). Set E2E_KEEP=1 to keep E2E_TMP.
#
# Time: the programs reach their states on their own time, so every check of a state is a
# bounded poll that ends as soon as the state is there (E2E_WAIT at most), and every check that
# something does not happen watches for a named quiet period (E2E_QUIET). Any number of seconds
# a test or a helper names is meant for an unloaded machine; E2E_SLOW (default 1, may be
# fractional) multiplies all of them, the watchdog and the driver's own limits included:
#   E2E_SLOW=3 ctest -L e2e
#
# Environment (CTest sets it): DRAVNIK_SOURCE_DIR, DRAVNIK_NATIVE_BUILD, DRAVNIK_WINDOWS_BUILD,
# DRAVNIK_E2E_TEMPLATE (defaults to $DRAVNIK_NATIVE_BUILD/e2e-prefix-template).

set -euo pipefail

: "${DRAVNIK_SOURCE_DIR:=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}"
: "${DRAVNIK_NATIVE_BUILD:=$DRAVNIK_SOURCE_DIR/build/native}"
: "${DRAVNIK_WINDOWS_BUILD:=$DRAVNIK_SOURCE_DIR/build/windows}"
: "${DRAVNIK_E2E_TEMPLATE:=$DRAVNIK_NATIVE_BUILD/e2e-prefix-template}"
export DRAVNIK_SOURCE_DIR DRAVNIK_NATIVE_BUILD DRAVNIK_WINDOWS_BUILD

# ---------------------------------------------------------------------------------------------
# Time

: "${E2E_SLOW:=1}"
if ! [[ $E2E_SLOW =~ ^[0-9]*([.][0-9]+)?$ ]] || ! [[ $E2E_SLOW =~ [1-9] ]]; then
    echo "E2E_SLOW must be a positive number, not [$E2E_SLOW]" >&2
    exit 2
fi

# Seconds (decimal, "2.5") -> whole milliseconds.
e2e_millis() {
    local value=$1 whole fraction=""
    whole=${value%%.*}
    [[ $value == *.* ]] && fraction=${value#*.}
    fraction="${fraction}000"
    echo $((10#${whole:-0} * 1000 + 10#${fraction:0:3}))
}

E2E_SLOW_MILLIS=$(e2e_millis "$E2E_SLOW")  # the factor, times 1000

# Milliseconds that SECONDS (for an unloaded machine) stand for on this one.
e2e_scaled_millis() {
    echo $(($(e2e_millis "$1") * E2E_SLOW_MILLIS / 1000))
}

# Prints SECONDS (for an unloaded machine) times E2E_SLOW, e.g. for a command's own limit.
e2e_secs() {
    local millis
    millis=$(e2e_scaled_millis "$1")
    printf '%d.%03d\n' $((millis / 1000)) $((millis % 1000))
}

# The longest any state may take to come (a window, a text, a file, a program's end), and the
# time a check that something does not happen watches for it. The driver takes both from the
# environment as its defaults, and multiplies the limits it is given by E2E_SLOW.
E2E_WAIT_SECONDS=60
E2E_QUIET_SECONDS=3
E2E_WAIT=$(e2e_secs "$E2E_WAIT_SECONDS")
E2E_QUIET=$(e2e_secs "$E2E_QUIET_SECONDS")
: "${E2E_TIMEOUT:=$(($(e2e_scaled_millis 480) / 1000))}"
export E2E_SLOW E2E_WAIT E2E_QUIET

# The clock in milliseconds (EPOCHREALTIME's separator follows the locale: keep the digits).
e2e_now_millis() {
    local now=${EPOCHREALTIME//[!0-9]/}
    echo $((10#$now / 1000))
}

E2E_DRIVER="$DRAVNIK_WINDOWS_BUILD/e2e_driver.exe"
E2E_SKIP_CODE=77
E2E_NAME=$(basename "$0" .sh)
E2E_TMP=""
E2E_XVFB_PID=""
E2E_WATCHDOG_PID=""
E2E_MOUNTS=()
declare -gA E2E_PIDS=()
E2E_STATUS=0

# ---------------------------------------------------------------------------------------------
# Reporting

e2e_log() { echo "[$E2E_NAME] $*" >&2; }

# Fails the test with a message (and a screenshot of the display in E2E_TMP).
e2e_fail() {
    echo "[$E2E_NAME] FAIL: $*" >&2
    exit 1
}

# Ends the test as skipped (CTest shows it as "Not Run"), for a fault the machine cannot make.
e2e_skip() {
    echo "[$E2E_NAME] SKIPPED: $*" >&2
    exit "$E2E_SKIP_CODE"
}

# ---------------------------------------------------------------------------------------------
# Start and clean-up

e2e_cleanup() {
    local status=$?
    trap - EXIT TERM INT HUP
    # When CTest itself was killed, its pipes are gone: a report written there must not end the
    # clean-up (the display and the Wine server would stay behind).
    trap '' PIPE
    set +e
    if [ -n "$E2E_WATCHDOG_PID" ]; then
        kill "$E2E_WATCHDOG_PID" 2>/dev/null
        wait "$E2E_WATCHDOG_PID" 2>/dev/null
    fi
    if [ -n "$E2E_TMP" ] && [ -f "$E2E_TMP/timed-out" ]; then
        echo "[$E2E_NAME] FAIL: timed out after $E2E_TIMEOUT s" >&2
        status=1
    fi
    if [ "$status" -ne 0 ] && [ "$status" -ne "$E2E_SKIP_CODE" ] && [ -n "$E2E_TMP" ]; then
        e2e_dump_state
    fi
    if [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ]; then
        wineserver -k >/dev/null 2>&1
        timeout "$(e2e_secs 20)" wineserver -w >/dev/null 2>&1
    fi
    local pid
    for pid in "${E2E_PIDS[@]}"; do
        kill "$pid" 2>/dev/null
    done
    if [ -n "$E2E_XVFB_PID" ]; then
        kill "$E2E_XVFB_PID" 2>/dev/null
        wait "$E2E_XVFB_PID" 2>/dev/null
    fi
    local mount_point
    for mount_point in "${E2E_MOUNTS[@]}"; do
        umount "$mount_point" 2>/dev/null || umount -l "$mount_point" 2>/dev/null
    done
    if [ -n "$E2E_TMP" ] && [ -d "$E2E_TMP" ]; then
        rm -rf "$E2E_TMP/prefix"
        if [ "$status" -eq 0 ] || [ "$status" -eq "$E2E_SKIP_CODE" ]; then
            [ "${E2E_KEEP:-0}" = 1 ] || rm -rf "$E2E_TMP"
        else
            echo "[$E2E_NAME] logs kept in $E2E_TMP" >&2
        fi
    fi
    exit "$status"
}

# On failure: the program logs, the windows on the display and a screenshot.
e2e_dump_state() {
    local log
    for log in "$E2E_TMP"/*.log; do
        [ -s "$log" ] || continue
        echo "----- $(basename "$log") (last lines)" >&2
        tail -n 20 "$log" >&2
    done
    if [ -n "${DISPLAY:-}" ] && [ -n "$E2E_XVFB_PID" ]; then
        echo "----- windows on the display" >&2
        timeout "$(e2e_secs 15)" wine "$E2E_DRIVER" windows 2>/dev/null >&2
        if command -v import >/dev/null; then
            timeout "$(e2e_secs 15)" import -display "$DISPLAY" -window root "$E2E_TMP/failure.png" 2>/dev/null &&
                echo "[$E2E_NAME] screenshot: $E2E_TMP/failure.png" >&2
        fi
    fi
}

e2e_on_signal() {
    exit 1
}

# Prepares the test: temporary folder, own Wine prefix, own Xvfb display, environment, watchdog.
e2e_start() {
    E2E_TMP=$(mktemp -d "/tmp/dravnik-e2e.$E2E_NAME.XXXXXX")
    trap e2e_cleanup EXIT
    trap e2e_on_signal TERM INT HUP
    [ -x "$(command -v wine)" ] || e2e_fail "wine is not installed (scripts/setup installs it)"
    [ -f "$E2E_DRIVER" ] || e2e_fail "no test driver at $E2E_DRIVER (build the Windows side)"
    [ -f "$DRAVNIK_E2E_TEMPLATE/system.reg" ] ||
        e2e_fail "no Wine prefix template at $DRAVNIK_E2E_TEMPLATE; run the tests through ctest (its e2e_prefix_template test makes it) or tests/e2e/make_prefix_template.sh"

    # Hard links: the template's files are only read. The registry files are real copies, so
    # that a test's registry change can never reach the template, whatever way Wine saves them.
    cp -a --link "$DRAVNIK_E2E_TEMPLATE" "$E2E_TMP/prefix"
    local reg
    for reg in "$DRAVNIK_E2E_TEMPLATE"/*.reg; do
        cp --remove-destination -p "$reg" "$E2E_TMP/prefix/${reg##*/}"
    done
    export WINEPREFIX="$E2E_TMP/prefix"
    export WINEDEBUG=-all LC_ALL=ru_RU.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
    unset WAYLAND_DISPLAY

    # Xvfb picks a free display number itself and writes it to the given descriptor.
    local display_file="$E2E_TMP/display"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" \
        </dev/null >"$E2E_TMP/xvfb.log" 2>&1 &
    E2E_XVFB_PID=$!
    local i deadline
    deadline=$(($(e2e_now_millis) + $(e2e_scaled_millis 10)))
    until [ -s "$display_file" ]; do
        kill -0 "$E2E_XVFB_PID" 2>/dev/null || e2e_fail "Xvfb did not start: $(cat "$E2E_TMP/xvfb.log")"
        [ "$(e2e_now_millis)" -lt "$deadline" ] || e2e_fail "Xvfb gave no display number"
        sleep 0.1
    done
    export DISPLAY=":$(tr -d '\n' <"$display_file")"

    (
        for ((i = 0; i < E2E_TIMEOUT; i++)); do sleep 1; done
        touch "$E2E_TMP/timed-out"
        wineserver -k
        kill -TERM $$
    ) </dev/null >/dev/null 2>&1 &
    E2E_WATCHDOG_PID=$!

    # The first program of a prefix starts Wine's helper processes (desktop, services), which
    # keep the output descriptors of the program that started them. Start the server and the
    # helpers now with their output in logs, and keep them up with an idle driver, so that they
    # never hold the output pipe of a test's command substitution open.
    wineserver -p </dev/null >"$E2E_TMP/wineserver.log" 2>&1
    wine "$E2E_DRIVER" idle "$E2E_TIMEOUT" </dev/null >"$E2E_TMP/wine-idle.log" 2>&1 &
    E2E_PIDS[e2e_idle]=$!
    # The prefix is ready once a program runs to its end in it; on a crowded machine the first
    # start, racing the helpers' start, has ended at once with an error and no word.
    local status
    deadline=$(($(e2e_now_millis) + $(e2e_scaled_millis "$E2E_WAIT_SECONDS")))
    until wine "$E2E_DRIVER" windows </dev/null >>"$E2E_TMP/wine-start.log" 2>&1; do
        status=$?
        echo "(exit $status)" >>"$E2E_TMP/wine-start.log"
        [ "$(e2e_now_millis)" -lt "$deadline" ] ||
            e2e_fail "Wine does not start programs in $WINEPREFIX: $(cat "$E2E_TMP/wine-start.log")"
        sleep 0.5
    done
    if grep -q '^(exit' "$E2E_TMP/wine-start.log"; then
        e2e_log "the first program start in the prefix failed, then one ran: $(tr '\n' ' ' <"$E2E_TMP/wine-start.log")"
    fi
    e2e_log "prefix $WINEPREFIX, display $DISPLAY, E2E_SLOW=$E2E_SLOW (waits up to $E2E_WAIT s, quiet periods $E2E_QUIET s, watchdog $E2E_TIMEOUT s)"
}

# ---------------------------------------------------------------------------------------------
# Paths

# Linux path -> the Windows path under Wine's Z: drive ("/tmp/a b" -> "Z:\tmp\a b").
e2e_winpath() {
    local path=$1
    [[ $path = /* ]] || path="$PWD/$path"
    path=${path//\//\\}
    printf 'Z:%s\n' "$path"
}

# Windows path (C: inside the prefix, or Z:) -> Linux path.
e2e_unixpath() {
    local path=$1 rest
    rest=${path:2}
    rest=${rest//\\//}
    case ${path:0:2} in
        [Cc]:) printf '%s/drive_c%s\n' "$WINEPREFIX" "$rest" ;;
        [Zz]:) printf '%s\n' "${rest:-/}" ;;
        *) e2e_fail "e2e_unixpath: not a C: or Z: path: $path" ;;
    esac
}

# The temporary folder as Windows programs see it, as a Linux path (no trailing slash).
e2e_temp_dir() {
    local win
    win=$(e2e_driver temp-path)
    win=${win%\\}
    e2e_unixpath "$win"
}

# Points the temporary folder of the programs started afterwards to DIR (a Linux path).
e2e_set_temp_dir() {
    mkdir -p "$1"
    local win
    win=$(e2e_winpath "$1")
    wine reg add 'HKCU\Environment' /v TEMP /d "$win" /f >/dev/null 2>&1
    wine reg add 'HKCU\Environment' /v TMP /d "$win" /f >/dev/null 2>&1
    export TEMP="$win" TMP="$win"
}

# ---------------------------------------------------------------------------------------------
# Programs

# Starts a Windows program in the background under NAME; its output goes to E2E_TMP/NAME.log.
#   e2e_run_bg NAME PROGRAM [ARGS...]
e2e_run_bg() {
    local name=$1
    shift
    wine "$@" </dev/null >"$E2E_TMP/$name.log" 2>&1 &
    E2E_PIDS[$name]=$!
}

# True when the program started as NAME has ended (or was never started).
e2e_ended() {
    local pid=${E2E_PIDS[$1]:-}
    [ -z "$pid" ] || ! kill -0 "$pid" 2>/dev/null
}

# Waits up to SECS (default E2E_WAIT) for the program started as NAME to end; sets E2E_STATUS
# to its exit code. Fails the test when it is still running.
e2e_wait() {
    local name=$1 seconds=${2:-$E2E_WAIT_SECONDS} pid
    pid=${E2E_PIDS[$name]:?no program $name was started}
    e2e_poll "$seconds" e2e_ended "$name" ||
        e2e_fail "$name still runs after $(e2e_secs "$seconds") s"
    E2E_STATUS=0
    wait "$pid" || E2E_STATUS=$?
    unset "E2E_PIDS[$name]"
}

# Runs a Windows program to its end (at most SECS); sets E2E_STATUS.
#   e2e_run NAME SECS PROGRAM [ARGS...]
e2e_run() {
    local name=$1 seconds=$2
    shift 2
    e2e_run_bg "$name" "$@"
    e2e_wait "$name" "$seconds"
}

# Calls the test driver (see driver.cpp or "e2e_driver help"); prints what it prints and
# returns its exit code. Its errors go to standard error and E2E_TMP/driver.log. The driver
# takes its default limits from E2E_WAIT and E2E_QUIET and scales the ones it is given.
# The driver says why whenever it fails; an exit without a word, at once, is Wine failing to
# start it (seen twice in some thousand starts on a crowded machine), so it is started again,
# at most twice, and each such start is noted in driver.log.
e2e_driver() {
    local status attempt out="$E2E_TMP/driver.$BASHPID.out" errors="$E2E_TMP/driver.$BASHPID.err"
    for attempt in 1 2 3; do
        status=0
        timeout "$(e2e_secs 200)" wine "$E2E_DRIVER" "$@" </dev/null >"$out" 2>"$errors" ||
            status=$?
        case $status in 0 | 124 | 137) break ;; esac
        [ ! -s "$out" ] && [ ! -s "$errors" ] && [ "$attempt" -lt 3 ] || break
        echo "e2e_driver $1: exit $status without a word (start $attempt), started again" \
            >>"$E2E_TMP/driver.log"
    done
    cat "$out"
    if [ "$status" -ne 0 ] && [ ! -s "$errors" ]; then
        echo "e2e_driver: $1 ended with exit $status without a word" >"$errors"
    fi
    if [ -s "$errors" ]; then
        cat "$errors" >&2
        cat "$errors" >>"$E2E_TMP/driver.log"
    fi
    rm -f "$out" "$errors"
    return "$status"
}

# Calls the driver and fails the test when the driver fails.
e2e_must() {
    e2e_driver "$@" || e2e_fail "driver: $* (exit $?)"
}

# Waits until no Windows process with that executable name (may hold '*') runs (at most SECS,
# default E2E_WAIT).
e2e_wait_exit() {
    e2e_driver wait-exit "$1" ${2:+"$2"} || e2e_fail "process $1 did not end"
}

# The Windows programs that run in the prefix, Wine's own helpers aside; fails while any does.
e2e_no_programs() {
    local list
    list=$(e2e_driver processes | awk -F'\t' '{print $2}' | tr -d '\r' |
        grep -v -x -E 'e2e_driver\.exe|explorer\.exe|services\.exe|winedevice\.exe|plugplay\.exe|svchost\.exe|rpcss\.exe|conhost\.exe|start\.exe|wineboot\.exe|tabtip\.exe' || true)
    [ -z "$list" ] || { echo $list; return 1; }
}

# Waits until every Windows program in the prefix has ended (at most SECS, default E2E_WAIT).
e2e_wait_all() {
    e2e_wait_for -t "${1:-$E2E_WAIT_SECONDS}" "every program ended" e2e_no_programs
}

# ---------------------------------------------------------------------------------------------
# Waiting and watching
#
# A state the program reaches on its own time (a window, a text, a file written after a click)
# is waited for, never read once: e2e_wait_for, e2e_wait_eq, or the driver's wait-* commands.
# That something does NOT happen (no second message box, nothing deleted, no window left) is
# watched for a whole quiet period: e2e_assert_holds, e2e_assert_no_window,
# e2e_assert_unchanged. Limits are seconds for an unloaded machine, scaled by E2E_SLOW; CMD runs
# in a subshell each time (so its e2e_fail only ends that try) and must say by its status
# whether the state is there.

# e2e_poll SECS CMD [ARGS...]: runs CMD every 0.2 s until it succeeds (0) or SECS have passed
# (1). What CMD printed last (standard output and error) is in E2E_POLL_OUTPUT.
e2e_poll() {
    local seconds=$1 deadline
    shift
    deadline=$(($(e2e_now_millis) + $(e2e_scaled_millis "$seconds")))
    while :; do
        if E2E_POLL_OUTPUT=$("$@" 2>&1); then
            return 0
        fi
        [ "$(e2e_now_millis)" -lt "$deadline" ] || return 1
        sleep 0.2
    done
}

# e2e_wait_for [-t SECS] WHAT CMD [ARGS...]: waits until CMD succeeds (at most E2E_WAIT); fails
# the test naming WHAT and CMD's last output when it does not.
e2e_wait_for() {
    local seconds=$E2E_WAIT_SECONDS
    if [ "$1" = -t ]; then
        seconds=$2
        shift 2
    fi
    local what=$1
    shift
    e2e_poll "$seconds" "$@" ||
        e2e_fail "$what: did not happen within $(e2e_secs "$seconds") s${E2E_POLL_OUTPUT:+ (last: $E2E_POLL_OUTPUT)}"
}

# e2e_wait_eq [-t SECS] EXPECTED WHAT CMD [ARGS...]: waits until CMD prints EXPECTED (its
# standard output, as $(...) gives it) and exits 0; fails with the last output.
e2e_wait_eq() {
    local seconds=$E2E_WAIT_SECONDS
    if [ "$1" = -t ]; then
        seconds=$2
        shift 2
    fi
    local expected=$1 what=$2 deadline actual="" status errors="$E2E_TMP/wait.$BASHPID.err"
    shift 2
    deadline=$(($(e2e_now_millis) + $(e2e_scaled_millis "$seconds")))
    while :; do
        status=0
        actual=$("$@" 2>"$errors") || status=$?
        if [ "$status" -eq 0 ] && [ "$actual" = "$expected" ]; then
            rm -f "$errors"
            return 0
        fi
        [ "$(e2e_now_millis)" -lt "$deadline" ] || break
        sleep 0.2
    done
    local message
    message=$(cat "$errors" 2>/dev/null || true)
    rm -f "$errors"
    e2e_fail "$what: expected [$expected], still [$actual] after $(e2e_secs "$seconds") s${message:+ ($message)}"
}

# e2e_assert_holds [-t SECS] WHAT CMD [ARGS...]: CMD succeeds from now on for the whole quiet
# period (E2E_QUIET, or SECS); fails the test as soon as it does not.
e2e_assert_holds() {
    local seconds=$E2E_QUIET_SECONDS
    if [ "$1" = -t ]; then
        seconds=$2
        shift 2
    fi
    local what=$1 start deadline output
    shift
    start=$(e2e_now_millis)
    deadline=$((start + $(e2e_scaled_millis "$seconds")))
    while :; do
        if ! output=$("$@" 2>&1); then
            e2e_fail "$what: broken $(($(e2e_now_millis) - start)) ms into a quiet period of $(e2e_secs "$seconds") s${output:+: $output}"
        fi
        [ "$(e2e_now_millis)" -lt "$deadline" ] || return 0
        sleep 0.2
    done
}

# e2e_assert_no_window SEL [SECS]: no visible window SEL ('#32770|!!!' for a message box of
# that caption, '#32770|*' for any dialog) appears during the quiet period (or SECS).
e2e_assert_no_window() {
    local selector=$1 seconds=${2:-$E2E_QUIET_SECONDS} found
    found=$(e2e_driver no-window "$selector" "$seconds" 2>&1) ||
        e2e_fail "a window $selector is open or appeared within $(e2e_secs "$seconds") s: $found"
}

# Succeeds while DIR's fingerprint is BEFORE; prints the difference when it is not.
e2e_same_fingerprint() {
    local now
    now=$(e2e_fingerprint "$1")
    [ "$now" = "$2" ] || {
        diff <(echo "$2") <(echo "$now")
        return 1
    }
}

# e2e_assert_unchanged DIR BEFORE WHAT [SECS]: DIR keeps the fingerprint BEFORE (taken with
# e2e_fingerprint) for the whole quiet period (or SECS): nothing in it is deleted, written or
# touched, now or a moment later.
e2e_assert_unchanged() {
    local dir=$1 before=$2 what=$3 seconds=${4:-$E2E_QUIET_SECONDS}
    e2e_assert_holds -t "$seconds" "$what changed" e2e_same_fingerprint "$dir" "$before"
}

# e2e_assert_stays_absent PATH [SECS]: PATH does not exist now nor during the quiet period.
e2e_assert_stays_absent() {
    e2e_assert_holds -t "${2:-$E2E_QUIET_SECONDS}" "$1 appeared" test ! -e "$1"
}

# e2e_wait_file PATH [SECS]: waits until PATH exists and is not empty.
e2e_wait_file() {
    e2e_wait_for -t "${2:-$E2E_WAIT_SECONDS}" "$1 written" test -s "$1"
}

# e2e_wait_text [-t SECS] SEL ID TEXT [WHAT]: waits until the control shows TEXT ('*' matches
# any run of characters); fails with what it shows.
e2e_wait_text() {
    local limit=()
    if [ "$1" = -t ]; then
        limit=("$2")
        shift 2
    fi
    local found
    found=$(e2e_driver wait-text "$1" "$2" "$3" "${limit[@]}" 2>&1 >/dev/null) ||
        e2e_fail "${4:-text of control $2 in $1}: ${found#e2e_driver: }"
}

# e2e_wait_focus SEL ID [WHAT]: waits until the keyboard focus is in control ID of window SEL.
e2e_wait_focus() {
    local found
    found=$(e2e_driver focus "$1" "$2" 2>&1 >/dev/null) ||
        e2e_fail "${3:-focus in $1}: ${found#e2e_driver: }"
}

# e2e_hold_file NAME PATH: holds the file PATH (a Linux path) open without sharing, in a driver
# started in the background as NAME, until e2e_release_file NAME; returns once it is held.
e2e_hold_file() {
    local name=$1 path=$2 deadline
    rm -f "$E2E_TMP/$name.release"
    e2e_run_bg "$name" "$E2E_DRIVER" hold-file "$(e2e_winpath "$path")" "$E2E_TIMEOUT" \
        "$(e2e_winpath "$E2E_TMP/$name.release")"
    deadline=$(($(e2e_now_millis) + $(e2e_scaled_millis "$E2E_WAIT_SECONDS")))
    until grep -q held "$E2E_TMP/$name.log" 2>/dev/null; do
        e2e_ended "$name" && e2e_fail "cannot hold $path: $(cat "$E2E_TMP/$name.log")"
        [ "$(e2e_now_millis)" -lt "$deadline" ] || e2e_fail "$path not held within $E2E_WAIT s"
        sleep 0.1
    done
}

# e2e_release_file NAME: lets the holder NAME close its file, and waits until it has.
e2e_release_file() {
    touch "$E2E_TMP/$1.release"
    e2e_wait "$1"
    e2e_assert_eq 0 "$E2E_STATUS" "exit code of the holder $1"
}

# ---------------------------------------------------------------------------------------------
# Faults

# Mounts a tmpfs of SIZE (e.g. 64k) at DIR for a full-disk test; skips the test when this
# machine cannot mount (not root, or no permission in a container).
e2e_mount_tmpfs() {
    local dir=$1 size=$2
    [ "$(id -u)" -eq 0 ] || e2e_skip "mounting a small tmpfs needs root"
    mkdir -p "$dir"
    if ! mount -t tmpfs -o "size=$size" dravnik-e2e "$dir" 2>"$E2E_TMP/mount.log"; then
        e2e_skip "cannot mount a tmpfs here: $(cat "$E2E_TMP/mount.log")"
    fi
    E2E_MOUNTS+=("$dir")
}

# ---------------------------------------------------------------------------------------------
# Assertions

e2e_assert_eq() {
    local expected=$1 actual=$2 what=${3:-value}
    [ "$expected" = "$actual" ] ||
        e2e_fail "$what: expected [$expected], got [$actual]"
}

e2e_assert_exists() {
    [ -e "$1" ] || e2e_fail "missing: $1"
}

e2e_assert_absent() {
    [ ! -e "$1" ] || e2e_fail "should not exist: $1"
}

# Fails when any file matches the glob pattern (e.g. "$tmp/selfdel*.bat").
e2e_assert_no_match() {
    local pattern=$1 matches
    matches=$(compgen -G "$pattern" || true)
    [ -z "$matches" ] || e2e_fail "should not exist: $(echo $matches)"
}

e2e_assert_size() {
    local file=$1 expected=$2 actual
    [ -f "$file" ] || e2e_fail "missing: $file"
    actual=$(stat -c %s "$file")
    [ "$actual" = "$expected" ] || e2e_fail "$file is $actual bytes, expected $expected"
}

# Byte-exact comparison of two files.
e2e_assert_same_bytes() {
    local expected=$1 actual=$2
    [ -f "$actual" ] || e2e_fail "missing: $actual"
    if ! cmp -s "$expected" "$actual"; then
        e2e_fail "$actual differs from $expected (sizes $(stat -c %s "$expected") and $(stat -c %s "$actual"); $(cmp "$expected" "$actual" 2>&1 | head -1))"
    fi
}

# The last-write times of two files agree to the 100 ns of a FILETIME.
e2e_assert_same_mtime() {
    local expected actual
    expected=$(stat -c %.7Y "$1")
    actual=$(stat -c %.7Y "$2")
    [ "$expected" = "$actual" ] ||
        e2e_fail "last-write time of $2 is $actual, expected $expected (from $1)"
}

# A listing of a folder's files (name, size, last-write time, checksum) to show later that
# nothing in it changed: before=$(e2e_fingerprint DIR) ... e2e_assert_eq "$before" "$(e2e_fingerprint DIR)"
e2e_fingerprint() {
    (cd "$1" && find . -type f -printf '%P\t%s\t%T@\n' | sort &&
        find . -type f -print0 | sort -z | xargs -0 -r sha256sum)
}
