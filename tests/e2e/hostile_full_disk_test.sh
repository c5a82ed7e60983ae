#!/usr/bin/env bash
# The disk fills up in the middle of a split in the splitter window (in volume 3 of 7):
# "Ошибка!\nВозможно, нет места на диске" is shown, the title is "Dravnik v2.3" again, what the
# split wrote is gone again, and nothing else is removed (another file on the same disk, the
# source). Once space is freed, the same archive is split again, with no question since no member
# is left, and the new archive joins back by its own .exe byte for byte.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/unpacker_common.sh"
source "$(dirname "$0")/splitter_common.sh"
e2e_start
spl_install

volume=20480
name="film.avi"
source_file="$E2E_TMP/data/$name"
make_source "$source_file" 150000  # M = 8: film.0.exe, film.1.bin .. film.7.bin
source_print=$(e2e_fingerprint "$E2E_TMP/data")
disk="$E2E_TMP/disk"
e2e_mount_tmpfs "$disk" 256k
# 17 pages of 4 KiB stay free: 5 for each of the first three members, 2 for volume 3.
head -c $((46 * 4096)) /dev/zero >"$disk/ballast"
echo "another file on the same disk" >"$disk/keep.txt"
keep_print=$(e2e_fingerprint "$disk" | grep -v ballast)
base="$disk/film"

spl_start "$(e2e_winpath "$source_file")" -v20K "-a$(e2e_winpath "$base")"
spl_assert_text "$ID_COUNT_VALUE" "8"
spl_enter "$ID_SPLIT"
text=$(e2e_must msgbox ':-(' ok)
e2e_assert_eq $'Ошибка!\nВозможно, нет места на диске' "$text" "error message"
spl_wait_text - "$SPL_IDLE_TITLE"
spl_assert_focus "$ID_ARCHIVE_EDIT"

# Nothing of the archive is left: no unpacker file, no volume, no unfinished file.
left=$(ls -A "$disk" | grep -v -e ballast -e keep.txt || true)
[ -z "$left" ] || e2e_fail "the failed split left: $(echo $left)"
e2e_assert_eq "$keep_print" "$(e2e_fingerprint "$disk" | grep -v -e ballast -e 'film\.')" \
    "the disk's other file"
e2e_assert_eq "$source_print" "$(e2e_fingerprint "$E2E_TMP/data")" "source folder"

# Space freed: the same archive again.
rm "$disk/ballast"
spl_assert_text "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$base")"
spl_enter "$ID_ARCHIVE_EDIT"
spl_expect_box ':-)' "Готово!"
spl_wait_text - "$SPL_IDLE_TITLE"
spl_close
members=$(spl_assert_archive "$base" "$source_file" 1 "$volume")
e2e_assert_eq 8 "$members" "members after the second split"
e2e_assert_eq "$keep_print" "$(e2e_fingerprint "$disk" | grep -v 'film\.')" "the disk's other file"

dest="$E2E_TMP/dest"
mkdir -p "$dest"
start_archive "$base.0.exe"
wait_unpacker_window "$name" >/dev/null
pick_folder "$dest"
wait_unpacker_gone
assert_restored "$source_file" "$dest/$name"
e2e_log "ok"
