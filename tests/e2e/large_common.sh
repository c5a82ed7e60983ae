# Helpers of the large end-to-end tests (tests/e2e/large_*_test.sh, CTest label "large"): a
# sparse source of 4 GiB + 300 MiB with marks at the offsets where a 32-bit count would go
# wrong, checksums instead of second copies, and a scratch folder for joined targets. Source it
# after lib.sh and unpacker_common.sh, then call large_start instead of e2e_start.

# The source: 4 GiB + 300 MiB, named big.img (L = 7).
LARGE_NAME=big.img
LARGE_SIZE=$((4294967296 + 314572800))
LARGE_HEADER=$((UNPACKER_IMAGE_SIZE + 33 + ${#LARGE_NAME}))
LARGE_GIB=1073741824
LARGE_FAT32_VOLUME=$((4095 * 1048576))

# A large test writes a few archives and targets of 4.3 GB each; it runs for minutes.
E2E_TIMEOUT=${LARGE_E2E_TIMEOUT:-1500}

# e2e_start, then checks that the folder of E2E_TMP has room for an archive and a target
# (skips otherwise), and makes LARGE_TARGETS, where joined targets go.
large_start() {
    e2e_start
    local free_kb need_kb
    free_kb=$(df -Pk "$E2E_TMP" | awk 'NR == 2 {print $4}')
    need_kb=$(((2 * LARGE_SIZE / 1024) + 2 * 1024 * 1024))
    [ "$free_kb" -ge "$need_kb" ] ||
        e2e_skip "needs $((need_kb / 1048576)) GiB free beside $E2E_TMP, has $((free_kb / 1048576)) GiB"
    LARGE_TARGETS="$E2E_TMP/targets"
    mkdir -p "$LARGE_TARGETS"
}

# Seconds since the epoch with a fraction, for the timings in the log.
large_now() {
    date +%s.%N
}

# Logs "WHAT: N s" for a step that started at START (from large_now).
large_log_time() {
    local what=$1 start=$2
    e2e_log "$what: $(LC_ALL=C awk -v a="$start" -v b="$(large_now)" 'BEGIN {printf "%.1f", b - a}') s"
}

# Makes the sparse source at PATH: holes everywhere but 16-byte marks (the offset in hex) on
# both sides of every offset where a member ends for 1 GiB and 4095 MiB volumes, of 2^32 - 1
# and 2^32, and at both ends of the file. Gives it the fixed source time.
large_make_source() {
    local path=$1 offset
    mkdir -p "$(dirname "$path")"
    rm -f "$path"
    truncate -s "$LARGE_SIZE" "$path"
    local offsets=(0 $((LARGE_SIZE - 16)) $((4294967296 - 16)) 4294967296 $((4294967295 - 16))
        $((LARGE_FAT32_VOLUME - LARGE_HEADER - 16)) $((LARGE_FAT32_VOLUME - LARGE_HEADER)))
    local k
    for ((k = 1; k <= 4; k++)); do
        offsets+=($((k * LARGE_GIB - LARGE_HEADER - 16)) $((k * LARGE_GIB - LARGE_HEADER)))
    done
    for offset in "${offsets[@]}"; do
        printf '%016x' "$offset" |
            dd of="$path" bs=1 seek="$offset" conv=notrunc status=none
    done
    touch -d "$UNPACKER_SOURCE_TIME" "$path"
    [ "$(stat -c %s "$path")" = "$LARGE_SIZE" ] || e2e_fail "the source is not $LARGE_SIZE bytes"
}

# The checksum and length of a file or of standard input (cksum without the name).
large_cksum() {
    if [ $# -gt 0 ]; then
        cksum <"$1" | awk '{print $1, $2}'
    else
        cksum | awk '{print $1, $2}'
    fi
}

# Checks that the archive BASE (Linux path) of WIDTH digits holds MEMBERS members of VOLUME
# bytes, the last one LAST bytes, that its first member starts with this build's unpacker
# image, and that its data after the header, read in order, has the checksum SUM.
large_assert_archive() {
    local base=$1 width=$2 members=$3 volume=$4 last=$5 sum=$6
    local zeros unpacker k number
    zeros=$(printf "%0${width}d" 0)
    unpacker="$base.$zeros.exe"
    e2e_assert_size "$unpacker" "$volume"
    cmp -s -n "$UNPACKER_IMAGE_SIZE" "$DRAVNIK_WINDOWS_BUILD/unpacker.exe" "$unpacker" ||
        e2e_fail "$unpacker does not start with the unpacker image"
    local files=()
    for ((k = 1; k < members; k++)); do
        number=$(printf "%0${width}d" "$k")
        files+=("$base.$number.bin")
        if ((k < members - 1)); then
            e2e_assert_size "$base.$number.bin" "$volume"
        else
            e2e_assert_size "$base.$number.bin" "$last"
        fi
    done
    number=$(printf "%0${width}d" "$members")
    e2e_assert_absent "$base.$number.bin"
    local actual
    actual=$({ tail -c +$((LARGE_HEADER + 1)) "$unpacker"; cat "${files[@]}"; } | large_cksum)
    e2e_assert_eq "$sum" "$actual" "checksum and length of the archive's data"
}

# dravnik info on the unpacker file reports the archive complete, with MEMBERS members and the
# whole source size.
large_assert_info() {
    local unpacker=$1 members=$2 info status=0
    info=$(unpacker_cli info "$unpacker") || status=$?
    e2e_assert_eq 0 "$status" "exit code of dravnik info ($info)"
    grep -qx "members: *$members" <<<"$info" || e2e_fail "dravnik info: members is not $members: $info"
    grep -qx "target size: *4 609 540 096 bytes" <<<"$info" ||
        e2e_fail "dravnik info: wrong target size: $info"
    grep -qx "complete" <<<"$info" || e2e_fail "dravnik info does not say complete: $info"
}

# The joined TARGET is the source: checksum SUM, length and last-write time; then it is removed.
large_assert_target() {
    local target=$1 sum=$2 source=$3
    e2e_assert_exists "$target"
    e2e_assert_eq "$sum" "$(large_cksum "$target")" "checksum and length of $target"
    e2e_assert_same_mtime "$source" "$target"
    rm -f "$target"
}
