#!/usr/bin/env bash
# Join throughput: `dravnik join` against `cat` of the same pieces (the unpacker file from its
# data offset, then every volume in order), on the same archive, in one run. Prints the median
# of N runs of each and their ratio (dravnik / cat; the target is 1.05 or less), wall and CPU
# time, for a 100M and a floppy volume. Absolute times on shared machines are noise; the ratio
# is the figure.
#
#   bench/join_bench.sh [SIZE_MIB] [RUNS]      (defaults: 1024 MiB, 3 runs)
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
    echo "join_bench: $dravnik not found; build first (scripts/build)" >&2
    exit 1
fi
bench_in_workdir "$size_mib" "$0" "$@"
source_file=$(bench_source "$size_mib")
source_name=$(basename "$source_file")
out=$BENCH_DIR/out arc=$BENCH_DIR/arc

bench_volume() {
    local volume=$1
    rm -rf "$arc" && mkdir -p "$arc"
    "$dravnik" split "$source_file" "-v$volume" "-a$arc/set" -y >"$BENCH_DIR/split.log" 2>&1 ||
        { echo "bench: dravnik split -v$volume failed: $(tail -n 2 "$BENCH_DIR/split.log")" >&2; exit 1; }
    local exe volumes=()
    exe=$(ls "$arc"/set.*.exe)
    mapfile -t volumes < <(ls "$arc"/set.*.bin | sort)
    local offset
    offset=$(bench_header_size "$exe")

    local d_wall=() d_cpu=() c_wall=() c_cpu=() i t
    for ((i = 0; i < runs; i++)); do
        t=$(bench_time_cpu "$out" "$dravnik" join "$exe" "$out" -y)
        cmp -s "$out/$source_name" "$source_file" || { echo "join_bench: join differs" >&2; exit 1; }
        d_wall+=("${t% *}") d_cpu+=("${t#* }")
        t=$(bench_time_cpu "$out" bash -c 'cat_pieces "$@"' _ "$out/$source_name" "$offset" "$exe" "${volumes[@]}")
        cmp -s "$out/$source_name" "$source_file" || { echo "join_bench: cat differs" >&2; exit 1; }
        c_wall+=("${t% *}") c_cpu+=("${t#* }")
    done
    rm -rf "$out" "$arc"
    local dw dc cw cc
    dw=$(bench_median "${d_wall[@]}") dc=$(bench_median "${d_cpu[@]}")
    cw=$(bench_median "${c_wall[@]}") cc=$(bench_median "${c_cpu[@]}")
    LC_ALL=C printf 'volume %-8s (%4d files) wall: join %6.3f s, cat %6.3f s, ratio %s   cpu: %6.3f s, %6.3f s, ratio %s\n' \
        "$volume" "$((${#volumes[@]} + 1))" "$dw" "$cw" "$(bench_ratio "$dw" "$cw")" "$dc" "$cc" "$(bench_ratio "$dc" "$cc")"
}

echo "join of a ${size_mib} MiB file, median of $runs runs each, files on ${BENCH_WHERE:-$BENCH_DIR}"
for volume in ${BENCH_VOLUMES:-100M 1457664}; do
    bench_volume "$volume"
done
