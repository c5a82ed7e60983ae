#!/usr/bin/env bash
# A full disk during the split: "Ошибка!\nВозможно, нет места на диске" with ":-(", the title
# back to "Dravnik v2.3", the focus on the archive field; the members written so far stay.
# With DRAVNIK_SCREENSHOT=FILE the window with its part-filled disc is saved there.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/splitter_common.sh"
e2e_start
spl_install

source_file="$E2E_TMP/data/film.avi"
spl_make_file "$source_file" 400000
disk="$E2E_TMP/disk"
e2e_mount_tmpfs "$disk" 128k
base="$disk/film"

spl_start "$(e2e_winpath "$source_file")" -v20K "-a$(e2e_winpath "$base")"
spl_assert_text "$ID_COUNT_VALUE" "21"
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

# The unpacker file and the first volumes are complete, the last one written is cut short.
e2e_assert_size "$base.00.exe" 20480
e2e_assert_size "$base.01.bin" 20480
last=$(ls "$disk" | sort | tail -1)
[ "$(stat -c %s "$disk/$last")" -le 20480 ] || e2e_fail "$last is longer than a volume"
spl_close "$ID_ARCHIVE_EDIT"
e2e_log "ok"
