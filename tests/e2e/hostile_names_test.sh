#!/usr/bin/env bash
# Awkward names, split and joined back byte for byte by the archive's own .exe:
# - a source name of 255 bytes, split by the command line from the source's folder into an
#   archive named with a relative folder ("../archive/long"), joined into a drive root (the only
#   place a 255-character name fits within the 259 characters of a Windows path);
# - a Cyrillic source name with blanks, split in the splitter window into "архивы с пробелами\
#   моя копия", a relative folder that counts from the source's folder (never from the
#   splitter's current folder), joined into a Cyrillic folder.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/unpacker_common.sh"
source "$(dirname "$0")/splitter_common.sh"
source "$(dirname "$0")/hostile_common.sh"
e2e_start

# --- 255 bytes ---------------------------------------------------------------------------------
long_name="$(printf 'n%.0s' {1..251}).dat"
e2e_assert_eq 255 "${#long_name}" "name length"
source_dir="$E2E_TMP/long/source"
make_source "$source_dir/$long_name" 50000
mkdir -p "$E2E_TMP/long/archive"
(cd "$source_dir" && unpacker_cli split "$long_name" -v20480 -a../archive/long -y) \
    >"$E2E_TMP/split-long.log" 2>&1 || e2e_fail "split of the long name: $(cat "$E2E_TMP/split-long.log")"
archive="$E2E_TMP/long/archive"
e2e_assert_eq $'long.0.exe\nlong.1.bin\nlong.2.bin' "$(ls "$archive")" "members"
before=$(e2e_fingerprint "$archive")

root="$WINEPREFIX/drive_c"
root_before=$(shallow_listing "$root")
start_archive "$archive/long.0.exe"
wait_unpacker_window "$long_name" >/dev/null
e2e_must browse-folder 'C:\' >/dev/null
wait_unpacker_gone
assert_restored "$source_dir/$long_name" "$root/$long_name"
e2e_assert_eq "$(printf '%s\n%s\t50000' "$root_before" "$long_name" | LC_ALL=C sort)" \
    "$(shallow_listing "$root")" "drive root contents"
e2e_assert_eq "$before" "$(e2e_fingerprint "$archive")" "archive fingerprint"

# --- Cyrillic and blanks, in the splitter window -------------------------------------------------
spl_install
name="Отчёт за 2019 год (финал).doc"
source_file="$E2E_TMP/исходные файлы/$name"
make_source "$source_file" 90000
work="$E2E_TMP/рабочая папка"
folder="архивы с пробелами"
mkdir -p "$work/$folder" "$E2E_TMP/исходные файлы/$folder"
cd "$work"
spl_start "$(e2e_winpath "$source_file")" -v20K -a "$folder\\моя копия"
spl_assert_text "$ID_ARCHIVE_EDIT" "$folder\\моя копия"
spl_assert_text "$ID_COUNT_VALUE" "5"
spl_enter "$ID_SPLIT"
spl_expect_box ':-)' "Готово!"
spl_close
cd "$E2E_TMP"
e2e_assert_eq "" "$(ls -A "$work/$folder")" "the current folder's files"
base="$E2E_TMP/исходные файлы/$folder/моя копия"
members=$(spl_assert_archive "$base" "$source_file" 1 20480)
e2e_assert_eq 5 "$members" "members written"
before=$(e2e_fingerprint "$E2E_TMP/исходные файлы")

dest="$E2E_TMP/куда распаковать"
mkdir -p "$dest"
start_archive "$base.0.exe"
wait_unpacker_window "$name" >/dev/null
pick_folder "$dest"
wait_unpacker_gone
assert_restored "$source_file" "$dest/$name"
e2e_assert_eq "$name" "$(ls "$dest")" "destination contents"
e2e_assert_eq "$before" "$(e2e_fingerprint "$E2E_TMP/исходные файлы")" "archive folder fingerprint"
e2e_log "ok"
