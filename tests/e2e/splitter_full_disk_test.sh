#!/usr/bin/env bash
# A full disk while the split writes its last volume: "Ошибка!\nВозможно, нет места на диске"
# with ":-(", the title back to "Dravnik v2.3", the focus on the archive field, and nothing of the
# archive left on the disk: no unpacker file, no volume, no unfinished file. A second split while
# one runs is still refused, also when the one that runs is the native `dravnik split`, and the
# other way round.
# With DRAVNIK_SCREENSHOT=FILE the window with its part-filled disc is saved there.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/splitter_common.sh"
e2e_start
spl_install

# M = 6: the unpacker file and volumes 1 to 4 take 5 pages of 4 KiB each, the last volume
# (7881 bytes) would take 2 and finds 1.
source_file="$E2E_TMP/data/film.avi"
spl_make_file "$source_file" 100000
disk="$E2E_TMP/disk"
e2e_mount_tmpfs "$disk" 104k
base="$disk/film"

spl_start "$(e2e_winpath "$source_file")" -v20K "-a$(e2e_winpath "$base")"
spl_assert_text "$ID_COUNT_VALUE" "6"
spl_enter "$ID_SPLIT"
text=$(e2e_must msgbox ':-(' none)
e2e_assert_eq $'Ошибка!\nВозможно, нет места на диске' "$text" "error message"
spl_assert_text - "Работаю..."
e2e_must msgbox ':-(' ok >/dev/null
spl_wait_text - "$SPL_IDLE_TITLE"
spl_assert_focus "$ID_ARCHIVE_EDIT"
if [ -n "${DRAVNIK_SCREENSHOT:-}" ]; then
    sleep 0.5
    import -display "$DISPLAY" -window root -crop 640x300+0+0 +repage "$DRAVNIK_SCREENSHOT"
fi

# What the split wrote is gone again, so nothing can pass for the archive.
left=$(ls -A "$disk")
[ -z "$left" ] || e2e_fail "the failed split left: $(echo $left)"

# While another split of this archive runs, it holds its unfinished file without sharing: this
# split is refused before it writes anything.
: >"$base.~part"
e2e_hold_file holder "$base.~part"
spl_enter "$ID_ARCHIVE_EDIT"
spl_expect_box ':-(' "Архив $(e2e_winpath "$base").0.exe уже записывается другой программой!"
e2e_release_file holder
e2e_assert_eq "film.~part" "$(ls -A "$disk")" "the disk after the refused split"
spl_close "$ID_ARCHIVE_EDIT"

# The native split and the window's split to one archive: Wine's sharing modes stay inside Wine,
# the lock on the unfinished file reaches both. One split at a time is stopped (SIGSTOP) once its
# first volume is there, which it created after taking its unfinished file; the other is refused
# before it removes or writes anything, and the stopped one, continued, finishes its archive.
big="$E2E_TMP/data/big.bin"
spl_make_file "$big" 67108864
shared="$E2E_TMP/out/big"
mkdir -p "$E2E_TMP/out"
native="$DRAVNIK_NATIVE_BUILD/dravnik"

# Polls as fast as it can (the split goes on meanwhile), up to E2E_WAIT: stops PID once the
# first volume of $shared is there.
stop_at_first_volume() {
    local pid=$1 deadline=$(($(e2e_now_millis) + $(e2e_scaled_millis "$E2E_WAIT_SECONDS")))
    until compgen -G "$shared.*1.bin" >/dev/null; do
        kill -0 "$pid" 2>/dev/null || e2e_fail "the split ended before it could be stopped"
        [ "$(e2e_now_millis)" -lt "$deadline" ] || e2e_fail "no first volume of $shared"
    done
    kill -STOP "$pid"
}

"$native" split "$big" -v1M "-a$shared" </dev/null >"$E2E_TMP/native.log" 2>&1 &
native_pid=$!
stop_at_first_volume "$native_pid"
spl_start "$(e2e_winpath "$big")" -v1M "-a$(e2e_winpath "$shared")"
spl_enter "$ID_SPLIT"
spl_expect_box '???' "Вы хотите перезаписать существующий архив?" yes
spl_expect_box ':-(' "Архив $(e2e_winpath "$shared").00.exe уже записывается другой программой!"
kill -CONT "$native_pid"
native_status=0
wait "$native_pid" || native_status=$?
e2e_assert_eq 0 "$native_status" "exit code of the native split ($(cat "$E2E_TMP/native.log"))"
spl_assert_archive "$shared" "$big" 2 1048576 >/dev/null

spl_enter "$ID_SPLIT"
spl_expect_box '???' "Вы хотите перезаписать существующий архив?" yes
stop_at_first_volume "${E2E_PIDS[app]}"
"$native" split "$big" -v1M "-a$shared" -y </dev/null >"$E2E_TMP/native.log" 2>&1 &&
    e2e_fail "the native split ran beside the window's: $(cat "$E2E_TMP/native.log")"
e2e_assert_eq "Архив $shared.00.exe уже записывается другой программой!" \
    "$(tail -n 1 "$E2E_TMP/native.log")" "the native split's message"
kill -CONT "${E2E_PIDS[app]}"
spl_expect_box ':-)' "Готово!"
spl_assert_archive "$shared" "$big" 2 1048576 >/dev/null
spl_close "$ID_ARCHIVE_EDIT"
e2e_log "ok"
