#!/usr/bin/env bash
# A sparse source of 4 GiB + 300 MiB split by the command line into 1 GiB volumes (M = 5) and
# into 4095 MiB volumes, the largest a FAT32 stick takes (M = 2); dravnik info calls each
# archive complete; dravnik join and the Windows unpacker under Wine both write the target back
# beyond 4 GiB byte for byte with its time. dravnik join shows its progress line on a terminal;
# dravnik split writes nothing of its own into a file.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/unpacker_common.sh"
source "$(dirname "$0")/large_common.sh"
large_start

source_file="$E2E_TMP/source/$LARGE_NAME"
large_make_source "$source_file"
start=$(large_now)
source_sum=$(large_cksum "$source_file")
large_log_time "checksum of the sparse source" "$start"

# split_case VOLUME_TEXT VOLUME_BYTES MEMBERS
split_case() {
    local text=$1 volume=$2 members=$3
    local base="$E2E_TMP/archive/B" last=$((LARGE_SIZE + LARGE_HEADER - (members - 1) * volume))
    local start
    start=$(large_now)
    split_source "$source_file" "$base" "$text"
    large_log_time "dravnik split -v$text" "$start"
    grep -q 'MiB/s' "$E2E_TMP/split.log" && e2e_fail "progress in the split's log: $(cat "$E2E_TMP/split.log")"
    e2e_assert_eq "Готово!" "$(cat "$E2E_TMP/split.log")" "dravnik split's output into a file"
    large_assert_archive "$base" 1 "$members" "$volume" "$last" "$source_sum"
    large_assert_info "$base.0.exe" "$members"

    # dravnik join, once on a terminal (its progress line) and once into a file (none of it).
    local dest="$LARGE_TARGETS/cli"
    mkdir -p "$dest"
    start=$(large_now)
    script -qefc "$(printf '%q ' "$DRAVNIK_NATIVE_BUILD/dravnik" join "$base.0.exe" "$dest" -y)" \
        /dev/null </dev/null >"$E2E_TMP/join-terminal.log" 2>&1 ||
        e2e_fail "dravnik join on a terminal failed: $(tail -c 300 "$E2E_TMP/join-terminal.log")"
    large_log_time "dravnik join of $members members (terminal)" "$start"
    grep -q $'\r[0-9 ]* / 4 609 540 096 bytes  100%  [0-9.]* MiB/s' "$E2E_TMP/join-terminal.log" ||
        e2e_fail "no final progress line on the terminal: $(tail -c 300 "$E2E_TMP/join-terminal.log" | cat -v)"
    large_assert_target "$dest/$LARGE_NAME" "$source_sum" "$source_file"

    # The Windows unpacker, started like a user starts it.
    dest="$LARGE_TARGETS/wine"
    mkdir -p "$dest"
    start=$(large_now)
    start_archive "$base.0.exe"
    wait_unpacker_window "$LARGE_NAME" >/dev/null
    pick_folder "$dest"
    local i
    for ((i = 0; i < 10; i++)); do
        e2e_driver wait-exit 'ombra*.exe' 100 && break
    done
    wait_unpacker_gone
    large_log_time "the unpacker's join of $members members under Wine" "$start"
    large_assert_target "$dest/$LARGE_NAME" "$source_sum" "$source_file"
    rm -rf "$E2E_TMP/archive"
}

split_case 1G "$LARGE_GIB" 5
split_case 4095M "$LARGE_FAT32_VOLUME" 2
e2e_log "ok"
