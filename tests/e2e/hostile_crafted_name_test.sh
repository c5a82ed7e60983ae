#!/usr/bin/env bash
# Unpacker files whose header names a target that would leave the destination folder or not be
# a file at all ("..\x", "C:\x", "a/b", "NUL"), made by patching a real archive's name bytes.
# The Windows unpacker refuses each before it asks for a folder, `dravnik join` refuses each with
# a folder given, both with "Неверный заголовок архива:" and the archive's path; nothing is
# written into the destination, its parent, the archive's folder or a drive root.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/unpacker_common.sh"
source "$(dirname "$0")/hostile_common.sh"
e2e_start

source="$E2E_TMP/source/data.bin"
make_source "$source" 50000
split_source "$source" "$E2E_TMP/real/B" 20480
scene="$E2E_TMP/scene"
dest="$scene/place/dest"
mkdir -p "$dest"
echo "already here" >"$dest/old.txt"
drive_c="$WINEPREFIX/drive_c"

# Everything a wayward name could reach, listed before and after each run.
snapshot() {
    e2e_fingerprint "$dest"
    shallow_listing "$scene/place"
    shallow_listing "$scene"
    shallow_listing "$drive_c"
    shallow_listing "$drive_c/windows"
    ls -d /x /a /NUL 2>/dev/null || true
}
before=$(snapshot)

# assert_unchanged WHAT: the snapshot is still the one taken first.
assert_unchanged() {
    local now
    now=$(snapshot)
    [ "$before" = "$now" ] || e2e_fail "$1: $(diff <(echo "$before") <(echo "$now"))"
}

case_number=0
for name in '..\x' 'C:\x' 'a/b' 'NUL' 'nul.txt' '..'; do
    case_number=$((case_number + 1))
    archive="$E2E_TMP/crafted$case_number"
    mkdir -p "$archive"
    patch_target_name "$E2E_TMP/real/B.0.exe" "$name" "$archive/B.0.exe"
    cp "$E2E_TMP/real/"B.*.bin "$archive/"
    archive_print=$(e2e_fingerprint "$archive")
    e2e_log "target name [$name]"

    # Windows: the temporary copy says so at once and removes itself.
    start_archive "$archive/B.0.exe"
    message=$(e2e_must msgbox ':-(' ok)
    e2e_assert_eq "Неверный заголовок архива:
$(e2e_winpath "$archive/B.0.exe")" "$message" "unpacker's message for [$name]"
    wait_unpacker_gone
    assert_unchanged "folders after the unpacker refused [$name]"

    # The command line, with the folder given and overwriting allowed.
    status=0
    unpacker_cli join "$archive/B.0.exe" "$dest" -y </dev/null >"$E2E_TMP/join.log" 2>&1 || status=$?
    e2e_assert_eq 1 "$status" "exit code of dravnik join for [$name]"
    e2e_assert_eq "dravnik join: Неверный заголовок архива:
$archive/B.0.exe" "$(cat "$E2E_TMP/join.log")" "dravnik join's message for [$name]"
    assert_unchanged "folders after dravnik join refused [$name]"
    e2e_assert_eq "$archive_print" "$(e2e_fingerprint "$archive")" "crafted archive"
done
e2e_log "ok"
