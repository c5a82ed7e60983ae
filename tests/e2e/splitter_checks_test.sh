#!/usr/bin/env bash
# The checks before a split, each with its message and the focus on the field to correct: no
# source, a folder as source, no archive name, a folder as archive name, the source being one
# of the archive's own files, a file that fits into the unpacker file alone, and one so large
# that its archive would need more than 2^31 - 1 files. Sources of 4 GiB and more (and one
# whose header passes 4 GiB) show their whole size and count and are not refused. Nothing is
# written by any of them.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/splitter_common.sh"
source "$(dirname "$0")/unpacker_common.sh"
e2e_start
spl_install

data="$E2E_TMP/data"
spl_make_file "$data/plain.bin" 100000
spl_make_file "$data/x.0.exe" 100000
spl_make_file "$data/small.bin" 100
before=$(e2e_fingerprint "$data")
# Sparse, and apart from the fingerprinted folder so that nothing reads them whole.
big="$E2E_TMP/big"
mkdir -p "$big"
truncate -s 5G "$big/big.bin"
truncate -s $((4294967295 - 5000)) "$big/nearly4g.bin"

# refuse FOCUS TEXT: Enter on the split button gives the message and moves the focus.
refuse() {
    spl_enter "$ID_SPLIT"
    spl_expect_box '!!!' "$2"
    spl_assert_focus "$1"
    e2e_must set-focus "$SPL_WINDOW" "$ID_SPLIT"
}

spl_start -v20K
e2e_must set-focus "$SPL_WINDOW" "$ID_SPLIT"
refuse "$ID_SOURCE_EDIT" "Разбиваемый файл не выбран или недоступен!"

e2e_must set-text "$SPL_WINDOW" "$ID_SOURCE_EDIT" "$(e2e_winpath "$data")"
spl_assert_text "$ID_SIZE_VALUE" ""
refuse "$ID_SOURCE_EDIT" "Разбиваемый файл не выбран или недоступен!"

e2e_must set-text "$SPL_WINDOW" "$ID_SOURCE_EDIT" "$(e2e_winpath "$data")\\*.bin"
spl_assert_text "$ID_SIZE_VALUE" ""
spl_assert_text "$ID_COUNT_VALUE" ""

# 5 GiB in 20K volumes, and 4 GiB - 5001 bytes whose header passes 4 GiB: the whole size and
# the count (ceil((S + image + 33 + L) / 20480)).
e2e_must set-text "$SPL_WINDOW" "$ID_SOURCE_EDIT" "$(e2e_winpath "$big/big.bin")"
spl_assert_text "$ID_SIZE_VALUE" "5 368 709 120"
spl_assert_text "$ID_COUNT_VALUE" \
    $(((5368709120 + UNPACKER_IMAGE_SIZE + 33 + 7 + 20479) / 20480))
e2e_must set-text "$SPL_WINDOW" "$ID_SOURCE_EDIT" "$(e2e_winpath "$big/nearly4g.bin")"
spl_assert_text "$ID_SIZE_VALUE" "4 294 962 295"
spl_assert_text "$ID_COUNT_VALUE" \
    $(((4294962295 + UNPACKER_IMAGE_SIZE + 33 + 12 + 20479) / 20480))

# 50 TiB (sparse, on a small tmpfs: more than a file on the disk may have) in 20K volumes
# would make 2684354561 files: shown, and refused with the focus on the size box.
huge="$E2E_TMP/huge"
mkdir -p "$huge"
if [ "$(id -u)" -eq 0 ] && mount -t tmpfs -o size=64k dravnik-e2e "$huge" 2>/dev/null; then
    E2E_MOUNTS+=("$huge")
    truncate -s 50T "$huge/huge.img"
    e2e_must set-text "$SPL_WINDOW" "$ID_SOURCE_EDIT" "$(e2e_winpath "$huge/huge.img")"
    spl_assert_text "$ID_SIZE_VALUE" "54 975 581 388 800"
    spl_assert_text "$ID_COUNT_VALUE" "2684354561"
    e2e_must set-text "$SPL_WINDOW" "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$huge/set")"
    refuse "$ID_VOLSIZE_BOX" \
        "Слишком много томов: в архиве может быть не больше 2147483647 файлов! Увеличьте размер тома."
    e2e_assert_eq "huge.img" "$(ls "$huge")" "files beside the 50 TiB source"
else
    e2e_log "no tmpfs here: the 50 TiB source is left out"
fi

e2e_must set-text "$SPL_WINDOW" "$ID_SOURCE_EDIT" "$(e2e_winpath "$data/plain.bin")"
spl_assert_text "$ID_SIZE_VALUE" "100 000"
spl_assert_text "$ID_COUNT_VALUE" "6"
e2e_must set-text "$SPL_WINDOW" "$ID_ARCHIVE_EDIT" ""
refuse "$ID_ARCHIVE_EDIT" "Введите имя архива!"
e2e_must set-text "$SPL_WINDOW" "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$data")\\"
refuse "$ID_ARCHIVE_EDIT" "Введите имя архива!"

e2e_must set-text "$SPL_WINDOW" "$ID_SOURCE_EDIT" "$(e2e_winpath "$data/x.0.exe")"
e2e_must set-text "$SPL_WINDOW" "$ID_ARCHIVE_EDIT" "$(e2e_winpath "$data/x")"
refuse "$ID_ARCHIVE_EDIT" "Конфликт имен архива и исходного файла!"

e2e_must set-text "$SPL_WINDOW" "$ID_SOURCE_EDIT" "$(e2e_winpath "$data/small.bin")"
spl_assert_text "$ID_COUNT_VALUE" "1"
refuse "$ID_SOURCE_EDIT" "Нет смысла разбивать файл"

spl_close "$ID_SPLIT"
e2e_assert_eq "$before" "$(e2e_fingerprint "$data")" "source folder after the refusals"
e2e_assert_eq "big.bin nearly4g.bin" "$(ls "$big" | tr '\n' ' ' | sed 's/ $//')" "files beside the big ones"
e2e_log "ok"
