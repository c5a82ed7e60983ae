# Helpers shared by the unpacker's end-to-end tests (tests/e2e/unpacker_*_test.sh): make a
# source, split it with the command line, start the archive's .exe like a user, and check that
# the run cleaned up after itself. Source after lib.sh and e2e_start.

# Last-write and last-access time given to every source: whole 100 ns, as a FILETIME holds it.
UNPACKER_SOURCE_TIME='@1551675967.1234567'
# Size of the carried image: the temporary copy's exact length.
UNPACKER_IMAGE_SIZE=$(sed -n 's/^constexpr unsigned kUnpackerImageSize = \([0-9]*\);.*/\1/p' \
    "$DRAVNIK_SOURCE_DIR/archive/format.h")

unpacker_cli() {
    local cli="$DRAVNIK_NATIVE_BUILD/dravnik"
    [ -x "$cli" ] || cli="$DRAVNIK_NATIVE_BUILD/cli/dravnik"
    [ -x "$cli" ] || e2e_fail "no dravnik command line in $DRAVNIK_NATIVE_BUILD"
    "$cli" "$@"
}

# Writes SIZE random bytes to FILE with the fixed source time.
make_source() {
    local file=$1 size=$2
    mkdir -p "$(dirname "$file")"
    head -c "$size" /dev/urandom >"$file"
    touch -d "$UNPACKER_SOURCE_TIME" "$file"
}

# Splits SOURCE into the archive with base name BASE (a path) and volume size V.
split_source() {
    local source=$1 base=$2 volume_size=$3
    mkdir -p "$(dirname "$base")"
    unpacker_cli split "$source" "-v$volume_size" "-a$base" -y >"$E2E_TMP/split.log" 2>&1 ||
        e2e_fail "dravnik split failed: $(tail -n 3 "$E2E_TMP/split.log")"
}

# Starts the archive's .exe without an argument, as a user does, and checks that it only
# relaunches itself from the temporary folder: it ends at once with code 0 and the copy
# "ombra<i>.exe" of exactly the image's size runs from there. Sets UNPACKER_TEMP (Linux path).
start_archive() {
    local exe=$1
    UNPACKER_TEMP=$(e2e_temp_dir)
    e2e_run_bg archive "$exe"
    if ! e2e_poll "$E2E_WAIT_SECONDS" e2e_ended archive; then
        local message
        message=$(e2e_driver msgbox ':-(' none 1 2>/dev/null || true)
        e2e_fail "the archive's .exe still runs after $E2E_WAIT s; message: [$message]; temporary folder: [$(ls -la "$UNPACKER_TEMP")]"
    fi
    e2e_wait archive
    e2e_assert_eq 0 "$E2E_STATUS" "exit code of the archive's .exe"
    local copies
    copies=$(e2e_must processes 'ombra*.exe' | awk -F'\t' '{print $2}' | tr -d '\r')
    [ -n "$copies" ] || e2e_fail "no ombra*.exe runs after the archive's .exe ended"
    local copy
    for copy in $copies; do
        e2e_assert_size "$UNPACKER_TEMP/$copy" "$UNPACKER_IMAGE_SIZE"
    done
}

# The unpacker's window, titled "Распаковка <target name>"; prints its handle.
wait_unpacker_window() {
    local target_name=$1
    e2e_must wait "Ombrasta|Распаковка $target_name"
}

# Picks FOLDER (a Linux path) in the unpacker's folder browser and checks the browser's title.
pick_folder() {
    local title
    title=$(e2e_must browse-folder "$(e2e_winpath "$1")")
    e2e_assert_eq "Куда распаковать файл?" "$title" "folder browser title"
}

# True when neither the temporary copy nor its batch file is in the temporary folder.
unpacker_temp_clean() {
    ! compgen -G "$UNPACKER_TEMP/ombra*.exe" && ! compgen -G "$UNPACKER_TEMP/selfdel*.bat"
}

# Waits for the copy to end and its batch file to delete it: no ombra*.exe and no
# selfdel*.bat stay in the temporary folder, and no command interpreter is left running. (The
# copy starts the batch file before it ends, so once no ombra*.exe runs, any cmd.exe that will
# delete it is already there.)
wait_unpacker_gone() {
    e2e_wait_exit 'ombra*.exe'
    e2e_wait_for "the temporary copy and its batch file deleted" unpacker_temp_clean
    e2e_wait_exit cmd.exe
}

# The target is the source byte for byte and carries its last-write time.
assert_restored() {
    local source=$1 target=$2
    e2e_assert_same_bytes "$source" "$target"
    e2e_assert_same_mtime "$source" "$target"
}

# The archive that most joins here read: a source of 70000 random bytes ($source) split into
# volumes of $volume = 20480 bytes, M = 4: $E2E_TMP/archive/B.0.exe, B.1.bin .. B.3.bin.
split_four_volumes() {
    volume=20480
    source="$E2E_TMP/source/data.bin"
    make_source "$source" 70000
    split_source "$source" "$E2E_TMP/archive/B" "$volume"
}

# Presses OK on the unpacker's error message and checks that it reads EXPECTED.
assert_error_box() {
    local expected=$1 what=$2 shown
    shown=$(e2e_must msgbox ':-(' ok)
    e2e_assert_eq "$expected" "$shown" "$what"
}
