#!/usr/bin/env bash
# The size box takes a text only when all of it is a size: "  650M", "+700M", "1.5e3K", "-1",
# "1e5" and "-5G" are refused with the message and the first list entry comes back, whether the
# box loses the focus or Enter is pressed in it; while one is typed no count is shown. Digits
# grouped as the window shows them are a size, kept in the list as plain digits. Neither the
# list nor dravnik.ini ever holds a refused text, and the next start reads all three sizes back.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/splitter_common.sh"
e2e_start
spl_install

source_file="$E2E_TMP/data/film.bin"
spl_make_file "$source_file" 100000
win_source=$(e2e_winpath "$source_file")
too_small="Размер тома не может быть меньше 20480!"

# type_size TEXT: types TEXT into the emptied size box.
type_size() {
    e2e_must set-focus "$SPL_WINDOW" "$ID_VOLSIZE_BOX"
    e2e_must wait-focus "$SPL_WINDOW" "$ID_VOLSIZE_BOX" 10
    e2e_must set-text "$SPL_WINDOW" "$ID_VOLSIZE_BOX" ""
    e2e_must type "$SPL_WINDOW" "$ID_VOLSIZE_BOX" "$1"
    spl_wait_text "$ID_VOLSIZE_BOX" "$1"
}

spl_start "$win_source" -v20K
spl_wait_text "$ID_COUNT_VALUE" 6
e2e_assert_eq "20K 1457664 1.38M " "$(spl_items)" "size list"

for size in '  650M' '+700M' '1.5e3K' '-1' '1e5' '-5G'; do
    type_size "$size"
    spl_wait_text "$ID_COUNT_VALUE" ""  # no size: no count
    spl_focus_async "$ID_SOURCE_EDIT"
    spl_expect_box '!!!' "$too_small"
    spl_focus_done
    spl_wait_text "$ID_VOLSIZE_BOX" "20K"
    spl_wait_text "$ID_COUNT_VALUE" 6
    e2e_assert_eq "20K 1457664 1.38M " "$(spl_items)" "size list after [$size]"
done

# Enter in the box applies the text first: refused once, and no split follows.
type_size '1e5'
e2e_must press "$SPL_WINDOW" RETURN
spl_expect_box '!!!' "$too_small"
e2e_driver msgbox '*' none 2 >/dev/null 2>&1 && e2e_fail "a second message followed the refusal"
spl_wait_text "$ID_VOLSIZE_BOX" "20K"
e2e_assert_eq "20K 1457664 1.38M " "$(spl_items)" "size list after Enter on 1e5"
e2e_assert_no_match "$E2E_TMP/data/film.bin.*"

# Grouped digits: the count while typing and the size applied are those of "30000".
type_size '30 000'
spl_wait_text "$ID_COUNT_VALUE" 4  # (100000 + 8 + 10273) / 30000, rounded up
e2e_must set-focus "$SPL_WINDOW" "$ID_SOURCE_EDIT"
spl_wait_text "$ID_VOLSIZE_BOX" "30000"
e2e_assert_eq "30000 20K 1457664 " "$(spl_items)" "size list after 30 000"
spl_assert_text "$ID_COUNT_VALUE" 4
spl_close

printf 'V2.3\r\nDONOTCLOSE\r\n30000\r\n20K\r\n1457664\r\n\r\n' >"$E2E_TMP/expected.ini"
e2e_assert_same_bytes "$E2E_TMP/expected.ini" "$SPL_APP/dravnik.ini"

# Next start: all three sizes come back; -v1e5 falls back silently to the first of them.
spl_start "$win_source" -v1e5
spl_wait_text "$ID_VOLSIZE_BOX" "30000"
e2e_assert_eq "30000 20K 1457664 " "$(spl_items)" "size list at the next start"
spl_wait_text "$ID_COUNT_VALUE" 4
e2e_driver msgbox '*' none 1 >/dev/null 2>&1 && e2e_fail "-v1e5 showed a message"
spl_close
e2e_assert_same_bytes "$E2E_TMP/expected.ini" "$SPL_APP/dravnik.ini"

# The decimal comma of a Russian keyboard: "1,38M" is 1.38M, shown and kept as "1.38M" (one
# entry, not a second one), and the split cuts volumes of exactly 1447034 bytes.
big="$E2E_TMP/data/big.bin"
spl_make_file "$big" 3000000
spl_start "$(e2e_winpath "$big")" -v20K "-a$(e2e_winpath "$E2E_TMP/data/comma")"
type_size '1,38M'
spl_wait_text "$ID_COUNT_VALUE" 3  # (3000000 + 7 + 10273) / 1447034, rounded up
e2e_must set-focus "$SPL_WINDOW" "$ID_SOURCE_EDIT"
spl_wait_text "$ID_VOLSIZE_BOX" "1.38M"
e2e_assert_eq "1.38M 20K 30000 " "$(spl_items)" "size list after 1,38M"
spl_enter "$ID_SOURCE_EDIT"
spl_expect_box ':-)' "Готово!"
e2e_assert_eq 3 "$(spl_assert_archive "$E2E_TMP/data/comma" "$big" 1 1447034)" "files of 1,38M"
spl_close
e2e_log "ok"
