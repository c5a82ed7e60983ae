#!/usr/bin/env bash
# The real Windows programs under Wine, against the plain Win32 copy of the same pieces
# (bench_copy.exe: 1 MiB ReadFile/WriteFile, the limit for any Windows program under Wine), and
# against `cat` and `split -b`, in one run on the same files, for a 100M and a floppy volume:
#   join:  the archive's .exe, from the answered folder prompt to its window closing;
#   split: the splitter window, from the split button to the title "Готово!".
# Prints the median of N runs of each and the ratio to the plain copy (the target is 1.20 or
# less). The runs of the four programs alternate, so that a busy moment of the machine falls on
# all of them. Absolute times on shared machines are noise; the ratio is the figure.
#
#   bench/wine_bench.sh [SIZE_MIB] [RUNS]      (defaults: 1024 MiB, 3 runs)
#   BENCH_VOLUMES="100M 1457664" (the default), BENCH_ONLY=join or split, BENCH_VERBOSE=1 (every
#   run's figures) narrow or widen what it does.
# Needs the Windows build (dravnik.exe, e2e_driver.exe, bench_copy.exe in build/windows), the
# native dravnik, wine and Xvfb. Makes the Wine prefix template of the end-to-end tests when it
# is missing (about 20 s).
set -euo pipefail
bench_dir=$(cd "$(dirname "$0")" && pwd)
source "$bench_dir/lib.sh"
size_mib=${1:-1024}
runs=${2:-3}
: "${DRAVNIK_NATIVE_BUILD:=$bench_root/build/native}"
: "${DRAVNIK_WINDOWS_BUILD:=$bench_root/build/windows}"
: "${DRAVNIK_E2E_TEMPLATE:=$DRAVNIK_NATIVE_BUILD/e2e-prefix-template}"
dravnik=${DRAVNIK:-$DRAVNIK_NATIVE_BUILD/dravnik}
for program in "$dravnik" "$DRAVNIK_WINDOWS_BUILD/dravnik.exe" \
    "$DRAVNIK_WINDOWS_BUILD/e2e_driver.exe" "$DRAVNIK_WINDOWS_BUILD/bench_copy.exe"; do
    if [ ! -f "$program" ]; then
        echo "wine_bench: $program not found; build first (scripts/build)" >&2
        exit 1
    fi
done
if [ ! -f "$DRAVNIK_E2E_TEMPLATE/system.reg" ]; then
    echo "wine_bench: making the Wine prefix template $DRAVNIK_E2E_TEMPLATE" >&2
    bash "$bench_root/tests/e2e/make_prefix_template.sh" "$DRAVNIK_E2E_TEMPLATE" >/dev/null
fi

bench_in_workdir "$size_mib" "$0" "$@"
: "${BENCH_WHERE:=$BENCH_DIR}"
export DRAVNIK_NATIVE_BUILD DRAVNIK_WINDOWS_BUILD DRAVNIK_E2E_TEMPLATE
E2E_TIMEOUT=$((600 + size_mib * runs))
source "$bench_root/tests/e2e/lib.sh"
e2e_start

source_file=$(bench_source "$size_mib")
source_name=$(basename "$source_file")
header=  # set by the first split, from the archive itself
driver_seconds() { e2e_must "$@" | tail -n 1 | tr -d '\r'; }

# The plain copy, timed by itself: prints its seconds.
plain_copy() {
    wine "$DRAVNIK_WINDOWS_BUILD/bench_copy.exe" "$@" </dev/null 2>"$BENCH_DIR/copy.err" |
        tail -n 1 | tr -d '\r'
    [ "${PIPESTATUS[0]}" -eq 0 ] || e2e_fail "bench_copy $*: $(cat "$BENCH_DIR/copy.err")"
}

# The archive BASE (the members in order) holds the source.
check_archive() {
    local base=$1
    {
        tail -c +$((header + 1)) "$base".*.exe
        cat "$base".*.bin
    } | cmp -s - "$source_file" || e2e_fail "the archive $base does not hold the source"
}

# One join of the archive's .exe into OUT: prints the seconds from the folder prompt's OK to
# the window closing, and waits for the copy and its batch file to end.
unpacker_join() {
    local exe=$1 out=$2
    e2e_run_bg archive "$exe"
    e2e_wait archive 60
    driver_seconds time-browse "$(e2e_winpath "$out")" "Ombrasta|Распаковка $source_name" 600
    e2e_wait_exit 'ombra*.exe' 60
    e2e_wait_exit cmd.exe 60
}

bench_volume() {
    local volume=$1 volume_bytes
    volume_bytes=$(bench_volume_bytes "$volume")
    local arc=$BENCH_DIR/arc out=$BENCH_DIR/out
    rm -rf "$arc" "$out"
    mkdir -p "$arc"
    "$dravnik" split "$source_file" "-v$volume" "-a$arc/set" -y >"$BENCH_DIR/split.log" 2>&1 ||
        { echo "bench: dravnik split -v$volume failed: $(tail -n 2 "$BENCH_DIR/split.log")" >&2; exit 1; }
    local exe volumes=()
    exe=$(ls "$arc"/set.*.exe)
    mapfile -t volumes < <(ls "$arc"/set.*.bin | sort)
    header=$(bench_header_size "$exe")
    local members=$((${#volumes[@]} + 1))

    # What the plain copy moves: the same pieces from the same offsets, the same member sizes.
    local join_list=$BENCH_DIR/join.list split_list=$BENCH_DIR/split.list v
    {
        echo "$header $(e2e_winpath "$exe")"
        for v in "${volumes[@]}"; do echo "0 $(e2e_winpath "$v")"; done
    } >"$join_list"
    local left=$(($(stat -c %s "$source_file") - (volume_bytes - header))) k=1
    {
        echo "$((volume_bytes - header)) $(e2e_winpath "$out/p0")"
        while [ "$left" -gt 0 ]; do
            local piece=$((left < volume_bytes ? left : volume_bytes))
            echo "$piece $(e2e_winpath "$out/p$k")"
            left=$((left - piece))
            k=$((k + 1))
        done
    } >"$split_list"

    local do_join=1 do_split=1
    [ "${BENCH_ONLY:-}" != split ] || do_join=0
    [ "${BENCH_ONLY:-}" != join ] || do_split=0

    # The splitter window, started once with the source and the volume size.
    if [ "$do_split" = 1 ]; then
        local app=$BENCH_DIR/app
        mkdir -p "$app"
        cp "$DRAVNIK_WINDOWS_BUILD/dravnik.exe" "$app/dravnik.exe"
        e2e_run_bg app "$app/dravnik.exe" "$(e2e_winpath "$source_file")" "-v$volume"
        e2e_must wait-text 'Dravnik|' 310 "$volume" 30 >/dev/null
        e2e_must wait-text 'Dravnik|' 313 "$members" 30 >/dev/null
    fi

    local join_times=() join_copy=() cat_times=() split_times=() split_copy=() splitb_times=()
    local i t
    for ((i = 0; i < runs; i++)); do
        if [ "$do_join" = 1 ]; then
            rm -rf "$out" && mkdir -p "$out"
            join_times+=("$(unpacker_join "$exe" "$out")")
            cmp -s "$out/$source_name" "$source_file" || e2e_fail "the unpacker's join differs"
            rm -rf "$out" && mkdir -p "$out"
            join_copy+=("$(plain_copy join "$(e2e_winpath "$out/$source_name")" "$(e2e_winpath "$join_list")")")
            cmp -s "$out/$source_name" "$source_file" || e2e_fail "the plain copy's join differs"
            cat_times+=("$(bench_time "$out" bash -c 'cat_pieces "$@"' _ "$out/$source_name" "$header" "$exe" "${volumes[@]}")")
            cmp -s "$out/$source_name" "$source_file" || e2e_fail "cat of the pieces differs"
        fi
        if [ "$do_split" = 1 ]; then
            rm -rf "$out" && mkdir -p "$out"
            e2e_must set-text 'Dravnik|' 305 "$(e2e_winpath "$out/set")"
            split_times+=("$(driver_seconds time-click 'Dravnik|' 314 'Готово!' 600)")
            t=$(e2e_must msgbox ':-)' ok 30)
            [ "$t" = 'Готово!' ] || e2e_fail "the split ended with [$t]"
            e2e_must wait-text 'Dravnik|' - 'Dravnik v2.3' 30 >/dev/null
            check_archive "$out/set"
            rm -rf "$out" && mkdir -p "$out"
            split_copy+=("$(plain_copy split "$(e2e_winpath "$source_file")" "$(e2e_winpath "$split_list")")")
            splitb_times+=("$(bench_time "$out" split -b "$volume_bytes" "$source_file" "$out/x.")")
        fi
    done
    rm -rf "$out"
    if [ "$do_split" = 1 ]; then
        e2e_must key 'Dravnik|' 301 ESCAPE
        e2e_wait app 30
    fi

    local label
    label=$(LC_ALL=C printf 'volume %-8s (%4d files)' "$volume" "$members")
    if [ "$do_join" = 1 ]; then
        local j jc c
        j=$(bench_median "${join_times[@]}")
        jc=$(bench_median "${join_copy[@]}")
        c=$(bench_median "${cat_times[@]}")
        LC_ALL=C printf '%s join:  unpacker %6.3f s, plain copy %6.3f s, ratio %s   cat      %6.3f s (%s)\n' \
            "$label" "$j" "$jc" "$(bench_ratio "$j" "$jc")" "$c" "$(bench_ratio "$j" "$c")"
        label=${label//?/ }
        [ -z "${BENCH_VERBOSE:-}" ] ||
            echo "    runs: unpacker ${join_times[*]} | copy ${join_copy[*]} | cat ${cat_times[*]}"
    fi
    if [ "$do_split" = 1 ]; then
        local s sc sb
        s=$(bench_median "${split_times[@]}")
        sc=$(bench_median "${split_copy[@]}")
        sb=$(bench_median "${splitb_times[@]}")
        LC_ALL=C printf '%s split: window   %6.3f s, plain copy %6.3f s, ratio %s   split -b %6.3f s (%s)\n' \
            "$label" "$s" "$sc" "$(bench_ratio "$s" "$sc")" "$sb" "$(bench_ratio "$s" "$sb")"
        [ -z "${BENCH_VERBOSE:-}" ] ||
            echo "    runs: window ${split_times[*]} | copy ${split_copy[*]} | split -b ${splitb_times[*]}"
    fi
}

echo "Windows programs under Wine on a ${size_mib} MiB file, median of $runs runs, files on $BENCH_WHERE"
echo "(ratio: to the plain Win32 copy of the same pieces, 1 MiB ReadFile/WriteFile; in brackets: to cat / split -b)"
for volume in ${BENCH_VOLUMES:-100M 1457664}; do
    bench_volume "$volume"
done
