#!/usr/bin/env bash
# An archive made by the command line joins itself back under Wine: started without an argument
# it relaunches from the temporary folder, the user picks a folder, and the target is the source
# byte for byte with its last-write time; the copy and its batch file are gone afterwards and
# the archive's files are unchanged. For the smallest archive (M = 2) and a two-digit one (W = 2).
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/unpacker_common.sh"
e2e_start

# join_and_check SOURCE_SIZE EXPECTED_MEMBERS UNPACKER_NAME
join_and_check() {
    local size=$1 members=$2 exe_name=$3
    local case_dir="$E2E_TMP/m$members"
    local source="$case_dir/source/data.bin"
    make_source "$source" "$size"
    split_source "$source" "$case_dir/archive/B" 20480
    local count
    count=$(find "$case_dir/archive" -type f | wc -l)
    e2e_assert_eq "$members" "$count" "members written"
    e2e_assert_exists "$case_dir/archive/$exe_name"
    local before
    before=$(e2e_fingerprint "$case_dir/archive")
    mkdir -p "$case_dir/dest"

    start_archive "$case_dir/archive/$exe_name"
    wait_unpacker_window data.bin >/dev/null
    pick_folder "$case_dir/dest"
    wait_unpacker_gone

    assert_restored "$source" "$case_dir/dest/data.bin"
    e2e_assert_eq "data.bin" "$(ls "$case_dir/dest")" "destination folder contents"
    e2e_assert_eq "$before" "$(e2e_fingerprint "$case_dir/archive")" "archive fingerprint"
}

# M = 2: one volume, number "1".
join_and_check 20000 2 B.0.exe
# M = 11: W = 2, volumes "01" to "10".
join_and_check 200000 11 B.00.exe

e2e_log "ok"
