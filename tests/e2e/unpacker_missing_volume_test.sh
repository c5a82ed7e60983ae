#!/usr/bin/env bash
# A missing volume. No, over an older file of the target's name that the user agreed to
# replace: the older file stays byte for byte, the pieces before the gap stay as
# "<name>.неполный", and "Файл <that path> поврежден" is shown; the question finds the progress
# bar at the pieces copied. The unpacker ended (as the task manager ends it) at the same
# question: nothing under the target's name, at most the incomplete file. Yes: the volume,
# picked from another folder under another name, takes the missing one's place, and the next
# volume is found beside the picked file under the picked name's pattern.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/unpacker_common.sh"
e2e_start

split_four_volumes
e2e_assert_exists "$E2E_TMP/archive/B.3.bin"
header=$((UNPACKER_IMAGE_SIZE + 33 + 8))
short=$((volume - header + volume))  # the unpacker's own piece and volume 1
head -c "$short" "$source" >"$E2E_TMP/expected-short"

# No.
mv "$E2E_TMP/archive/B.2.bin" "$E2E_TMP/B.2.bin.away"
dest="$E2E_TMP/dest-no"
mkdir -p "$dest"
echo "an older file of the same name" >"$dest/data.bin"
touch -d '@1000000000' "$dest/data.bin"
older=$(e2e_fingerprint "$dest")
start_archive "$E2E_TMP/archive/B.0.exe"
pick_folder "$dest"
e2e_must msgbox '???' yes >/dev/null
# The bar shows the two pieces copied before the gap, though it moves at most every 0.1 s.
e2e_must wait '#32770|:-(' >/dev/null
e2e_assert_eq 2/4 "$(e2e_must progress 'Ombrasta|')" "progress bar at the question"
question=$(e2e_must msgbox ':-(' no)
e2e_assert_eq $'Отсутствует B.2.bin\nХотите найти его?' "$question" "missing-volume question"
damaged=$(e2e_must msgbox ':-(' ok)
e2e_assert_eq "Файл $(e2e_winpath "$dest/data.bin.неполный") поврежден" "$damaged" "damage message"
wait_unpacker_gone
e2e_assert_eq "$older" "$(e2e_fingerprint "$dest" | grep -v -F 'неполный')" "the older file"
e2e_assert_same_bytes "$E2E_TMP/expected-short" "$dest/data.bin.неполный"

# Ended at the question, the pieces before the gap written.
dest="$E2E_TMP/dest-ended"
mkdir -p "$dest"
start_archive "$E2E_TMP/archive/B.0.exe"
pick_folder "$dest"
e2e_must wait '#32770|:-(' >/dev/null
e2e_wait_eq "$short" "the pieces before the gap written" stat -c %s "$dest/data.bin.неполный"
e2e_must end 'ombra*.exe' >/dev/null
e2e_wait_exit 'ombra*.exe'
e2e_assert_eq "data.bin.неполный" "$(ls "$dest")" "what the ended join left"

# Yes: volume 2 lies elsewhere as "renamed2.bin", volume 3 beside it as "renamed3.bin".
other="$E2E_TMP/somewhere else"
mkdir -p "$other"
mv "$E2E_TMP/B.2.bin.away" "$other/renamed2.bin"
mv "$E2E_TMP/archive/B.3.bin" "$other/renamed3.bin"
before=$(e2e_fingerprint "$E2E_TMP/archive")
dest="$E2E_TMP/dest-yes"
mkdir -p "$dest"
start_archive "$E2E_TMP/archive/B.0.exe"
pick_folder "$dest"
e2e_must msgbox ':-(' yes >/dev/null
preset=$(e2e_must open-file "$(e2e_winpath "$other/renamed2.bin")")
e2e_assert_eq "B.2.bin" "$preset" "file name preset in the open dialog"
wait_unpacker_gone
assert_restored "$source" "$dest/data.bin"
e2e_assert_eq "$before" "$(e2e_fingerprint "$E2E_TMP/archive")" "archive fingerprint"
e2e_log "ok"
