#!/usr/bin/env bash
# A long split (some 15000 files) keeps the window alive: it answers sent messages, paints what
# another window uncovered (the disc included), takes no commands, and its Esc and close box
# ask whether to stop. No goes on; Yes stops the split, which leaves no file of the archive,
# and the window is as after a failed split: idle title, the names kept, the focus in the
# archive field, ready to close.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/splitter_common.sh"
e2e_start
spl_install
spl_need_screen

source_file="$E2E_TMP/data/long.bin"
spl_make_file "$source_file" 300000000
out="$E2E_TMP/out"
e2e_mount_tmpfs "$out" 330m
base="$out/long"
question='Прервать разбиение файла?'
members() { find "$out" -type f | wc -l; }

spl_start "$(e2e_winpath "$source_file")" -v20K "-a$(e2e_winpath "$base")"
spl_wait_text "$ID_COUNT_VALUE" 14649  # (300000000 + 8 + 10273) / 20480, rounded up
spl_enter "$ID_SPLIT"
spl_wait_text - "Работаю..."
e2e_log "a sent message answered in $(e2e_must answers "$SPL_WINDOW") s during the split"

# Covered and uncovered: the window paints its form and its disc again at once.
e2e_must cover "$SPL_WINDOW" 1
e2e_wait_for "the uncovered form painted" spl_form_painted
e2e_wait_for "the uncovered disc painted" spl_disc_red_part
e2e_assert_eq "Работаю..." "$(spl_text -)" "title while splitting"
# The form takes nothing meanwhile: a menu command opens no dialog.
e2e_must command "$SPL_WINDOW" 352 >/dev/null
e2e_assert_no_window '#32770|Настройки' 1

# Esc asks; No goes on.
e2e_must key "$SPL_WINDOW" - ESCAPE
spl_expect_box '???' "$question" no
before=$(members)
more_members() { [ "$(members)" -gt "$before" ]; }
e2e_wait_for "the split going on after No" more_members

# The close box asks; Yes stops, and nothing of the archive stays.
e2e_must close "$SPL_WINDOW"
spl_expect_box '???' "$question" yes
spl_wait_text - "$SPL_IDLE_TITLE"
e2e_assert_no_window '#32770|*' 1
e2e_wait_eq 0 "files left of the stopped archive" members
spl_assert_focus "$ID_ARCHIVE_EDIT"
spl_assert_text "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$base")"
spl_assert_text "$ID_SOURCE_EDIT" "$(e2e_winpath "$source_file")"
spl_close "$ID_ARCHIVE_EDIT"
e2e_assert_eq 0 "$E2E_STATUS" "exit code"
e2e_log "ok"
