#!/usr/bin/env bash
# The target's name in the chosen folder is a symbolic link to a file outside it, read-only or
# not. Answering Yes replaces the link by the restored file; the file the link pointed to keeps
# its bytes, its mode and its times. Under Wine a link looks like the file it points to, so this
# is what the unpacker cannot tell apart and must still not write through.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/unpacker_common.sh"
e2e_start

source="$E2E_TMP/source/data.bin"
make_source "$source" 50000
split_source "$source" "$E2E_TMP/archive/B" 20480
outside="$E2E_TMP/outside"
mkdir -p "$outside"

for mode in 444 644; do
    e2e_log "link to a file of mode $mode"
    dest="$E2E_TMP/dest-$mode"
    mkdir -p "$dest"
    echo "a file outside the chosen folder" >"$outside/kept-$mode.bin"
    chmod "$mode" "$outside/kept-$mode.bin"
    touch -d '@1000000000' "$outside/kept-$mode.bin"
    ln -s "$outside/kept-$mode.bin" "$dest/data.bin"
    before=$(e2e_fingerprint "$outside")

    start_archive "$E2E_TMP/archive/B.0.exe"
    pick_folder "$dest"
    e2e_must msgbox '???' yes 30 >/dev/null
    wait_unpacker_gone
    [ -L "$dest/data.bin" ] && e2e_fail "the link is still there"
    assert_restored "$source" "$dest/data.bin"
    e2e_assert_eq "$before" "$(e2e_fingerprint "$outside")" "the files outside"
    e2e_assert_eq "$mode" "$(stat -c %a "$outside/kept-$mode.bin")" "mode of the file outside"
done
e2e_log "ok"
