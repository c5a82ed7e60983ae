#!/usr/bin/env bash
# Split throughput: `dravnik split` against coreutils `split -b` with the same volume size, on
# the same file, in one run. Prints the median of N runs of each and their ratio (dravnik /
# split; the target is 0.90 or less), wall and CPU time, for a 100M and a floppy volume.
# Absolute times on shared machines are noise; the ratio is the figure.
#
#   bench/split_bench.sh [SIZE_MIB] [RUNS]      (defaults: 1024 MiB, 3 runs)
#   DRAVNIK=path/to/dravnik, BENCH_VOLUMES="100M 1457664" (the default)
# The files go to BENCH_DIR, or to a tmpfs of the script's own (see bench/lib.sh).
set -euo pipefail
source "$(dirname "$0")/lib.sh"
size_mib=${1:-1024}
runs=${2:-3}
dravnik=${DRAVNIK:-$bench_root/build/native/dravnik}
[ -x "$dravnik" ] || dravnik=$bench_root/build/native/cli/dravnik
bench_need_gnu_time
if [ ! -x "$dravnik" ]; then
    echo "split_bench: $dravnik not found; build first (scripts/build)" >&2
    exit 1
fi
bench_in_workdir "$size_mib" "$0" "$@"
source_file=$(bench_source "$size_mib")
out=$BENCH_DIR/out

bench_volume() {
    local volume=$1 volume_bytes
    volume_bytes=$(bench_volume_bytes "$volume")
    local d_wall=() d_cpu=() s_wall=() s_cpu=() i t
    for ((i = 0; i < runs; i++)); do
        t=$(bench_time_cpu "$out" "$dravnik" split "$source_file" "-v$volume" "-a$out/set" -y)
        d_wall+=("${t% *}") d_cpu+=("${t#* }")
        t=$(bench_time_cpu "$out" split -b "$volume_bytes" "$source_file" "$out/x.")
        s_wall+=("${t% *}") s_cpu+=("${t#* }")
    done
    rm -rf "$out"
    local dw dc sw sc
    dw=$(bench_median "${d_wall[@]}") dc=$(bench_median "${d_cpu[@]}")
    sw=$(bench_median "${s_wall[@]}") sc=$(bench_median "${s_cpu[@]}")
    LC_ALL=C printf 'volume %-8s wall: dravnik %6.3f s, split -b %6.3f s, ratio %s   cpu: %6.3f s, %6.3f s, ratio %s\n' \
        "$volume" "$dw" "$sw" "$(bench_ratio "$dw" "$sw")" "$dc" "$sc" "$(bench_ratio "$dc" "$sc")"
}

echo "split of a ${size_mib} MiB file, median of $runs runs each, files on ${BENCH_WHERE:-$BENCH_DIR}"
for volume in ${BENCH_VOLUMES:-100M 1457664}; do
    bench_volume "$volume"
done
