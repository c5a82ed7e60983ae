#!/usr/bin/env bash
# A join that does not finish leaves the target's name as it was. Over an older file, Yes to
# replacing it, then No to a missing volume: the older file stays byte for byte, and the pieces
# before the gap stay as "data.bin.неполный", which the damage message names. The unpacker
# ended halfway (as the task manager ends it), waiting at the same question: nothing under the
# target's name, at most the incomplete file.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/unpacker_common.sh"
e2e_start

volume=20480
source="$E2E_TMP/source/data.bin"
make_source "$source" 70000  # M = 4: B.0.exe, B.1.bin .. B.3.bin
split_source "$source" "$E2E_TMP/archive/B" "$volume"
mv "$E2E_TMP/archive/B.2.bin" "$E2E_TMP/B.2.bin.away"
header=$((UNPACKER_IMAGE_SIZE + 33 + 8))
short=$((volume - header + volume))  # the unpacker's own piece and volume 1
head -c "$short" "$source" >"$E2E_TMP/expected-short"

dest="$E2E_TMP/dest"
mkdir -p "$dest"
echo "an older file of the same name" >"$dest/data.bin"
touch -d '@1000000000' "$dest/data.bin"
older=$(e2e_fingerprint "$dest")
start_archive "$E2E_TMP/archive/B.0.exe"
pick_folder "$dest"
e2e_must msgbox '???' yes >/dev/null
question=$(e2e_must msgbox ':-(' no)
e2e_assert_eq $'Отсутствует B.2.bin\nХотите найти его?' "$question" "missing-volume question"
damaged=$(e2e_must msgbox ':-(' ok)
e2e_assert_eq "Файл $(e2e_winpath "$dest/data.bin.неполный") поврежден" "$damaged" "damage message"
wait_unpacker_gone
e2e_assert_eq "$older" "$(e2e_fingerprint "$dest" | grep -v -F 'неполный')" "the older file"
e2e_assert_same_bytes "$E2E_TMP/expected-short" "$dest/data.bin.неполный"

# Ended halfway: the same question waits, the pieces before the gap are written.
dest="$E2E_TMP/dest-ended"
mkdir -p "$dest"
start_archive "$E2E_TMP/archive/B.0.exe"
pick_folder "$dest"
e2e_must wait '#32770|:-(' >/dev/null
e2e_wait_eq "$short" "the pieces before the gap written" stat -c %s "$dest/data.bin.неполный"
e2e_must end 'ombra*.exe' >/dev/null
e2e_wait_exit 'ombra*.exe'
e2e_assert_absent "$dest/data.bin"
e2e_assert_eq "data.bin.неполный" "$(ls "$dest")" "what the ended join left"
e2e_log "ok"
