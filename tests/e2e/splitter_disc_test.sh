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
command -v import >/dev/null && command -v convert >/dev/null ||
    e2e_skip "ImageMagick's import and convert are needed to read the screen"

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

# disc_red_part: the red share of the disc's pixels (centre (510, 143), radius 43 in the
# window's client area), in per cent; fails when the disc is not what is there.
disc_red_part() {
    local origin x y shot="$E2E_TMP/disc.png"
    origin=$(e2e_must client-origin "$SPL_WINDOW")
    x=${origin% *}
    y=${origin#* }
    import -display "$DISPLAY" -window root "$shot" 2>/dev/null || e2e_fail "no screenshot"
    convert "$shot" -crop "87x87+$((x + 467))+$((y + 100))" +repage -depth 8 txt:- |
        awk -F'[,: ()]+' '
            /^[0-9]/ {
                dx = $1 - 43; dy = $2 - 43
                if (dx * dx + dy * dy > 40 * 40) next  # inside the red rim only
                n++
                if ($3 >= 240 && $4 <= 15 && $5 <= 15) red++
                else if ($3 >= 240 && $4 >= 240 && $5 >= 240) white++
            }
            END {
                if (n == 0 || red + white < 0.97 * n) exit 1
                printf "%d\n", 100 * red / n
            }' || e2e_fail "the disc is not on the screen (see $shot)"
}

# The box has gone and nothing repainted the window: the disc stays as far as it was drawn.
red=$(disc_red_part)
e2e_log "disc $red% red after 147 of 294 steps"
[ "$red" -ge 42 ] && [ "$red" -le 58 ] || e2e_fail "the disc is $red% red, not about half"
spl_close "$ID_ARCHIVE_EDIT"
e2e_log "ok"
