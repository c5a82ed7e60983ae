#!/usr/bin/env bash
# The target already exists: answering No writes nothing and says nothing more; answering Yes
# replaces it, even when it is read-only.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/unpacker_common.sh"
e2e_start

source="$E2E_TMP/source/data.bin"
make_source "$source" 50000
split_source "$source" "$E2E_TMP/archive/B" 20480
dest="$E2E_TMP/dest"
mkdir -p "$dest"
echo "an older file of the same name" >"$dest/data.bin"
touch -d '@1000000000' "$dest/data.bin"
existing=$(e2e_fingerprint "$dest")

# No: the question, then the end of the run.
start_archive "$E2E_TMP/archive/B.0.exe"
pick_folder "$dest"
question=$(e2e_must msgbox '???' no)
e2e_assert_eq $'Файл уже существует.\nПерезаписать?' "$question" "question"
e2e_assert_no_window '#32770|*'  # nothing more is said after No
wait_unpacker_gone
e2e_assert_eq "$existing" "$(e2e_fingerprint "$dest")" "destination after No"

# Yes: the read-only file is replaced by the restored one.
chmod a-w "$dest/data.bin"
start_archive "$E2E_TMP/archive/B.0.exe"
pick_folder "$dest"
e2e_must msgbox '???' yes >/dev/null
wait_unpacker_gone
assert_restored "$source" "$dest/data.bin"
e2e_log "ok"
