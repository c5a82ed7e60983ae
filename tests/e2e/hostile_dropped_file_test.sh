#!/usr/bin/env bash
# A file dropped onto the archive's .exe (started with that file's path as its argument) is not
# an archive: a clear message, then the program ends; nothing is deleted, neither the .exe nor
# the dropped file, and no batch file or temporary copy is left behind. A text file larger than
# the unpacker image, and a small one in a folder with blanks (its path arrives quoted).
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/unpacker_common.sh"
e2e_start

source="$E2E_TMP/source/data.bin"
make_source "$source" 30000
archive="$E2E_TMP/archive"
split_source "$source" "$archive/B" 20480
exe="$archive/B.0.exe"
temp=$(e2e_temp_dir)

# drop_onto FILE EXPECTED_MESSAGE
drop_onto() {
    local file=$1 expected=$2 before_archive before_dropped message
    before_archive=$(e2e_fingerprint "$archive")
    before_dropped=$(e2e_fingerprint "$(dirname "$file")")
    e2e_run_bg dropped "$exe" "$(e2e_winpath "$file")"
    message=$(e2e_must msgbox ':-(' ok)
    e2e_assert_eq "$expected" "$message" "message for a dropped $(basename "$file")"
    e2e_wait dropped
    e2e_assert_eq 0 "$E2E_STATUS" "exit code"
    e2e_wait_exit cmd.exe
    # Nothing deleted, not even a moment later by a batch file started on the way out.
    e2e_assert_unchanged "$archive" "$before_archive" "archive after the drop"
    e2e_assert_unchanged "$(dirname "$file")" "$before_dropped" "dropped file's folder after the drop"
    e2e_assert_no_match "$archive/selfdel*.bat"
    e2e_assert_no_match "$temp/selfdel*.bat"
    e2e_assert_no_match "$temp/ombra*.exe"
    e2e_assert_no_window '#32770|*'
    return 0
}

notes="$E2E_TMP/dropped/notes.txt"
mkdir -p "$(dirname "$notes")"
for ((i = 0; i < 400; i++)); do echo "line $i of some notes, without any quotation marks"; done >"$notes"
[ "$(stat -c %s "$notes")" -gt "$UNPACKER_IMAGE_SIZE" ] || e2e_fail "notes.txt is too small"
drop_onto "$notes" "Неверный заголовок архива:
$(e2e_winpath "$notes")"

small="$E2E_TMP/my documents/short note.txt"
mkdir -p "$(dirname "$small")"
echo "a short note" >"$small"
drop_onto "$small" "Неверный заголовок архива:
$(e2e_winpath "$small")"
e2e_log "ok"
