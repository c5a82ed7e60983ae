#!/usr/bin/env bash
# The settings dialog, opened from the menu and from the toolbar: its texts, Apply's enabling,
# OK / Cancel / Apply on the working copies, the "name browsed" flag surviving a change of the
# default folder, and the result reaching dravnik.ini at exit.
source "$(dirname "$0")/lib.sh"
e2e_start

ID_ARCHIVE_BROWSE=306
ID_SETTINGS=352
ID_EXIT=355
ID_SET_GROUP=452
ID_SET_BESIDE_PREVIOUS=453
ID_SET_BESIDE_SOURCE=454
ID_SET_CLOSE_AFTER=455
ID_SET_APPLY=456
MAIN='Dravnik|Dravnik v2.3'
DIALOG='#32770|Настройки'

app="$E2E_TMP/app"
prev="$E2E_TMP/prev"
out="$E2E_TMP/out"
mkdir -p "$app" "$prev" "$out"
cp "$DRAVNIK_WINDOWS_BUILD/dravnik.exe" "$app/"
# New archives beside the previous one, in prev.
printf 'V2.3\r\nDONOTCLOSE\r\n1457664\r\n1.38M\r\n650M\r\n\r\n%s\\' "$(e2e_winpath "$prev")" \
    >"$app/dravnik.ini"

# Opens the dialog by the menu command or the toolbar button; prints its handle. Apply is
# always disabled right after opening.
open_settings() {
    local how=$1 dialog
    if [ "$how" = menu ]; then
        e2e_must command "$MAIN" $ID_SETTINGS >/dev/null
    else
        e2e_must toolbar-click "$MAIN" $ID_SETTINGS >/dev/null
    fi
    dialog=$(e2e_must wait "$DIALOG")
    e2e_must enabled "$dialog" $ID_SET_APPLY 0 >/dev/null ||
        e2e_fail "Apply is enabled after opening ($how)"
    echo "$dialog"
}

# Checks what the dialog shows: the default folder (previous|source) and the close flag.
expect_shown() {
    local dialog=$1 folder=$2 close=$3 what=$4
    local previous=1 source=0
    [ "$folder" = source ] && previous=0 source=1
    e2e_must checked "$dialog" $ID_SET_BESIDE_PREVIOUS $previous >/dev/null ||
        e2e_fail "$what: 'beside the previous archive' should be $previous"
    e2e_must checked "$dialog" $ID_SET_BESIDE_SOURCE $source >/dev/null ||
        e2e_fail "$what: 'beside the source' should be $source"
    e2e_must checked "$dialog" $ID_SET_CLOSE_AFTER "$close" >/dev/null ||
        e2e_fail "$what: the close check box should be $close"
}

click_and_wait_apply() {
    e2e_must click "$1" "$2"
    e2e_must enabled "$1" $ID_SET_APPLY 1 >/dev/null
}

end_dialog() {
    e2e_must click "$1" "$2"
    e2e_must wait-gone "$1" >/dev/null
}

# The folder the archive-name save dialog opens in; the dialog is then cancelled, which leaves
# the settings as they were.
save_dialog_folder() {
    local folder
    e2e_must click "$MAIN" $ID_ARCHIVE_BROWSE
    folder=$(e2e_must file-folder)
    e2e_must open-cancel >/dev/null
    echo "$folder"
}

e2e_run_bg app "$app/dravnik.exe"
e2e_must wait "$MAIN" >/dev/null

# Texts, all set when the dialog opens; the stored settings are shown.
dialog=$(open_settings menu)
e2e_wait_text "$dialog" - "Настройки" "caption"
e2e_wait_text "$dialog" $ID_SET_GROUP "Каталог для архива (по умолчанию)" "group"
e2e_wait_text "$dialog" $ID_SET_BESIDE_PREVIOUS "Вместе с предыдущим архивом" "453"
e2e_wait_text "$dialog" $ID_SET_BESIDE_SOURCE "Вместе с разбиваемым файлом" "454"
e2e_wait_text "$dialog" $ID_SET_CLOSE_AFTER "Выйти из программы после окончания работы" "455"
e2e_wait_text "$dialog" 1 "Да" "OK"
e2e_wait_text "$dialog" 2 "Отмена" "Cancel"
e2e_wait_text "$dialog" $ID_SET_APPLY "Применить" "Apply"
expect_shown "$dialog" previous 0 "first opening"
# A click on the choice that is already made still enables Apply.
click_and_wait_apply "$dialog" $ID_SET_BESIDE_PREVIOUS
end_dialog "$dialog" 2

# With neither flag set, the save dialog starts in the previous archive's folder.
e2e_assert_eq "$(e2e_winpath "$prev")" "$(save_dialog_folder)" "save dialog folder, mode 0"

# Beside the source + OK (mode 2), then an archive name picked in the save dialog (mode 3).
dialog=$(open_settings toolbar)
click_and_wait_apply "$dialog" $ID_SET_BESIDE_SOURCE
end_dialog "$dialog" 1
e2e_must click "$MAIN" $ID_ARCHIVE_BROWSE
e2e_must open-file "$(e2e_winpath "$out/picked")" >/dev/null
e2e_wait_text "$MAIN" 305 "$(e2e_winpath "$out/picked")" "archive field after the save dialog"

# Mode 3 shows "beside the source"; back to "beside the previous archive" + OK leaves mode 1:
# the name-browsed flag survives, so the save dialog does not jump to the previous archive's
# folder (it would with mode 0).
dialog=$(open_settings toolbar)
expect_shown "$dialog" source 0 "mode 3"
click_and_wait_apply "$dialog" $ID_SET_BESIDE_PREVIOUS
end_dialog "$dialog" 1
dialog=$(open_settings menu)
expect_shown "$dialog" previous 0 "mode 1"
end_dialog "$dialog" 2
folder=$(save_dialog_folder)
[ "$folder" != "$(e2e_winpath "$prev")" ] ||
    e2e_fail "the save dialog opened in the previous archive's folder: the name-browsed flag was lost"

# Toggling the check box twice + OK keeps its value, although Apply was enabled.
dialog=$(open_settings menu)
click_and_wait_apply "$dialog" $ID_SET_CLOSE_AFTER
e2e_must checked "$dialog" $ID_SET_CLOSE_AFTER 1 >/dev/null
e2e_must click "$dialog" $ID_SET_CLOSE_AFTER
e2e_must checked "$dialog" $ID_SET_CLOSE_AFTER 0 >/dev/null
end_dialog "$dialog" 1
dialog=$(open_settings toolbar)
expect_shown "$dialog" previous 0 "after toggling twice"

# Changes, Apply (disabled again), then Cancel: the applied values stay.
click_and_wait_apply "$dialog" $ID_SET_CLOSE_AFTER
e2e_must click "$dialog" $ID_SET_BESIDE_SOURCE
e2e_must checked "$dialog" $ID_SET_BESIDE_SOURCE 1 >/dev/null
e2e_must click "$dialog" $ID_SET_APPLY
e2e_must enabled "$dialog" $ID_SET_APPLY 0 >/dev/null ||
    e2e_fail "Apply is still enabled after Apply"
# A change after Apply enables it again; Cancel then drops that change only.
click_and_wait_apply "$dialog" $ID_SET_BESIDE_PREVIOUS
end_dialog "$dialog" 2
dialog=$(open_settings menu)
expect_shown "$dialog" source 1 "after Apply and Cancel"

# Changes and Esc (Cancel): the next opening shows the live values, and OK without a click
# keeps them.
click_and_wait_apply "$dialog" $ID_SET_CLOSE_AFTER
e2e_must key "$dialog" - ESCAPE
e2e_must wait-gone "$dialog" >/dev/null
dialog=$(open_settings toolbar)
expect_shown "$dialog" source 1 "after Esc"
end_dialog "$dialog" 1

# The menu's exit saves the settings: close flag and "-" for the folder beside the source.
e2e_must command "$MAIN" $ID_EXIT >/dev/null
e2e_wait app
e2e_assert_eq 0 "$E2E_STATUS" "exit code"
e2e_assert_eq "CLOSE" "$(sed -n 2p "$app/dravnik.ini" | tr -d '\r')" "dravnik.ini line 2"
e2e_assert_eq "-" "$(sed -n 7p "$app/dravnik.ini")" "dravnik.ini line 7"
e2e_log "ok"
