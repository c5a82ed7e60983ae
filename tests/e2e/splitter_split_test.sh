#!/usr/bin/env bash
# The command line fills the form (a quoted source path with a blank, -vSIZE, -aNAME); Enter
# splits into an archive whose members join back into the source; the form is reset after the
# split; a second split of the same name asks before overwriting: No leaves everything as it
# was, Yes removes the older archive's volumes and writes the new archive.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/splitter_common.sh"
e2e_start
spl_install

source_file="$E2E_TMP/data/my file.bin"
spl_make_file "$source_file" 100000
win_source=$(e2e_winpath "$source_file")

# A quoted path with a blank and -v650M: the form as the command line says, the archive name
# suggested, the focus on the split button; the file fits into the unpacker file alone.
spl_start "$win_source" -v650M
spl_assert_text "$ID_SOURCE_EDIT" "$win_source"
spl_assert_text "$ID_VOLSIZE_BOX" "650M"
spl_assert_items "650M 1457664 1.38M "
spl_assert_text "$ID_ARCHIVE_EDIT" "my file.bin"
spl_assert_text "$ID_SIZE_VALUE" "100 000"
spl_assert_text "$ID_COUNT_VALUE" "1"
spl_assert_focus "$ID_SPLIT"
spl_enter "$ID_SPLIT"
spl_expect_box '!!!' "Нет смысла разбивать файл"
spl_close

# -v20K and -a with a folder: Enter in the source field splits.
mkdir -p "$E2E_TMP/out"
base="$E2E_TMP/out/arch"
spl_start "$win_source" -v20K "-a$(e2e_winpath "$base")"
spl_assert_text "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$base")"
count=6  # (100000 + 11 + image + 33) / 20480, rounded up
spl_assert_text "$ID_COUNT_VALUE" "$count"
spl_enter "$ID_SOURCE_EDIT"
spl_expect_box ':-)' "Готово!"
spl_wait_text - "$SPL_IDLE_TITLE"
spl_assert_text "$ID_ARCHIVE_EDIT" ""
spl_assert_focus "$ID_SOURCE_EDIT"
members=$(spl_assert_archive "$base" "$source_file" 1 20480)
e2e_assert_eq "$count" "$members" "members written"

# Overwrite, No: nothing changes, the focus goes to the archive field.
printf 'stale' >"$base.6.bin"
printf 'stale' >"$base.7.bin"
before=$(e2e_fingerprint "$E2E_TMP/out")
e2e_must set-text "$SPL_WINDOW" "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$base")"
spl_enter "$ID_ARCHIVE_EDIT"
spl_expect_box '???' "Вы хотите перезаписать существующий архив?" no
spl_assert_focus "$ID_ARCHIVE_EDIT"
spl_assert_text - "$SPL_IDLE_TITLE"
e2e_assert_unchanged "$E2E_TMP/out" "$before" "archive folder after No"
e2e_assert_no_window '#32770|*'

# Overwrite, Yes, now with 40K volumes (3 members): the older archive's volumes 1 to 5 go, the
# new ones come, and the files beside it that no archive counts stay.
e2e_must set-focus "$SPL_WINDOW" "$ID_VOLSIZE_BOX"
e2e_must set-text "$SPL_WINDOW" "$ID_VOLSIZE_BOX" ""
e2e_must type "$SPL_WINDOW" "$ID_VOLSIZE_BOX" "40K"
spl_wait_text "$ID_COUNT_VALUE" "3"
spl_enter "$ID_VOLSIZE_BOX"
spl_expect_box '???' "Вы хотите перезаписать существующий архив?" yes
spl_expect_box ':-)' "Готово!"
members=$(spl_assert_archive "$base" "$source_file" 1 40960)
e2e_assert_eq 3 "$members" "members after the overwrite"
e2e_assert_absent "$base.3.bin"
e2e_assert_absent "$base.4.bin"
e2e_assert_eq stale "$(cat "$base.6.bin")" "a file beside the older archive"
e2e_assert_eq stale "$(cat "$base.7.bin")" "another file beside it"
spl_close

# The folders of the last split are remembered.
printf 'V2.3\r\nDONOTCLOSE\r\n40K\r\n20K\r\n650M\r\n%s\\\r\n%s\\' "$(e2e_winpath "$E2E_TMP/data")" \
    "$(e2e_winpath "$E2E_TMP/out")" >"$E2E_TMP/expected.ini"
e2e_assert_same_bytes "$E2E_TMP/expected.ini" "$SPL_APP/dravnik.ini"
e2e_log "ok"
