#!/usr/bin/env bash
# The splitter window under Wine with a sparse source of 4 GiB + 300 MiB: it shows the whole
# size with its digits grouped and the file count for 1 GiB and 4095 MiB volumes, refuses a
# volume size of 4 GiB and more with a message of its own, and splits the source into an
# archive of five members that holds it byte for byte and carries its times.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/unpacker_common.sh"
source "$(dirname "$0")/splitter_common.sh"
source "$(dirname "$0")/large_common.sh"
large_start
spl_install

source_file="$E2E_TMP/source/$LARGE_NAME"
large_make_source "$source_file"
base="$E2E_TMP/archive/B"
mkdir -p "$(dirname "$base")"

spl_start "$(e2e_winpath "$source_file")" -v1G "-a$(e2e_winpath "$base")"
spl_wait_text "$ID_SIZE_VALUE" "4 609 540 096"
spl_wait_text "$ID_COUNT_VALUE" "5"

# typed_size TEXT: types TEXT into the emptied size box.
typed_size() {
    e2e_must set-focus "$SPL_WINDOW" "$ID_VOLSIZE_BOX"
    e2e_must set-text "$SPL_WINDOW" "$ID_VOLSIZE_BOX" ""
    e2e_must type "$SPL_WINDOW" "$ID_VOLSIZE_BOX" "$1"
    spl_wait_text "$ID_VOLSIZE_BOX" "$1"
}

# 4 GiB and more: no count while typed, a message of its own when applied, then the first entry.
for text in 5G 4096M; do
    typed_size "$text"
    spl_wait_text "$ID_COUNT_VALUE" ""
    spl_focus_async "$ID_SOURCE_EDIT"
    spl_expect_box '!!!' "Размер тома должен быть меньше 4 ГБ!"
    spl_focus_done
    spl_wait_text "$ID_VOLSIZE_BOX" "1G"
    spl_wait_text "$ID_COUNT_VALUE" "5"
done

# The largest volume a FAT32 stick takes: two files.
typed_size 4095M
spl_wait_text "$ID_COUNT_VALUE" "2"
typed_size 1G
spl_wait_text "$ID_COUNT_VALUE" "5"

start=$(large_now)
e2e_must set-focus "$SPL_WINDOW" "$ID_SPLIT"
spl_enter "$ID_SPLIT"
text=""
for ((i = 0; i < 10; i++)); do
    text=$(e2e_driver msgbox ':-)' ok 100) && break
done
e2e_assert_eq "Готово!" "$text" "message after the split"
large_log_time "the window's split into 1 GiB volumes under Wine" "$start"
spl_wait_text - "$SPL_IDLE_TITLE"
spl_close "$ID_SOURCE_EDIT"

start=$(large_now)
source_sum=$(large_cksum "$source_file")
large_log_time "checksum of the sparse source" "$start"
large_assert_archive "$base" 1 5 "$LARGE_GIB" $((LARGE_SIZE + LARGE_HEADER - 4 * LARGE_GIB)) \
    "$source_sum"
large_assert_info "$base.0.exe" 5
info=$(unpacker_cli info "$base.0.exe")
grep -qx "target name: *$LARGE_NAME" <<<"$info" || e2e_fail "target name: $info"
grep -qx "written: *2019-03-04T05:06:07.1234567Z" <<<"$info" || e2e_fail "last-write time: $info"
e2e_log "ok"
