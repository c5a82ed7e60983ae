#!/usr/bin/env bash
# A source held open without sharing by another program: the size field shows "?????", the
# split waits with "ЖДУ..." blinking in the count field and starts by itself once the file is
# released. With CLOSE in dravnik.ini the program then ends without the "Готово!" box.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/splitter_common.sh"
e2e_start
spl_install V2.3 CLOSE 1457664 1.38M 650M '' ''

source_file="$E2E_TMP/data/busy.bin"
spl_make_file "$source_file" 100000
mkdir -p "$E2E_TMP/out"
base="$E2E_TMP/out/busy"

# Held until the test lets go, however long the steps before take.
e2e_hold_file holder "$source_file"

spl_start "$(e2e_winpath "$source_file")" -v20K "-a$(e2e_winpath "$base")"
spl_assert_text "$ID_SIZE_VALUE" "?????"
spl_enter "$ID_SPLIT"
# The text blinks every half second.
spl_wait_text "$ID_COUNT_VALUE" "ЖДУ..."
spl_wait_text "$ID_COUNT_VALUE" ""
spl_wait_text "$ID_COUNT_VALUE" "ЖДУ..."
# Waiting writes nothing and says nothing.
e2e_assert_no_window '#32770|*'
e2e_assert_stays_absent "$base.0.exe"

e2e_release_file holder
# Released: the split runs by itself and, with CLOSE, ends the program without "Готово!".
e2e_wait app
e2e_assert_eq 0 "$E2E_STATUS" "exit code"
spl_assert_archive "$base" "$source_file" 1 20480 >/dev/null
printf 'V2.3\r\nCLOSE\r\n20K\r\n1457664\r\n1.38M\r\n%s\\\r\n%s\\' "$(e2e_winpath "$E2E_TMP/data")" \
    "$(e2e_winpath "$E2E_TMP/out")" >"$E2E_TMP/expected.ini"
e2e_assert_same_bytes "$E2E_TMP/expected.ini" "$SPL_APP/dravnik.ini"

# Typing in the source field ends a wait: the count field stays empty for several blinks.
e2e_hold_file holder "$source_file"
spl_start "$(e2e_winpath "$source_file")" -v20K "-a$(e2e_winpath "$base.2")"
spl_enter "$ID_SPLIT"
spl_wait_text "$ID_COUNT_VALUE" "ЖДУ..."
e2e_must set-text "$SPL_WINDOW" "$ID_SOURCE_EDIT" "$(e2e_winpath "$E2E_TMP/data/other.bin")"
spl_assert_text_stays "$ID_COUNT_VALUE" ""
spl_close
e2e_release_file holder
e2e_assert_absent "$base.2.0.exe"
e2e_log "ok"
