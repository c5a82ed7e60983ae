#!/usr/bin/env bash
# Help: F1, the menu item and the toolbar button open dravnik-help.txt beside the splitter in
# the system's Notepad, also from a folder with blanks and Cyrillic letters; a notepad.exe
# beside the splitter is not the one started. Without the help file, a message says so.
source "$(dirname "$0")/lib.sh"
e2e_start

ID_HELP=353
MAIN='Dravnik|Dravnik v2.3'
NOTEPAD='Notepad|dravnik-help*'

folder="$E2E_TMP/мои программы/dravnik v2"
mkdir -p "$folder"
cp "$DRAVNIK_WINDOWS_BUILD/dravnik.exe" "$DRAVNIK_WINDOWS_BUILD/dravnik-help.txt" "$folder/"
# A planted viewer would record its command line here.
cp "$E2E_DRIVER" "$folder/notepad.exe"
e2e_run_bg app "$folder/dravnik.exe"
e2e_must wait "$MAIN" >/dev/null

for how in F1 menu toolbar; do
    case $how in
        F1) e2e_must key "$MAIN" - F1 ;;
        menu) e2e_must command "$MAIN" $ID_HELP >/dev/null ;;
        toolbar) e2e_must toolbar-click "$MAIN" $ID_HELP >/dev/null ;;
    esac
    e2e_must wait "$NOTEPAD" >/dev/null
    edit=$(e2e_must children "$NOTEPAD" | awk '$2 == "Edit" { print $3; exit }')
    [ -n "$edit" ] || e2e_fail "Notepad shows no text field ($how)"
    e2e_wait_text "$NOTEPAD" "$edit" "Dravnik v2.3 - справка*Разбиваемый файл*" "help text ($how)"
    e2e_must close "$NOTEPAD"
    e2e_must wait-gone "$NOTEPAD" >/dev/null
done
e2e_assert_absent "$folder/notepad.exe.cmdline"

# The splitter did not wait for the viewer and still answers; without the file it tells so.
rm "$folder/dravnik-help.txt"
e2e_must key "$MAIN" - F1
text=$(e2e_must msgbox '!!!' ok)
e2e_assert_eq "Не найден файл справки $(e2e_winpath "$folder")\\dravnik-help.txt" "$text" \
    "message without the help file"
e2e_assert_no_window "$NOTEPAD"
e2e_must key "$MAIN" - ESCAPE
e2e_wait app
e2e_assert_eq 0 "$E2E_STATUS" "exit code"
e2e_log "ok"
