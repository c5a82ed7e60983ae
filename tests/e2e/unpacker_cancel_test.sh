#!/usr/bin/env bash
# The folder prompt cancelled: nothing is written anywhere, no message, and the temporary copy
# still deletes itself. The archive's own .exe started with an argument (a file dropped onto it)
# joins in place but never deletes itself.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/unpacker_common.sh"
e2e_start

source="$E2E_TMP/source/data.bin"
make_source "$source" 30000
split_source "$source" "$E2E_TMP/archive/B" 20480
before=$(e2e_fingerprint "$E2E_TMP/archive")

start_archive "$E2E_TMP/archive/B.0.exe"
wait_unpacker_window data.bin >/dev/null
title=$(e2e_must browse-cancel)
e2e_assert_eq "Куда распаковать файл?" "$title" "folder browser title"
wait_unpacker_gone

e2e_assert_eq "$before" "$(e2e_fingerprint "$E2E_TMP/archive")" "archive fingerprint"
written=$(find "$E2E_TMP" -name data.bin -not -path "$E2E_TMP/source/*")
[ -z "$written" ] || e2e_fail "a target was written: $written"
# Started with its own path as the argument, the archive's .exe is the joining program itself.
exe="$E2E_TMP/archive/B.0.exe"
e2e_run_bg dropped "$exe" "$(e2e_winpath "$exe")"
wait_unpacker_window data.bin >/dev/null
e2e_must browse-cancel >/dev/null
e2e_wait dropped
e2e_wait_exit cmd.exe
e2e_assert_unchanged "$E2E_TMP/archive" "$before" "archive after a run with an argument"
e2e_log "ok"
