#!/usr/bin/env bash
# Every way to start a split runs it exactly once: a click on the split button, Enter in the
# source field, in the archive field, in the size box, on the split button after Tab has made it
# the default button (also with an archive to overwrite, and with no source at all), and the
# wait timer once a busy source is free. After each, no second message box comes within a
# quiet period, and the archive is written once.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/splitter_common.sh"
e2e_start
spl_install

QUIET=2  # seconds in which a second split would long have shown its message

source_file="$E2E_TMP/data/film.bin"
spl_make_file "$source_file" 100000
out="$E2E_TMP/out"
mkdir -p "$out"

# no_second_box WHAT: no message box of any caption appears within the quiet period.
no_second_box() {
    local text
    if text=$(e2e_driver msgbox '*' none "$QUIET" 2>/dev/null); then
        e2e_fail "$1: a second message box followed: [$text]"
    fi
}

# split_once WHAT NAME: the split (already started) ends with one "Готово!" and nothing after
# it; the archive NAME is complete and was written once.
split_once() {
    spl_expect_box ':-)' "Готово!"
    no_second_box "$1"
    e2e_assert_eq 6 "$(spl_assert_archive "$out/$2" "$source_file" 1 20480)" "$1: members"
}

# Tab from the size box makes the split button the focused default button.
tab_to_split_button() {
    e2e_must set-focus "$SPL_WINDOW" "$ID_VOLSIZE_BOX"
    e2e_must wait-focus "$SPL_WINDOW" "$ID_VOLSIZE_BOX" 10
    e2e_must press "$SPL_WINDOW" TAB
    e2e_must wait-focus "$SPL_WINDOW" "$ID_SPLIT" 10
}

# No source: after Tab, Enter on the button refuses once.
spl_start -v20K
tab_to_split_button
e2e_must press "$SPL_WINDOW" RETURN
spl_expect_box '!!!' "Разбиваемый файл не выбран или недоступен!"
no_second_box "no source, Enter on the button"
spl_assert_focus "$ID_SOURCE_EDIT"

e2e_must set-text "$SPL_WINDOW" "$ID_SOURCE_EDIT" "$(e2e_winpath "$source_file")"
spl_wait_text "$ID_COUNT_VALUE" 6

e2e_must set-text "$SPL_WINDOW" "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$out/click")"
e2e_must click "$SPL_WINDOW" "$ID_SPLIT"
split_once "a click" click

e2e_must set-text "$SPL_WINDOW" "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$out/source")"
e2e_must set-focus "$SPL_WINDOW" "$ID_SOURCE_EDIT"
e2e_must press "$SPL_WINDOW" RETURN
split_once "Enter in the source field" source

e2e_must set-text "$SPL_WINDOW" "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$out/archive")"
e2e_must set-focus "$SPL_WINDOW" "$ID_ARCHIVE_EDIT"
e2e_must wait-focus "$SPL_WINDOW" "$ID_ARCHIVE_EDIT" 10
e2e_must press "$SPL_WINDOW" RETURN
split_once "Enter in the archive field" archive

e2e_must set-text "$SPL_WINDOW" "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$out/box")"
e2e_must set-focus "$SPL_WINDOW" "$ID_VOLSIZE_BOX"
e2e_must wait-focus "$SPL_WINDOW" "$ID_VOLSIZE_BOX" 10
e2e_must press "$SPL_WINDOW" RETURN
split_once "Enter in the size box" box

e2e_must set-text "$SPL_WINDOW" "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$out/button")"
tab_to_split_button
e2e_must press "$SPL_WINDOW" RETURN
split_once "Enter on the button after Tab" button

# The same archive again: the overwrite question comes once.
e2e_must set-text "$SPL_WINDOW" "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$out/button")"
tab_to_split_button
e2e_must press "$SPL_WINDOW" RETURN
spl_expect_box '???' "Вы хотите перезаписать существующий архив?" yes
split_once "overwrite after Tab" button

# A busy source: the wait timer starts the split once the file is free. Everything but the
# Enter is ready before the file is taken, so that the hold outlasts the first ticks.
e2e_must set-text "$SPL_WINDOW" "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$out/timer")"
e2e_must set-focus "$SPL_WINDOW" "$ID_ARCHIVE_EDIT"
e2e_must wait-focus "$SPL_WINDOW" "$ID_ARCHIVE_EDIT" 10
e2e_run_bg holder "$E2E_DRIVER" hold-file "$(e2e_winpath "$source_file")" 15
for ((i = 0; i < 300; i++)); do
    grep -q held "$E2E_TMP/holder.log" 2>/dev/null && break
    sleep 0.1
done
grep -q held "$E2E_TMP/holder.log" || e2e_fail "the file was not held"
e2e_must press "$SPL_WINDOW" RETURN
spl_wait_text "$ID_COUNT_VALUE" "ЖДУ..." 10
spl_assert_text "$ID_SIZE_VALUE" "?????"
e2e_assert_absent "$out/timer.0.exe"
e2e_wait holder 30
split_once "the wait timer" timer

spl_close
e2e_assert_eq 0 "$E2E_STATUS" "exit code"
e2e_log "ok"
