#!/usr/bin/env bash
# The progress disc of a large archive fills as the files are written: a split of about 300
# files that stops half-way (a small disk fills up at volume 147 of 294) leaves about half
# of the disc red, read from the pixels of a screenshot, though the files it wrote are removed
# again. Before, the first step of any archive above about 270 files painted the whole disc red
# at once.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/splitter_common.sh"
e2e_start
spl_install
spl_need_screen

source_file="$E2E_TMP/data/big.bin"
spl_make_file "$source_file" 6000000
out="$E2E_TMP/out"
# Room for the unpacker file and volumes 1 to 146 of 20480 bytes (five pages each), no more.
e2e_mount_tmpfs "$out" $((147 * 20480))
base="$out/a"

spl_start "$(e2e_winpath "$source_file")" -v20K "-a$(e2e_winpath "$base")"
spl_wait_text "$ID_COUNT_VALUE" 294  # (6000000 + 7 + 10273) / 20480, rounded up
spl_enter "$ID_SPLIT"
text=$(e2e_must msgbox ':-(' ok 120)
e2e_assert_eq $'Ошибка!\nВозможно, нет места на диске' "$text" "error message"
spl_wait_text - "$SPL_IDLE_TITLE"
# What the split wrote is gone again; the disc still shows how far it came.
[ -z "$(ls -A "$out")" ] || e2e_fail "the failed split left: $(ls -A "$out" | head -3)"

# The box has gone and nothing repainted the window: the disc stays as far as it was drawn.
red=$(spl_disc_red_part) || e2e_fail "the disc is not on the screen (see $E2E_TMP/screen.png)"
e2e_log "disc $red% red after 147 of 294 steps"
[ "$red" -ge 42 ] && [ "$red" -le 58 ] || e2e_fail "the disc is $red% red, not about half"
spl_close "$ID_ARCHIVE_EDIT"
e2e_log "ok"
