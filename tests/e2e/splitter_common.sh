# Helpers of the splitter window's end-to-end tests (tests/e2e/splitter_*_test.sh). Source it
# after lib.sh and e2e_start:
#
#   source "$(dirname "$0")/lib.sh"
#   source "$(dirname "$0")/splitter_common.sh"
#   e2e_start
#   spl_install
#   spl_start "$(e2e_winpath "$E2E_TMP/data/a b.bin")" -v20K
#
# Each test runs its own copy of dravnik.exe in E2E_TMP/app, so its dravnik.ini is its own.

SPL_WINDOW='Dravnik|'
SPL_APP=""

# Control ids of the form (splitter/ui/resource_ids.h).
ID_SOURCE_EDIT=301
ID_SOURCE_BROWSE=302
ID_ARCHIVE_EDIT=305
ID_ARCHIVE_BROWSE=306
ID_SIZE_VALUE=308
ID_VOLSIZE_BOX=310
ID_COUNT_VALUE=313
ID_SPLIT=314

SPL_IDLE_TITLE='Dravnik v2.3'

# Copies dravnik.exe into E2E_TMP/app (optionally with a dravnik.ini made from the lines given:
# joined with CR LF, no line end after the last).
spl_install() {
    SPL_APP="$E2E_TMP/app"
    mkdir -p "$SPL_APP"
    cp "$DRAVNIK_WINDOWS_BUILD/dravnik.exe" "$SPL_APP/dravnik.exe"
    if [ $# -gt 0 ]; then
        spl_write_ini "$@"
    fi
}

# Writes E2E_TMP/app/dravnik.ini from its lines (CR LF between them, none after the last).
spl_write_ini() {
    local first=1 line
    : >"$SPL_APP/dravnik.ini"
    for line in "$@"; do
        [ $first = 1 ] || printf '\r\n' >>"$SPL_APP/dravnik.ini"
        printf '%s' "$line" >>"$SPL_APP/dravnik.ini"
        first=0
    done
}

# Starts the splitter with ARGS and waits until its form is ready. The window shows before the
# command line is applied (a posted message, handled once the message loop runs), and applying
# it ends with the focus in a control (the source field or the split button); until then the
# focus is on the window itself. So a test never sees the form before its command line. (A
# test whose command line makes the program show a message at once starts it with e2e_run_bg.)
spl_start() {
    e2e_run_bg app "$SPL_APP/dravnik.exe" "$@"
    e2e_must wait "$SPL_WINDOW" >/dev/null
    e2e_driver focus "$SPL_WINDOW" '*' >/dev/null ||
        e2e_fail "the splitter never put the focus into its form (command line not applied)"
}

# Prints a control's text (ID - for the window's title) as it is now: for messages and values
# that no longer change. To check a state, use spl_assert_text.
spl_text() {
    e2e_must text "$SPL_WINDOW" "$1"
}

# spl_assert_text ID EXPECTED [SECS]: waits (up to E2E_WAIT, or SECS) until a control's text is
# EXPECTED ('*' stands for any run of characters); fails with what it shows. The program fills
# many fields on its own time (the size and the count after the source, the form after a dialog
# or a message box), so a state is never read once.
spl_assert_text() {
    e2e_wait_text ${3:+-t "$3"} "$SPL_WINDOW" "$1" "$2" "text of control $1"
}

# The same, where the test waits for a change it caused.
spl_wait_text() {
    spl_assert_text "$@"
}

# spl_assert_text_stays ID TEXT [SECS]: the control keeps showing TEXT for the quiet period.
spl_assert_text_stays() {
    local found
    found=$(e2e_driver keeps-text "$SPL_WINDOW" "$1" "$2" ${3:+"$3"} 2>&1 >/dev/null) ||
        e2e_fail "control $1 did not keep [$2] for $(e2e_secs "${3:-$E2E_QUIET_SECONDS}") s: ${found#e2e_driver: }"
}

# Waits until the keyboard focus is in control ID (it moves after a message box or a dialog
# has closed, on the program's time).
spl_assert_focus() {
    e2e_wait_focus "$SPL_WINDOW" "$1" "control with the focus"
}

# Moves the focus into a control. The control that loses it may answer with a message box, and
# the move only returns once that box is closed: so it runs in the background, and the caller
# answers the box (spl_expect_box) and then calls spl_focus_done.
spl_focus_async() {
    e2e_driver set-focus "$SPL_WINDOW" "$1" &
    SPL_FOCUS_PID=$!
}

spl_focus_done() {
    wait "$SPL_FOCUS_PID" || e2e_fail "moving the focus failed"
}

spl_items() {
    e2e_must items "$SPL_WINDOW" "$ID_VOLSIZE_BOX" | tr '\n' ' '
}

# Waits until the size list holds EXPECTED (its entries, each followed by a blank).
spl_assert_items() {
    e2e_wait_eq "$1" "${2:-size list}" spl_items
}

# Presses Enter in a control, through the program's message loop like a real key press.
spl_enter() {
    e2e_must key "$SPL_WINDOW" "$1" RETURN
}

# Expects a message box: spl_expect_box CAPTION TEXT [BUTTON [SECS]].
spl_expect_box() {
    local caption=$1 expected=$2 button=${3:-ok} text
    text=$(e2e_must msgbox "$caption" "$button" ${4:+"$4"})
    e2e_assert_eq "$expected" "$text" "message box '$caption'"
}

# Closes the window with Esc and waits for the program to end.
spl_close() {
    e2e_must key "$SPL_WINDOW" "${1:-$ID_SOURCE_EDIT}" ESCAPE
    e2e_wait app
}

# Makes a file of N pseudo-random bytes.
spl_make_file() {
    local path=$1 size=$2
    mkdir -p "$(dirname "$path")"
    head -c "$size" /dev/urandom >"$path"
}

# Checks the archive BASE (a Linux path without ".0.exe") against SOURCE: the unpacker image
# at its head, the name, the record, and the data of all members joined in order. Then
# the native front end joins it back, and the result is compared again. Prints the member count.
# spl_assert_archive BASE SOURCE WIDTH VOLUME_SIZE
spl_assert_archive() {
    local base=$1 source=$2 width=$3 volume=$4
    local zeros unpacker image_size name header joined k number members
    zeros=$(printf "%0${width}d" 0)
    unpacker="$base.$zeros.exe"
    e2e_assert_exists "$unpacker"
    e2e_assert_size "$unpacker" "$volume"
    image_size=$(stat -c %s "$DRAVNIK_WINDOWS_BUILD/unpacker.exe")
    cmp -s -n "$image_size" "$DRAVNIK_WINDOWS_BUILD/unpacker.exe" "$unpacker" ||
        e2e_fail "$unpacker does not start with the unpacker image"
    name=$(basename "$source")
    header=$((image_size + ${#name} + 1 + 32))
    joined="$E2E_TMP/joined.bin"
    tail -c +$((header + 1)) "$unpacker" >"$joined"
    members=1
    for ((k = 1; ; k++)); do
        number=$(printf "%0${width}d" "$k")
        [ -f "$base.$number.bin" ] || break
        cat "$base.$number.bin" >>"$joined"
        members=$((members + 1))
    done
    e2e_assert_same_bytes "$source" "$joined"
    rm -f "$joined"
    local cli="$DRAVNIK_NATIVE_BUILD/dravnik"
    [ -x "$cli" ] || cli="$DRAVNIK_NATIVE_BUILD/cli/dravnik"
    [ -x "$cli" ] || e2e_fail "no native dravnik in $DRAVNIK_NATIVE_BUILD"
    mkdir -p "$E2E_TMP/joined"
    "$cli" join "$unpacker" "$E2E_TMP/joined" -y >"$E2E_TMP/join.log" 2>&1 ||
        e2e_fail "dravnik join failed: $(cat "$E2E_TMP/join.log")"
    e2e_assert_same_bytes "$source" "$E2E_TMP/joined/$name"
    rm -rf "$E2E_TMP/joined"
    echo "$members"
}

# Skips the test when ImageMagick, which reads the screen, is missing.
spl_need_screen() {
    command -v import >/dev/null && command -v convert >/dev/null ||
        e2e_skip "ImageMagick's import and convert are needed to read the screen"
}

# spl_screen_pixels X Y WIDTH HEIGHT: the pixels of that rectangle of the window's client area,
# as it is on the screen now, one "X,Y: (R,G,B..." line each (ImageMagick's txt format).
spl_screen_pixels() {
    local origin x y shot="$E2E_TMP/screen.png"
    origin=$(e2e_must client-origin "$SPL_WINDOW")
    x=${origin% *}
    y=${origin#* }
    import -display "$DISPLAY" -window root "$shot" 2>/dev/null || e2e_fail "no screenshot"
    convert "$shot" -crop "${3}x${4}+$((x + $1))+$((y + $2))" +repage -depth 8 txt:-
}

# The red share of the disc's pixels (centre (510, 143), radius 43 in the window's client
# area), in per cent; false when the disc is not what is there.
spl_disc_red_part() {
    spl_screen_pixels 467 100 87 87 |
        awk -F'[,: ()]+' '
            /^[0-9]/ {
                dx = $1 - 43; dy = $2 - 43
                if (dx * dx + dy * dy > 40 * 40) next  # inside the red rim only
                n++
                if ($3 >= 240 && $4 <= 15 && $5 <= 15) red++
                else if ($3 >= 240 && $4 >= 240 && $5 >= 240) white++
            }
            END {
                if (n == 0 || red + white < 0.97 * n) exit 1
                printf "%d\n", 100 * red / n
            }'
}

# True when the form's empty white strip between the fields and the disc is white on the
# screen (the window painted it), false while anything else is there.
spl_form_painted() {
    spl_screen_pixels 395 100 60 85 |
        awk -F'[,: ()]+' '
            /^[0-9]/ { n++; if ($3 >= 240 && $4 >= 240 && $5 >= 240) white++ }
            END { exit (n > 0 && white == n) ? 0 : 1 }'
}
