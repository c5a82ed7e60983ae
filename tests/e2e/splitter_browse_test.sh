#!/usr/bin/env bash
# The two browse buttons: the open dialog fills the source field and suggests an archive name in
# the remembered archive folder; the save dialog offers the name without its folder and fills
# the archive field; cancelling either changes nothing. After the split the remembered folder
# feeds the next suggestion, and a suggestion follows the next source picked or typed (also
# when the field lost the focus to "Обзор..." first) until the user types a name of his own.
# The settings file ends with CR LF, as Notepad saves it.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/splitter_common.sh"
e2e_start
data="$E2E_TMP/data"
out="$E2E_TMP/out"
mkdir -p "$out"
spl_install
spl_write_ini V2.3 DONOTCLOSE 20K 1.38M 650M "$(e2e_winpath "$data")\\" "$(e2e_winpath "$out")\\" ""
source_file="$data/my file.bin"
spl_make_file "$source_file" 100000

spl_start
e2e_must command "$SPL_WINDOW" "$ID_SOURCE_BROWSE"
e2e_assert_eq "" "$(e2e_must open-cancel)" "open dialog's preset name"
# The focus moves last, once the dialog's answer is handled: wait for it, then the fields.
spl_assert_focus "$ID_ARCHIVE_EDIT"
spl_assert_text_stays "$ID_SOURCE_EDIT" ""

e2e_must command "$SPL_WINDOW" "$ID_SOURCE_BROWSE"
e2e_must open-file "$(e2e_winpath "$source_file")" >/dev/null
spl_wait_text "$ID_SOURCE_EDIT" "$(e2e_winpath "$source_file")"
spl_assert_text "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$out/my file.bin")"
spl_assert_text "$ID_SIZE_VALUE" "100 000"
spl_assert_text "$ID_COUNT_VALUE" "6"
spl_assert_focus "$ID_ARCHIVE_EDIT"

e2e_must command "$SPL_WINDOW" "$ID_ARCHIVE_BROWSE"
e2e_assert_eq "my file.bin" "$(e2e_must open-cancel)" "save dialog's preset name"
spl_assert_focus "$ID_VOLSIZE_BOX"
spl_assert_text_stays "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$out/my file.bin")"

e2e_must command "$SPL_WINDOW" "$ID_ARCHIVE_BROWSE"
e2e_assert_eq "my file.bin" "$(e2e_must open-file "$(e2e_winpath "$out/named")")" \
    "save dialog's preset name"
spl_wait_text "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$out/named")"
spl_assert_focus "$ID_VOLSIZE_BOX"

spl_enter "$ID_ARCHIVE_EDIT"
spl_expect_box ':-)' "Готово!"
spl_assert_archive "$out/named" "$source_file" 1 20480 >/dev/null
spl_assert_text "$ID_ARCHIVE_EDIT" ""
spl_assert_focus "$ID_SOURCE_EDIT"
# Leaving the source field (here for its "Обзор...") suggests a name in the folder of the last
# archive; the file picked there then gets a suggestion of its own.
e2e_must set-focus "$SPL_WINDOW" "$ID_SOURCE_BROWSE"
spl_wait_text "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$out/my file.bin")"
second="$data/second.bin"
spl_make_file "$second" 50000
e2e_must command "$SPL_WINDOW" "$ID_SOURCE_BROWSE"
e2e_must open-file "$(e2e_winpath "$second")" >/dev/null
spl_wait_text "$ID_SOURCE_EDIT" "$(e2e_winpath "$second")"
spl_assert_text "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$out/second.bin")"
# Typed over, the source takes the suggestion along; a name the user typed stays.
e2e_must set-text "$SPL_WINDOW" "$ID_SOURCE_EDIT" "$(e2e_winpath "$source_file")"
spl_wait_text "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$out/my file.bin")"
e2e_must set-text "$SPL_WINDOW" "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$out/mine")"
e2e_must set-text "$SPL_WINDOW" "$ID_SOURCE_EDIT" "$(e2e_winpath "$second")"
spl_wait_text "$ID_SIZE_VALUE" "50 000"
spl_assert_text_stays "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$out/mine")"
spl_enter "$ID_SOURCE_EDIT"
spl_expect_box ':-)' "Готово!"
spl_assert_archive "$out/mine" "$second" 1 20480 >/dev/null
e2e_assert_absent "$out/second.bin.0.exe"
spl_close "$ID_SOURCE_EDIT"
e2e_log "ok"
