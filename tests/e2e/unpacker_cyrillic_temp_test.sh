#!/usr/bin/env bash
# A temporary folder with Cyrillic letters and blanks, as every user with a Cyrillic user name
# has on Russian Windows: three joins in a row each relaunch from it and leave nothing behind
# there (the batch file reaches the command interpreter intact whatever its code page).
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/unpacker_common.sh"
e2e_start

temp="$E2E_TMP/Пользователь Иванов/Local Settings/Временные файлы"
e2e_set_temp_dir "$temp"
source="$E2E_TMP/source/data.bin"
make_source "$source" 70000
split_source "$source" "$E2E_TMP/archive/B" 20480

for run in 1 2 3; do
    dest="$E2E_TMP/dest $run"
    mkdir -p "$dest"
    start_archive "$E2E_TMP/archive/B.0.exe"
    e2e_assert_eq "$temp" "$UNPACKER_TEMP" "temporary folder"
    wait_unpacker_window data.bin >/dev/null
    pick_folder "$dest"
    wait_unpacker_gone
    assert_restored "$source" "$dest/data.bin"
    e2e_assert_eq "" "$(ls -A "$temp")" "temporary folder after join $run"
done
e2e_log "ok"
