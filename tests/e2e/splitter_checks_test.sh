#!/usr/bin/env bash
# The checks before a split, each with its message and the focus on the field to correct: no
# source, a folder as source, a source of 4 GiB or more (and one whose header would pass 4 GiB),
# no archive name, a folder as archive name, the source being one of the archive's own
# files, and a file that fits into the unpacker file alone. Nothing is written by any of them.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/splitter_common.sh"
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

for name in big.bin nearly4g.bin; do
    e2e_must set-text "$SPL_WINDOW" "$ID_SOURCE_EDIT" "$(e2e_winpath "$big/$name")"
    spl_assert_text "$ID_SIZE_VALUE" "> 4 ГБ"
    spl_assert_text "$ID_COUNT_VALUE" ""
    refuse "$ID_SOURCE_EDIT" "Файл слишком велик: можно разбивать только файлы меньше 4 ГБ!"
done

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
