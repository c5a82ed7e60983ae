#!/usr/bin/env bash
# Checks the harness itself on a probe program of our own: the driver reads and answers a
# message box, picks and cancels in the folder browser and the open-file dialog, holds a file
# busy, and the temporary folder can be moved to a path with blanks.
source "$(dirname "$0")/lib.sh"
e2e_start
probe="$DRAVNIK_WINDOWS_BUILD/e2e_probe.exe"
[ -f "$probe" ] || e2e_fail "no $probe"

# Message box: the two-line Russian text comes back in UTF-8, the button press is the answer.
e2e_run_bg probe "$probe" msgbox
text=$(e2e_must msgbox ':-(' no)
e2e_wait probe
e2e_assert_eq $'Файл уже существует.\nПерезаписать?' "$text" "message box text"
e2e_assert_eq "no" "$(tr -d '\r' <"$E2E_TMP/probe.log")" "answer"

# Folder browser: a folder with a blank and Cyrillic letters in its path.
dest="$E2E_TMP/куда папка/вложенная"
mkdir -p "$dest/ещё"
e2e_run_bg probe "$probe" browse
title=$(e2e_must browse-folder "$(e2e_winpath "$dest")")
e2e_wait probe
e2e_assert_eq "Куда распаковать файл?" "$title" "folder browser title"
e2e_assert_eq "$(e2e_winpath "$dest")" "$(iconv -f CP1251 -t UTF-8 "$E2E_TMP/probe.log" |
    tr -d '\r' | grep -v '^wine:')" "picked folder"

e2e_run_bg probe "$probe" browse
e2e_must browse-cancel >/dev/null
e2e_wait probe
e2e_assert_eq "cancelled" "$(tr -d '\r' <"$E2E_TMP/probe.log" | grep -v '^wine:')" "cancel"

# Open-file dialog: the preset name is read back, a file of another name is accepted.
mkdir -p "$E2E_TMP/elsewhere"
echo data >"$E2E_TMP/elsewhere/renamed.bin"
e2e_run_bg probe "$probe" open B.1.bin "$(e2e_winpath "$E2E_TMP")"
preset=$(e2e_must open-file "$(e2e_winpath "$E2E_TMP/elsewhere/renamed.bin")")
e2e_wait probe
e2e_assert_eq "B.1.bin" "$preset" "preset file name"
e2e_assert_eq "$(e2e_winpath "$E2E_TMP/elsewhere/renamed.bin")" \
    "$(tr -d '\r' <"$E2E_TMP/probe.log" | grep -v '^wine:')" "opened file"

e2e_run_bg probe "$probe" open B.1.bin "$(e2e_winpath "$E2E_TMP")"
e2e_must open-cancel >/dev/null
e2e_wait probe
e2e_assert_eq "cancelled" "$(tr -d '\r' <"$E2E_TMP/probe.log" | grep -v '^wine:')" "open cancel"

# A file held without sharing cannot be opened by another process until it is released.
e2e_hold_file holder "$E2E_TMP/elsewhere/renamed.bin"
e2e_driver hold-file "$(e2e_winpath "$E2E_TMP/elsewhere/renamed.bin")" 0 >/dev/null 2>&1 &&
    e2e_fail "a held file could be opened again"
e2e_release_file holder
e2e_must hold-file "$(e2e_winpath "$E2E_TMP/elsewhere/renamed.bin")" 0 >/dev/null

# A temporary folder with blanks, as the unpacker tests need.
e2e_set_temp_dir "$E2E_TMP/temp with blanks"
e2e_assert_eq "$E2E_TMP/temp with blanks" "$(e2e_temp_dir)" "temporary folder"
e2e_wait_all
e2e_log "ok"
