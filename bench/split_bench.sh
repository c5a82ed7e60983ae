#!/usr/bin/env bash
# Split throughput: `dravnik split` against coreutils `split -b` with the same volume size, on
# the same file, in one run. Prints the best of N runs of each and their ratio (dravnik / split;
# the target is 1.10 or less). Absolute times on shared machines are noise; the ratio is the
# figure.
#
#   bench/split_bench.sh [SIZE_MIB] [RUNS]      (defaults: 768 MiB, 3 runs)
# The default file is larger than 650M, so that volume size too gives a real two-file archive.
#   DRAVNIK=path/to/dravnik bench/split_bench.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dravnik=${DRAVNIK:-$root/build/native/dravnik}
size_mib=${1:-768}
runs=${2:-3}
if [ ! -x /usr/bin/time ]; then
    echo "split_bench: needs GNU time (/usr/bin/time, Debian package time)" >&2
    exit 1
fi
if [ ! -x "$dravnik" ]; then
    echo "split_bench: $dravnik not found; build first (scripts/build)" >&2
    exit 1
fi

work=$(mktemp -d /tmp/dravnik-split-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT
source_file=$work/source.bin
head -c "$((size_mib * 1048576))" /dev/urandom >"$source_file"

# One run of the command, its output folder emptied first: "<wall s> <cpu s>" (cpu = user +
# system). The CPU time is the steadier figure on a loaded machine; both ratios are printed.
time_run() {
    rm -rf "$work/out"
    mkdir "$work/out"
    sync  # the previous run's dirty pages should not slow this one down
    if ! /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" >/dev/null 2>"$work/stderr"; then
        echo "split_bench: failed: $*" >&2
        cat "$work/stderr" >&2
        exit 1
    fi
    awk '{ printf "%.2f %.2f\n", $1, $2 + $3 }' "$work/time"
}

bench_volume() {
    local size_text=$1 size_bytes=$2
    local dravnik_times="" split_times=""
    for _ in $(seq "$runs"); do
        dravnik_times+="$(time_run "$dravnik" split "$source_file" "-v$size_text" "-a$work/out/set" -y)"$'\n'
        split_times+="$(time_run split -b "$size_bytes" "$source_file" "$work/out/x.")"$'\n'
    done
    # Best (smallest) wall and CPU time of each program.
    printf '%s' "$dravnik_times" | sort -n -k1,1 | head -1 >"$work/d_wall"
    printf '%s' "$dravnik_times" | sort -n -k2,2 | head -1 >"$work/d_cpu"
    printf '%s' "$split_times" | sort -n -k1,1 | head -1 >"$work/s_wall"
    printf '%s' "$split_times" | sort -n -k2,2 | head -1 >"$work/s_cpu"
    awk -v v="$size_text" -v dw="$(cut -d' ' -f1 "$work/d_wall")" -v sw="$(cut -d' ' -f1 "$work/s_wall")" \
        -v dc="$(cut -d' ' -f2 "$work/d_cpu")" -v sc="$(cut -d' ' -f2 "$work/s_cpu")" 'BEGIN {
        printf "volume %-8s wall: dravnik %6.2f s, split -b %6.2f s, ratio %.2f   cpu: %5.2f s, %5.2f s, ratio %s\n",
               v, dw, sw, dw / sw, dc, sc, (sc > 0 ? sprintf("%.2f", dc / sc) : "n/a") }'
}

echo "split of a ${size_mib} MiB file, best of $runs runs each"
bench_volume 650M 681574400
bench_volume 1457664 1457664
