#!/usr/bin/env bash
# Names that are taken where the unpacker writes. A user's own "data.bin.неполный" is left as it
# is: the unpacker writes nothing and names it. A "data.bin" that another program saves while
# the unpacker waits halfway (at a missing volume's question), when none was there at the start,
# is asked about at the end: No keeps it, and the whole result stays as "data.bin.неполный",
# named in the message.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/unpacker_common.sh"
e2e_start

split_four_volumes

# A user's file at the incomplete name.
dest="$E2E_TMP/dest-notes"
mkdir -p "$dest"
echo "a user's notes, not the unpacker's" >"$dest/data.bin.неполный"
kept=$(e2e_fingerprint "$dest")
start_archive "$E2E_TMP/archive/B.0.exe"
pick_folder "$dest"
assert_error_box "Файл $(e2e_winpath "$dest/data.bin.неполный") уже существует" "message"
wait_unpacker_gone
e2e_assert_eq "$kept" "$(e2e_fingerprint "$dest")" "the user's file and nothing else"

# The target saved by another program meanwhile.
mv "$E2E_TMP/archive/B.2.bin" "$E2E_TMP/B.2.bin.away"
dest="$E2E_TMP/dest-saved"
mkdir -p "$dest"
start_archive "$E2E_TMP/archive/B.0.exe"
pick_folder "$dest"
e2e_must wait '#32770|:-(' >/dev/null
echo "saved by another program meanwhile" >"$dest/data.bin"
saved=$(e2e_fingerprint "$dest" | grep -v -F 'неполный')
mv "$E2E_TMP/B.2.bin.away" "$E2E_TMP/archive/B.2.bin"
e2e_must msgbox ':-(' yes >/dev/null
e2e_must open-file "$(e2e_winpath "$E2E_TMP/archive/B.2.bin")" >/dev/null
question=$(e2e_must msgbox '???' no)
e2e_assert_eq $'Файл уже существует.\nПерезаписать?' "$question" "question"
assert_error_box "Файл сохранен как $(e2e_winpath "$dest/data.bin.неполный")" "message"
wait_unpacker_gone
e2e_assert_eq "$saved" "$(e2e_fingerprint "$dest" | grep -v -F 'неполный')" "the saved file"
e2e_assert_same_bytes "$source" "$dest/data.bin.неполный"
e2e_log "ok"
