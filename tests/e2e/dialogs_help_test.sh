#!/usr/bin/env bash
# Help: F1, the menu item and the toolbar button start the help viewer on DRAVNIK.HLP beside the
# splitter. The viewer is a stand-in winhlp32.exe in the splitter's folder (WinExec looks there
# first) that records its command line; a folder with blanks reaches it quoted.
source "$(dirname "$0")/lib.sh"
e2e_start

ID_HELP=353
MAIN='Dravnik|Dravnik v2.3'

# Starts a splitter copied into FOLDER, asks for help in each way given, checks the command line
# the viewer received each time, and ends the splitter.
check_help() {
    local folder=$1 expected=$2 how record
    shift 2
    mkdir -p "$folder"
    cp "$DRAVNIK_WINDOWS_BUILD/dravnik.exe" "$folder/"
    cp "$E2E_DRIVER" "$folder/winhlp32.exe"
    record="$folder/winhlp32.exe.cmdline"
    e2e_run_bg app "$folder/dravnik.exe"
    e2e_must wait "$MAIN" >/dev/null
    for how in "$@"; do
        rm -f "$record"
        case $how in
            F1) e2e_must key "$MAIN" - F1 ;;
            menu) e2e_must command "$MAIN" $ID_HELP >/dev/null ;;
            toolbar) e2e_must toolbar-click "$MAIN" $ID_HELP >/dev/null ;;
        esac
        e2e_wait_file "$record"
        # Ended, so the record is complete.
        e2e_wait_exit winhlp32.exe
        e2e_assert_eq "$expected" "$(cat "$record")" "help command line ($how)"
    done
    # The splitter did not wait for the viewer and still answers.
    e2e_must key "$MAIN" - ESCAPE
    e2e_wait app
    e2e_assert_eq 0 "$E2E_STATUS" "exit code"
}

plain="$E2E_TMP/tools"
check_help "$plain" "winhlp32.exe $(e2e_winpath "$plain")\\DRAVNIK.HLP" F1 menu

spaced="$E2E_TMP/мои программы/dravnik v2"
check_help "$spaced" "winhlp32.exe \"$(e2e_winpath "$spaced")\\DRAVNIK.HLP\"" F1 toolbar
e2e_log "ok"
