#!/usr/bin/env bash
# Blanks everywhere: the archive lies in a folder with blanks (and a base name with one), the
# temporary folder has blanks, the destination too, and the source's name is Cyrillic with a
# blank (code page 1251 in the header). The relaunch and the self-deletion still work.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/unpacker_common.sh"
e2e_start

e2e_set_temp_dir "$E2E_TMP/Documents and Settings/user/Local Settings/Temp"
name="отчёт за год.dat"
source="$E2E_TMP/source/$name"
make_source "$source" 70000
archive="$E2E_TMP/my archives/set one"
split_source "$source" "$archive/моя копия" 20480
before=$(e2e_fingerprint "$archive")
dest="$E2E_TMP/unpacked here"
mkdir -p "$dest"

start_archive "$archive/моя копия.0.exe"
e2e_assert_eq "$E2E_TMP/Documents and Settings/user/Local Settings/Temp" "$UNPACKER_TEMP" \
    "temporary folder"
wait_unpacker_window "$name" >/dev/null
pick_folder "$dest"
wait_unpacker_gone

assert_restored "$source" "$dest/$name"
e2e_assert_eq "$before" "$(e2e_fingerprint "$archive")" "archive fingerprint"
e2e_log "ok"
