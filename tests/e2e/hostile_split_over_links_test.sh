#!/usr/bin/env bash
# An older archive whose members are symbolic links to files outside its folder: member 0 to a
# read-only file, volume 1 to a writable one, and the name of volume 6 to another. Splitting over
# it with Yes in the splitter window replaces the member links by new members and leaves the
# link at 6 alone (no archive counts it: member 0 is no archive), and the files outside keep
# their bytes and modes (Wine shows a link as the file it reaches and deletes that file when
# asked to delete the link).
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/splitter_common.sh"
e2e_start
spl_install

source_file="$E2E_TMP/data/data.bin"
spl_make_file "$source_file" 100000
outside="$E2E_TMP/outside"
mkdir -p "$outside" "$E2E_TMP/out"
base="$E2E_TMP/out/arch"
for file in ro member stale; do
    echo "outside the archive's folder: $file" >"$outside/$file.bin"
done
chmod 444 "$outside/ro.bin"
ln -s "$outside/ro.bin" "$base.0.exe"
ln -s "$outside/member.bin" "$base.1.bin"
ln -s "$outside/stale.bin" "$base.6.bin"
before=$(e2e_fingerprint "$outside")

spl_start "$(e2e_winpath "$source_file")" -v20K "-a$(e2e_winpath "$base")"
spl_assert_text "$ID_COUNT_VALUE" "6"
spl_enter "$ID_SOURCE_EDIT"
spl_expect_box '???' "Вы хотите перезаписать существующий архив?" yes
spl_expect_box ':-)' "Готово!"
spl_close

e2e_assert_eq "$before" "$(e2e_fingerprint "$outside")" "the files outside"
e2e_assert_eq 444 "$(stat -c %a "$outside/ro.bin")" "mode of the read-only file outside"
for member in 0.exe 1.bin; do
    [ -L "$base.$member" ] && e2e_fail "$base.$member is still a link"
done
[ -L "$base.6.bin" ] || e2e_fail "the link at $base.6.bin, nobody's member, is gone"
rm "$base.6.bin"  # the archive is read back by its names, up to the first that is not there
members=$(spl_assert_archive "$base" "$source_file" 1 20480)
e2e_assert_eq 6 "$members" "members written"
e2e_log "ok"
