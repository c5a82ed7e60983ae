#!/usr/bin/env bash
# Join throughput: `dravnik join` against `cat` of the same pieces (the unpacker file from its
# data offset, then every volume in order), on the same archive, in one run. Prints the best of
# N runs of each and their ratio (dravnik / cat; the target is 1.10 or less), for a floppy-sized
# and a CD-sized volume. Absolute times on shared machines are noise; the ratio is the figure.
#
#   bench/join_bench.sh [SIZE_MIB] [RUNS]      (defaults: 768 MiB, 3 runs)
#   DRAVNIK=path/to/dravnik bench/join_bench.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dravnik=${DRAVNIK:-$root/build/native/dravnik}
[ -x "$dravnik" ] || dravnik=$root/build/native/cli/dravnik
size_mib=${1:-768}
runs=${2:-3}
if [ ! -x /usr/bin/time ]; then
    echo "join_bench: needs GNU time (/usr/bin/time, Debian package time)" >&2
    exit 1
fi
if [ ! -x "$dravnik" ]; then
    echo "join_bench: $dravnik not found; build first (scripts/build)" >&2
    exit 1
fi
image_size=$(sed -n 's/^constexpr unsigned kUnpackerImageSize = \([0-9]*\);.*/\1/p' \
    "$root/archive/format.h")

work=$(mktemp -d /tmp/dravnik-join-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
source_file=$work/source.bin
head -c "$((size_mib * 1048576))" /dev/urandom >"$source_file"

# One run of the command with the output folder emptied first: "<wall s> <cpu s>".
time_run() {
    rm -rf "$work/out"
    mkdir "$work/out"
    sync
    if ! /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" >/dev/null 2>"$work/stderr"; then
        echo "join_bench: failed: $*" >&2
        cat "$work/stderr" >&2
        exit 1
    fi
    awk '{ printf "%.2f %.2f\n", $1, $2 + $3 }' "$work/time"
}

# cat of the pieces, as the join reads them: the unpacker file from its first data byte (dd
# only moves the shared file position, cat copies), then the volumes.
cat_pieces() {
    local exe=$1 offset=$2
    shift 2
    {
        { dd bs="$offset" skip=1 count=0 status=none && cat; } <"$exe"
        cat "$@"
    } >"$work/out/source.bin"
}
export -f cat_pieces
export work

bench_volume() {
    local size_text=$1
    rm -rf "$work/arc"
    mkdir "$work/arc"
    "$dravnik" split "$source_file" "-v$size_text" "-a$work/arc/set" -y >/dev/null 2>&1
    local exe
    exe=$(ls "$work/arc"/set.*.exe)
    local volumes=()
    mapfile -t volumes < <(ls "$work/arc"/set.*.bin | sort)
    local name
    name=$(basename "$source_file")
    local offset=$((image_size + 33 + ${#name}))

    # The pieces must join to the source before either is timed.
    rm -rf "$work/out" && mkdir "$work/out"
    "$dravnik" join "$exe" "$work/out" -y >/dev/null 2>&1
    cmp -s "$work/out/source.bin" "$source_file" || { echo "join_bench: join differs" >&2; exit 1; }
    cat_pieces "$exe" "$offset" "${volumes[@]}"
    cmp -s "$work/out/source.bin" "$source_file" || { echo "join_bench: cat differs" >&2; exit 1; }

    local join_times="" cat_times=""
    for _ in $(seq "$runs"); do
        join_times+="$(time_run "$dravnik" join "$exe" "$work/out" -y)"$'\n'
        cat_times+="$(time_run bash -c 'cat_pieces "$@"' _ "$exe" "$offset" "${volumes[@]}")"$'\n'
    done
    printf '%s' "$join_times" | sort -n -k1,1 | head -1 >"$work/j_wall"
    printf '%s' "$join_times" | sort -n -k2,2 | head -1 >"$work/j_cpu"
    printf '%s' "$cat_times" | sort -n -k1,1 | head -1 >"$work/c_wall"
    printf '%s' "$cat_times" | sort -n -k2,2 | head -1 >"$work/c_cpu"
    awk -v v="$size_text" -v n="$((${#volumes[@]} + 1))" \
        -v jw="$(cut -d' ' -f1 "$work/j_wall")" -v cw="$(cut -d' ' -f1 "$work/c_wall")" \
        -v jc="$(cut -d' ' -f2 "$work/j_cpu")" -v cc="$(cut -d' ' -f2 "$work/c_cpu")" 'BEGIN {
        printf "volume %-8s (%4d files) wall: join %6.2f s, cat %6.2f s, ratio %.2f   cpu: %5.2f s, %5.2f s, ratio %s\n",
               v, n, jw, cw, (cw > 0 ? jw / cw : 0), jc, cc, (cc > 0 ? sprintf("%.2f", jc / cc) : "n/a") }'
}

echo "join of a ${size_mib} MiB file, best of $runs runs each; unpacker image $image_size bytes"
bench_volume 650M
bench_volume 1457664
