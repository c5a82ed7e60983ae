#!/usr/bin/env bash
# A volume missing from an archive at a drive root: the open-file dialog starts in the root
# "C:\" with the volume's name preset, while the programs' current folder is C:\windows; the
# dialog cancelled, the join ends short with the damage message naming what it kept. (Wine's dialog adds the
# backslash to a bare "C:" itself, so here a folder given as "C:" would land in the root too;
# JoinStartup.OpenDialogStartsInTheVolumesFolderAndARootKeepsItsBackslash checks what the
# unpacker gives the dialog.)
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/unpacker_common.sh"
e2e_start

drive_c="$WINEPREFIX/drive_c"
source="$E2E_TMP/source/data.bin"
make_source "$source" 50000
split_source "$source" "$drive_c/B" 20480
rm "$drive_c/B.2.bin"
dest="$E2E_TMP/dest"
mkdir -p "$dest"

# The programs start in C:\windows, so "C:" alone would mean that folder.
cd "$drive_c/windows"
start_archive 'C:\B.0.exe'
pick_folder "$dest"
question=$(e2e_must msgbox ':-(' yes 30)
e2e_assert_eq $'Отсутствует B.2.bin\nХотите найти его?' "$question" "missing-volume question"
folder=$(e2e_must file-folder 30)
e2e_assert_eq 'C:\' "$folder" "folder of the open-file dialog"
preset=$(e2e_must open-cancel 30)
e2e_assert_eq "B.2.bin" "$preset" "file name preset in the open dialog"
damaged=$(e2e_must msgbox ':-(' ok 30)
e2e_assert_eq "Файл $(e2e_winpath "$dest/data.bin.неполный") поврежден" "$damaged" "damage message"
wait_unpacker_gone
e2e_log "ok"
