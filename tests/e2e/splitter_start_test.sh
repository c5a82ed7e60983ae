#!/usr/bin/env bash
# The splitter's first start without a settings file: empty form, default sizes, the focus in
# the source field; a size below the minimum, typed into the box, is refused when the box loses
# the focus and when Enter is pressed in it; Esc ends the program and writes dravnik.ini byte
# for byte. A second start reads the file back; presets below the minimum are not taken. A
# first start with a source typed by hand puts the archive beside the source, never into the
# current folder or the program's. A program folder that cannot be written gets one message
# at the end: the settings are not saved.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/splitter_common.sh"
e2e_start
spl_install

spl_start
spl_assert_text - "$SPL_IDLE_TITLE"
spl_assert_text "$ID_SOURCE_EDIT" ""
spl_assert_text "$ID_ARCHIVE_EDIT" ""
spl_assert_text "$ID_SIZE_VALUE" ""
spl_assert_text "$ID_COUNT_VALUE" ""
spl_assert_text "$ID_VOLSIZE_BOX" "1457664"
spl_assert_items "1457664 1.38M 650M "
spl_assert_focus "$ID_SOURCE_EDIT"

# "100" typed into the box clears nothing yet (no count without a source); leaving the box
# refuses it and brings the first entry back.
e2e_must set-focus "$SPL_WINDOW" "$ID_VOLSIZE_BOX"
e2e_must set-text "$SPL_WINDOW" "$ID_VOLSIZE_BOX" ""
e2e_must type "$SPL_WINDOW" "$ID_VOLSIZE_BOX" "100"
spl_wait_text "$ID_VOLSIZE_BOX" "100"
spl_focus_async "$ID_SPLIT"
spl_expect_box '!!!' "Размер тома не может быть меньше 20480!"
spl_focus_done
spl_wait_text "$ID_VOLSIZE_BOX" "1457664"
spl_assert_items "1457664 1.38M 650M " "size list after the refusal"
spl_assert_focus "$ID_VOLSIZE_BOX"

# Enter in the box applies its text before anything else: the refusal comes first and no
# split check runs after it.
e2e_must set-text "$SPL_WINDOW" "$ID_VOLSIZE_BOX" ""
e2e_must type "$SPL_WINDOW" "$ID_VOLSIZE_BOX" "19.99K"
spl_wait_text "$ID_VOLSIZE_BOX" "19.99K"
spl_enter "$ID_VOLSIZE_BOX"
spl_expect_box '!!!' "Размер тома не может быть меньше 20480!"
spl_assert_text "$ID_VOLSIZE_BOX" "1457664"
e2e_assert_no_window '#32770|*'  # no second message after the refusal

# A valid size typed and applied moves to the top of the list, normalised.
e2e_must set-text "$SPL_WINDOW" "$ID_VOLSIZE_BOX" ""
e2e_must type "$SPL_WINDOW" "$ID_VOLSIZE_BOX" "20k"
e2e_must set-focus "$SPL_WINDOW" "$ID_SOURCE_EDIT"
spl_wait_text "$ID_VOLSIZE_BOX" "20K"
spl_assert_items "20K 1457664 1.38M " "size list after 20k"

spl_close
e2e_assert_eq 0 "$E2E_STATUS" "exit code"
printf 'V2.3\r\nDONOTCLOSE\r\n20K\r\n1457664\r\n1.38M\r\n\r\n' >"$E2E_TMP/expected.ini"
e2e_assert_same_bytes "$E2E_TMP/expected.ini" "$SPL_APP/dravnik.ini"

# Second start: the file is read back; a preset below the minimum never reaches the form.
spl_write_ini V2.3 CLOSE 100 1.38M 650M 'C:\src\' '-'
spl_start
spl_assert_text "$ID_VOLSIZE_BOX" "1457664"
spl_assert_items "1457664 1.38M 650M " "size list from a file with a bad preset"
spl_close
printf 'V2.3\r\nCLOSE\r\n1457664\r\n1.38M\r\n650M\r\nC:\\src\\\r\n-' >"$E2E_TMP/expected.ini"
e2e_assert_same_bytes "$E2E_TMP/expected.ini" "$SPL_APP/dravnik.ini"

# First start with a typed source: the bare suggested name means beside the source.
rm "$SPL_APP/dravnik.ini"
typed="$E2E_TMP/data/typed.bin"
spl_make_file "$typed" 30000
mkdir -p "$E2E_TMP/cwd"
cd "$E2E_TMP/cwd"
spl_start -v20K
e2e_must set-text "$SPL_WINDOW" "$ID_SOURCE_EDIT" "$(e2e_winpath "$typed")"
spl_wait_text "$ID_ARCHIVE_EDIT" "typed.bin"
spl_wait_text "$ID_COUNT_VALUE" 2
spl_enter "$ID_SOURCE_EDIT"
spl_expect_box ':-)' "Готово!"
spl_assert_archive "$typed" "$typed" 1 20480 >/dev/null
e2e_assert_eq "" "$(ls -A "$E2E_TMP/cwd")" "files in the current folder"
e2e_assert_absent "$SPL_APP/typed.bin.0.exe"
spl_close

# A read-only program folder: one message as the program ends, and it still ends.
readonly_app="$E2E_TMP/readonly"
e2e_mount_tmpfs "$readonly_app" 1m
cp "$SPL_APP/dravnik.exe" "$readonly_app/"
mount -o remount,ro "$readonly_app" || e2e_skip "cannot make the tmpfs read-only"
SPL_APP=$readonly_app
spl_start
e2e_must key "$SPL_WINDOW" "$ID_SOURCE_EDIT" ESCAPE
spl_expect_box '!!!' "Настройки не сохранены: нельзя записать файл $(e2e_winpath "$readonly_app")\\dravnik.ini"
e2e_wait app
e2e_assert_eq 0 "$E2E_STATUS" "exit code"
e2e_log "ok"
