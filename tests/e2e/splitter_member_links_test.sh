#!/usr/bin/env bash
# Member names that are links, and base names spelled with forward slashes. Under Wine a link to
# a file looks like the file, and deleting it deletes the file it points to: a split over an
# older archive whose member and further volume names link outside replaces the links themselves,
# and the files outside keep their bytes. A base name with '/' separators finds the source and
# the older archive just as one with '\' does.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/splitter_common.sh"
e2e_start
spl_install

src="$E2E_TMP/src"
out="$E2E_TMP/out"
mkdir -p "$out"
spl_make_file "$src/data.bin" 100000
echo KEEP-ME >"$out/keep"
echo KEEP-TOO >"$out/p"
# An older archive of 8 members (150000 + 10280 bytes in 20K volumes).
spl_make_file "$src/old.bin" 150000
"$DRAVNIK_NATIVE_BUILD/dravnik" split "$src/old.bin" -v20K "-a$src/s" >"$E2E_TMP/old.log" 2>&1 ||
    e2e_fail "the older archive: $(cat "$E2E_TMP/old.log")"
[ -f "$src/s.7.bin" ] || e2e_fail "the older archive has no volume 7"

spl_start "$(e2e_winpath "$src/data.bin")" -v20K
spl_wait_text "$ID_COUNT_VALUE" 6

# The older archive's last volume (7, beyond M = 6) and a member (volume 3) link outside.
ln -sf ../out/keep "$src/s.7.bin"
ln -sf ../out/p "$src/s.3.bin"
e2e_must set-text "$SPL_WINDOW" "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$src/s")"
spl_wait_text "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$src/s")"
spl_enter "$ID_ARCHIVE_EDIT"
spl_expect_box '???' "Вы хотите перезаписать существующий архив?" yes
spl_expect_box ':-)' "Готово!"
spl_wait_text - "$SPL_IDLE_TITLE"
e2e_assert_eq KEEP-ME "$(cat "$out/keep")" "the file behind the stale link"
e2e_assert_eq KEEP-TOO "$(cat "$out/p")" "the file behind the member link"
[ -L "$src/s.3.bin" ] && e2e_fail "s.3.bin is still a link"
[ -e "$src/s.7.bin" ] || [ -L "$src/s.7.bin" ] && e2e_fail "the stale link s.7.bin is still there"
e2e_assert_eq 6 "$(spl_assert_archive "$src/s" "$src/data.bin" 1 20480)" "members written"
printf old >"$src/s.0.exe"
rm -f "$src"/s.[1-9].bin

# Forward slashes: the older archive s.0.exe is found, so the question comes; No writes nothing.
slashed=$(e2e_winpath "$src/s" | tr '\\' '/')
before=$(e2e_fingerprint "$src")
e2e_must set-text "$SPL_WINDOW" "$ID_ARCHIVE_EDIT" "$slashed"
spl_wait_text "$ID_ARCHIVE_EDIT" "$slashed"
spl_enter "$ID_ARCHIVE_EDIT"
spl_expect_box '???' "Вы хотите перезаписать существующий архив?" no
e2e_assert_eq "$before" "$(e2e_fingerprint "$src")" "archive folder after No"
spl_close "$ID_ARCHIVE_EDIT"

# Forward slashes reaching the source itself: the conflict, and the source stays.
spl_make_file "$src/t.00.exe" 250000
before=$(e2e_fingerprint "$src")
spl_start "$(e2e_winpath "$src/t.00.exe")" -v20K "-a$(e2e_winpath "$src/t" | tr '\\' '/')"
spl_wait_text "$ID_COUNT_VALUE" 13
spl_enter "$ID_SOURCE_EDIT"
spl_expect_box '!!!' "Конфликт имен архива и исходного файла!"
e2e_assert_eq "$before" "$(e2e_fingerprint "$src")" "source folder after the refusal"
spl_close "$ID_ARCHIVE_EDIT"
e2e_log "ok"
