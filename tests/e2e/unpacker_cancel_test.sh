#!/usr/bin/env bash
# The folder prompt cancelled: nothing is written anywhere, no message, and the temporary copy
# still deletes itself.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/unpacker_common.sh"
e2e_start

source="$E2E_TMP/source/data.bin"
make_source "$source" 30000
split_source "$source" "$E2E_TMP/archive/B" 20480
before=$(e2e_fingerprint "$E2E_TMP/archive")

start_archive "$E2E_TMP/archive/B.0.exe"
wait_unpacker_window data.bin >/dev/null
title=$(e2e_must browse-cancel 30)
e2e_assert_eq "Куда распаковать файл?" "$title" "folder browser title"
wait_unpacker_gone

e2e_assert_eq "$before" "$(e2e_fingerprint "$E2E_TMP/archive")" "archive fingerprint"
written=$(find "$E2E_TMP" -name data.bin -not -path "$E2E_TMP/source/*")
[ -z "$written" ] || e2e_fail "a target was written: $written"
e2e_log "ok"
