#!/usr/bin/env bash
# An archive name that reaches the source under another spelling is refused before anything is
# written: another letter case, a bare name in the current folder, and a folder
# path through "..". The source stays byte for byte as it was and no archive file appears.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/splitter_common.sh"
e2e_start
spl_install

conflict="Конфликт имен архива и исходного файла!"

# spl_refused_alias SOURCE ARCHIVE_FIELD: the form holds SOURCE and the archive name; Enter in
# the archive field is refused with the conflict message, the focus back in the archive field.
spl_refused_alias() {
    local source=$1 archive=$2 folder before
    folder=$(dirname "$source")
    before=$(e2e_fingerprint "$folder")
    e2e_must set-text "$SPL_WINDOW" "$ID_ARCHIVE_EDIT" "$archive"
    spl_wait_text "$ID_ARCHIVE_EDIT" "$archive"
    spl_enter "$ID_ARCHIVE_EDIT"
    spl_expect_box '!!!' "$conflict"
    spl_wait_focus "$ID_ARCHIVE_EDIT"
    e2e_assert_eq "$before" "$(e2e_fingerprint "$folder")" "source folder after the refusal"
}

spl_wait_focus() {
    local i
    for ((i = 0; i < 100; i++)); do
        [ "$(e2e_must focus "$SPL_WINDOW")" = "$1" ] && return 0
        sleep 0.1
    done
    spl_assert_focus "$1"
}

# Another letter case: src\a.1.bin split as src\A in 20K volumes (6 files, one digit).
src="$E2E_TMP/src"
spl_make_file "$src/a.1.bin" 100000
spl_start "$(e2e_winpath "$src/a.1.bin")" -v20K
spl_wait_text "$ID_COUNT_VALUE" 6
spl_refused_alias "$src/a.1.bin" "$(e2e_winpath "$src/A")"

# A folder path through "..": sub\b.2.bin split as sub\..\sub\b.
spl_make_file "$E2E_TMP/sub/b.2.bin" 100000
e2e_must set-text "$SPL_WINDOW" "$ID_SOURCE_EDIT" "$(e2e_winpath "$E2E_TMP/sub/b.2.bin")"
spl_wait_text "$ID_COUNT_VALUE" 6
spl_refused_alias "$E2E_TMP/sub/b.2.bin" "$(e2e_winpath "$E2E_TMP/sub")\\..\\sub\\b"
spl_close "$ID_ARCHIVE_EDIT"

# A bare name in the current folder: started in the source's folder, "r" names the archive
# r.0.exe there, the source itself.
spl_make_file "$E2E_TMP/here/r.0.exe" 30000
pushd "$E2E_TMP/here" >/dev/null
spl_start "$(e2e_winpath "$E2E_TMP/here/r.0.exe")" -ar
popd >/dev/null
spl_wait_text "$ID_COUNT_VALUE" 2
spl_refused_alias "$E2E_TMP/here/r.0.exe" "r"
spl_close "$ID_ARCHIVE_EDIT"
e2e_log "ok"
