#!/usr/bin/env bash
# A full disk while joining: the destination is a small tmpfs holding an older file of the
# target's name, which the user agrees to replace. The unpacker says "Ошибка!\nВозможно, нет
# места на диске" and names the unfinished "<name>.неполный"; the older file stays byte for
# byte, the archive is untouched and the copy deletes itself.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/unpacker_common.sh"
e2e_start

dest="$E2E_TMP/small disk"
e2e_mount_tmpfs "$dest" 64k
source="$E2E_TMP/source/data.bin"
make_source "$source" 300000
split_source "$source" "$E2E_TMP/archive/B" 20480
before=$(e2e_fingerprint "$E2E_TMP/archive")
echo "an older file of the same name" >"$dest/data.bin"
older=$(e2e_fingerprint "$dest")

start_archive "$E2E_TMP/archive/B.00.exe"
pick_folder "$dest"
e2e_must msgbox '???' yes >/dev/null
message=$(e2e_must msgbox ':-(' ok)
e2e_assert_eq $'Ошибка!\nВозможно, нет места на диске\nФайл '"$(e2e_winpath "$dest/data.bin.неполный")"' не дописан' \
    "$message" "message"
wait_unpacker_gone
e2e_assert_eq "$before" "$(e2e_fingerprint "$E2E_TMP/archive")" "archive fingerprint"
e2e_assert_eq "$older" "$(e2e_fingerprint "$dest" | grep -v -F 'неполный')" "the older file"
size=$(stat -c %s "$dest/data.bin.неполный" 2>/dev/null || echo 0)
[ "$size" -lt 300000 ] || e2e_fail "the join is complete on a 64 KiB disk"
e2e_log "ok"
