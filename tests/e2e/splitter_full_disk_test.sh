#!/usr/bin/env bash
# A full disk while the split writes its last volume: "Ошибка!\nВозможно, нет места на диске"
# with ":-(", the title back to "Dravnik v2.3", the focus on the archive field, and nothing of the
# archive left on the disk: no unpacker file, no volume, no unfinished file. A second split while
# one runs is still refused.
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
e2e_log "ok"
