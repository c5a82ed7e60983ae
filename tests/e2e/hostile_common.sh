# Helpers of the end-to-end tests with hostile files and systems (tests/e2e/hostile_*_test.sh).
# Source after lib.sh and unpacker_common.sh, then call e2e_start.

# Writes to OUT a copy of the unpacker file ARCHIVE whose header names NAME (raw bytes) instead
# of the name it holds: the image, NAME, then everything from the old name's terminator on.
patch_target_name() {
    local archive=$1 name=$2 out=$3
    local old_length
    # Every stage reads its input to the end: no early exit, so no broken pipe under pipefail.
    old_length=$(head -c $((UNPACKER_IMAGE_SIZE + 300)) "$archive" | tail -c 300 |
        LC_ALL=C awk -v RS='"' 'NR == 1 { n = length($0) } END { print n }')
    {
        head -c "$UNPACKER_IMAGE_SIZE" "$archive"
        printf '%s' "$name"
        tail -c +$((UNPACKER_IMAGE_SIZE + old_length + 1)) "$archive"
    } >"$out"
}

# Lists a folder's own entries (names and sizes, no descent), to show that nothing appeared in it.
shallow_listing() {
    (cd "$1" && find . -mindepth 1 -maxdepth 1 -printf '%P\t%s\n' | LC_ALL=C sort)
}
