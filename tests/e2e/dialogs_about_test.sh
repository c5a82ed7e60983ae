#!/usr/bin/env bash
# The About dialog, opened from the menu and from the toolbar: the same texts at every opening,
# and the two ">>" buttons handing the fields' texts (web address cut at 38 characters,
# "mailto:" + at most 31) to the desktop's programs, which are stand-ins that record what they
# were given.
source "$(dirname "$0")/lib.sh"
e2e_start

ID_ABOUT=354
ID_ABOUT_URL=403
ID_ABOUT_URL_GO=404
ID_ABOUT_MAIL=405
ID_ABOUT_MAIL_GO=406
MAIN='Dravnik|Dravnik v2.3'
DIALOG='#32770|О программе'

app="$E2E_TMP/app"
mkdir -p "$app"
cp "$DRAVNIK_WINDOWS_BUILD/dravnik.exe" "$app/"
# The web browser and the mail program: copies of the driver that record their command line.
cp "$E2E_DRIVER" "$app/browser.exe"
cp "$E2E_DRIVER" "$app/mailer.exe"
for pair in "http:browser" "mailto:mailer"; do
    handler="\"$(e2e_winpath "$app/${pair#*:}.exe")\" \"%1\""
    wine reg add "HKCR\\${pair%%:*}\\shell\\open\\command" /ve /d "$handler" /f \
        >/dev/null 2>&1 || e2e_fail "cannot register the ${pair%%:*} stand-in"
done

# Prints the caption and every control's text in template order, one per line (read once: the
# callers wait for the texts they expect with e2e_wait_eq).
about_texts() {
    local dialog=$1
    e2e_must text "$dialog" -
    e2e_must children "$dialog" | cut -f4-
}

# Presses a ">>" button and prints the address the stand-in program received.
follow_link() {
    local dialog=$1 button=$2 program=$3 record="$app/$3.exe.cmdline"
    rm -f "$record"
    e2e_must click "$dialog" "$button"
    e2e_wait_file "$record"
    # Ended, so the record is complete.
    e2e_wait_exit "$program.exe"
    # The command line is "<program>" "<address>": keep the address.
    sed -e 's/^"[^"]*" //' -e 's/^"//' -e 's/"$//' "$record"
}

e2e_run_bg app "$app/dravnik.exe"
e2e_must wait "$MAIN" >/dev/null

e2e_must command "$MAIN" $ID_ABOUT >/dev/null
dialog=$(e2e_must wait "$DIALOG")
expected="О программе
Dravnik v2.3
Разрезание файлов на тома с самосборкой
URL:
http://drv.test/dravnik/
>>
E-mail:
info@drv.test
>>
Копирование разрешается
Хорошо"
e2e_wait_eq "$expected" "About texts (first opening)" about_texts "$dialog"
first=$expected
e2e_must click "$dialog" 1
e2e_must wait-gone "$dialog" >/dev/null

# The second opening, from the toolbar, shows the same texts: nothing was unscrambled twice.
e2e_must toolbar-click "$MAIN" $ID_ABOUT >/dev/null
dialog=$(e2e_must wait "$DIALOG")
e2e_wait_eq "$first" "About texts (second opening)" about_texts "$dialog"

# The links are read from the fields when the buttons are pressed.
e2e_assert_eq "http://drv.test/dravnik/" "$(follow_link "$dialog" $ID_ABOUT_URL_GO browser)" \
    "web link"
e2e_assert_eq "mailto:info@drv.test" "$(follow_link "$dialog" $ID_ABOUT_MAIL_GO mailer)" \
    "mail link"
long_url="http://a-rather-long-name.drv.test/and/a/path/behind/it"
e2e_must set-text "$dialog" $ID_ABOUT_URL "$long_url"
e2e_assert_eq "${long_url:0:38}" "$(follow_link "$dialog" $ID_ABOUT_URL_GO browser)" \
    "web link cut at 38"
long_mail="someone.with.a.long.name@mail.drv.test"
e2e_must set-text "$dialog" $ID_ABOUT_MAIL "$long_mail"
e2e_assert_eq "mailto:${long_mail:0:31}" "$(follow_link "$dialog" $ID_ABOUT_MAIL_GO mailer)" \
    "mail link cut at 31"

# Esc ends the dialog; the third opening again shows the stored texts, not the edited fields.
e2e_must key "$dialog" - ESCAPE
e2e_must wait-gone "$dialog" >/dev/null
e2e_must command "$MAIN" $ID_ABOUT >/dev/null
dialog=$(e2e_must wait "$DIALOG")
e2e_wait_eq "$first" "About texts (third opening)" about_texts "$dialog"
e2e_must click "$dialog" 1
e2e_must wait-gone "$dialog" >/dev/null

e2e_must key "$MAIN" - ESCAPE
e2e_wait app
e2e_assert_eq 0 "$E2E_STATUS" "exit code"
e2e_log "ok"
