#!/usr/bin/env bash
# Volumes replaced by files of the wrong size (volume 2 cut short, the last one longer):
# `dravnik info` names both and ends with 1; the unpacker copies what it finds (the pieces as
# they are now, its size off by the difference), keeps it as "<name>.неполный", never under the
# target's name, and says "Файл <that path> поврежден"; `dravnik join` does the same and ends
# with 1.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/unpacker_common.sh"
e2e_start

split_four_volumes
archive="$E2E_TMP/archive"
unpacker_cli info "$archive/B.0.exe" >"$E2E_TMP/info-good.log" || e2e_fail "info on a whole archive"

head -c 15000 /dev/urandom >"$archive/B.2.bin"
head -c 25000 /dev/urandom >"$archive/B.3.bin"
status=0
unpacker_cli info "$archive/B.0.exe" >"$E2E_TMP/info.log" 2>&1 || status=$?
e2e_assert_eq 1 "$status" "exit code of dravnik info"
grep -q -F "$archive/B.2.bin: 15000 bytes, wrong size (must be 20480)" "$E2E_TMP/info.log" ||
    e2e_fail "info does not name volume 2: $(cat "$E2E_TMP/info.log")"
grep -q -F "$archive/B.3.bin: 25000 bytes, wrong size (the last volume holds 1 to 20480)" \
    "$E2E_TMP/info.log" || e2e_fail "info does not name volume 3: $(cat "$E2E_TMP/info.log")"
grep -q -x "incomplete or damaged: 2 problems" "$E2E_TMP/info.log" ||
    e2e_fail "info's verdict: $(tail -n 1 "$E2E_TMP/info.log")"
before=$(e2e_fingerprint "$archive")

header=$((UNPACKER_IMAGE_SIZE + 8 + 1 + 32))
{
    tail -c +$((header + 1)) "$archive/B.0.exe"
    cat "$archive/B.1.bin" "$archive/B.2.bin" "$archive/B.3.bin"
} >"$E2E_TMP/expected"
e2e_assert_size "$E2E_TMP/expected" $((70000 - 20480 + 15000 - (70000 + header - 3 * volume) + 25000))

dest="$E2E_TMP/dest"
mkdir -p "$dest"
start_archive "$archive/B.0.exe"
wait_unpacker_window data.bin >/dev/null
pick_folder "$dest"
damaged=$(e2e_must msgbox ':-(' ok 30)
e2e_assert_eq "Файл $(e2e_winpath "$dest/data.bin.неполный") поврежден" "$damaged" "damage message"
wait_unpacker_gone
e2e_assert_same_bytes "$E2E_TMP/expected" "$dest/data.bin.неполный"
e2e_assert_absent "$dest/data.bin"
e2e_assert_eq "$before" "$(e2e_fingerprint "$archive")" "archive fingerprint"

mkdir -p "$E2E_TMP/cli-dest"
status=0
unpacker_cli join "$archive/B.0.exe" "$E2E_TMP/cli-dest" </dev/null >"$E2E_TMP/join.log" 2>&1 ||
    status=$?
e2e_assert_eq 1 "$status" "exit code of dravnik join"
grep -q -F "dravnik join: Файл $E2E_TMP/cli-dest/data.bin.неполный поврежден" "$E2E_TMP/join.log" ||
    e2e_fail "dravnik join's message: $(cat "$E2E_TMP/join.log")"
e2e_assert_same_bytes "$E2E_TMP/expected" "$E2E_TMP/cli-dest/data.bin.неполный"
e2e_assert_absent "$E2E_TMP/cli-dest/data.bin"
e2e_log "ok"
