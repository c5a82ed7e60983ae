#!/usr/bin/env bash
# A target named like one of the archive's own files, joined into the archive's own folder: a
# source named like volume 1 and one named like the .exe. The unpacker says at once that the file
# belongs to the archive, asks no overwrite question, and every archive file stays as it was;
# `dravnik join -y` refuses the same way. All of it on a small tmpfs, which a join that read its
# own output back would fill.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/unpacker_common.sh"
e2e_start

disk="$E2E_TMP/small disk"
e2e_mount_tmpfs "$disk" 1m

for name in set.1.bin set.0.exe; do
    e2e_log "target [$name]"
    source="$E2E_TMP/source-$name/$name"
    make_source "$source" 50000  # M = 3: set.0.exe, set.1.bin, set.2.bin
    archive="$disk/arc-$name"
    split_source "$source" "$archive/set" 20480
    e2e_assert_exists "$archive/set.2.bin"
    before=$(e2e_fingerprint "$archive")
    listing=$(ls -A "$disk")

    start_archive "$archive/set.0.exe"
    wait_unpacker_window "$name" >/dev/null
    pick_folder "$archive"
    # The refusal comes within seconds; there is no overwrite question before it.
    message=$(e2e_must msgbox ':-(' ok 10)
    e2e_assert_eq "Файл $(e2e_winpath "$archive/$name") принадлежит архиву!
Выберите другую папку." "$message" "refusal"
    wait_unpacker_gone
    e2e_driver wait '#32770|???' 1 >/dev/null 2>&1 && e2e_fail "an overwrite question after the refusal"
    e2e_assert_eq "$before" "$(e2e_fingerprint "$archive")" "archive after the unpacker"
    e2e_assert_eq "$listing" "$(ls -A "$disk")" "the small disk after the unpacker"

    status=0
    unpacker_cli join "$archive/set.0.exe" "$archive" -y \
        </dev/null >"$E2E_TMP/join.log" 2>&1 || status=$?
    e2e_assert_eq 1 "$status" "exit code of dravnik join -y"
    grep -q -F "принадлежит архиву" "$E2E_TMP/join.log" ||
        e2e_fail "dravnik join's message: $(cat "$E2E_TMP/join.log")"
    e2e_assert_eq "$before" "$(e2e_fingerprint "$archive")" "archive after dravnik join"
done
e2e_log "ok"
