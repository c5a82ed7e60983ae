#!/usr/bin/env bash
# A full disk while joining: the destination is a small tmpfs. The unpacker says
# "Ошибка!\nВозможно, нет места на диске", the archive is untouched and the copy deletes itself.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/unpacker_common.sh"
e2e_start

dest="$E2E_TMP/small disk"
e2e_mount_tmpfs "$dest" 64k
source="$E2E_TMP/source/data.bin"
make_source "$source" 300000
split_source "$source" "$E2E_TMP/archive/B" 20480
before=$(e2e_fingerprint "$E2E_TMP/archive")

start_archive "$E2E_TMP/archive/B.00.exe"
pick_folder "$dest"
message=$(e2e_must msgbox ':-(' ok)
e2e_assert_eq $'Ошибка!\nВозможно, нет места на диске' "$message" "message"
wait_unpacker_gone
e2e_assert_eq "$before" "$(e2e_fingerprint "$E2E_TMP/archive")" "archive fingerprint"
size=$(stat -c %s "$dest/data.bin" 2>/dev/null || echo 0)
[ "$size" -lt 300000 ] || e2e_fail "the target is complete on a 64 KiB disk"
e2e_log "ok"
