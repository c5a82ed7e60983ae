# Helpers shared by the benchmark scripts (bench/*.sh, bench/run). Source it: it defines
# functions and bench_root.
#
# Where the files go: BENCH_DIR when it is set (bench/run sets it for all its scripts), else a
# folder made by bench_workdir. bench_workdir mounts a tmpfs of its own when it can (root;
# BENCH_TMPFS=0 says not to), so that the shared disk's writeback stays out of the figures;
# else it uses /dev/shm when that is a tmpfs (reached through a link in /tmp: Wine's folder
# browser cannot walk into /dev), else /tmp, and says so.

bench_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BENCH_MOUNT=""

# Bytes in front of the data in an archive's first file (EXE), as the archive itself says
# through `dravnik info` (the script's $dravnik, else DRAVNIK, else build/native/dravnik):
# the layout has its one home in the programs.
bench_header_size() {
    local size
    size=$("${dravnik:-${DRAVNIK:-$bench_root/build/native/dravnik}}" info "$1" |
        sed -n 's/^header: *\([0-9 ]*\) bytes$/\1/p' | tr -d ' ')
    [ -n "$size" ] || { echo "bench: no header size from dravnik info $1" >&2; exit 1; }
    echo "$size"
}

# Makes the folder for the files of a SIZE_MIB source (room for the source, two archives and a
# joined copy) and prints nothing; sets BENCH_DIR and BENCH_WHERE (a few words for the report).
# The caller removes it with bench_cleanup_workdir.
bench_workdir() {
    local size_mib=$1
    BENCH_DIR=$(mktemp -d /tmp/dravnik-bench-XXXXXX)
    BENCH_SHM=""
    if [ "${BENCH_TMPFS:-1}" != 0 ] && [ "$(id -u)" -eq 0 ] &&
        mount -t tmpfs -o "size=$((size_mib * 4 + 512))m" dravnik-bench "$BENCH_DIR" 2>/dev/null; then
        BENCH_MOUNT=$BENCH_DIR
        BENCH_WHERE="a tmpfs of its own"
    elif [ "$(stat -f -c %T /dev/shm 2>/dev/null)" = tmpfs ]; then
        BENCH_SHM=$(mktemp -d /dev/shm/dravnik-bench-XXXXXX)
        rmdir "$BENCH_DIR"
        ln -s "$BENCH_SHM" "$BENCH_DIR"
        BENCH_WHERE="/dev/shm (tmpfs)"
    else
        BENCH_WHERE="/tmp (no tmpfs: the disk's writeback is in the figures)"
    fi
    export BENCH_DIR BENCH_WHERE
}

# Runs the script again inside a fresh work folder unless BENCH_DIR is set already, and removes
# the folder afterwards: bench_in_workdir SIZE_MIB "$0" "$@" at the top of a script.
bench_in_workdir() {
    [ -z "${BENCH_DIR:-}" ] || return 0
    local size_mib=$1 status=0
    shift
    bench_workdir "$size_mib"
    trap bench_cleanup_workdir EXIT
    "$@" || status=$?
    exit "$status"
}

bench_cleanup_workdir() {
    if [ -n "$BENCH_MOUNT" ]; then
        umount "$BENCH_MOUNT" 2>/dev/null || umount -l "$BENCH_MOUNT" 2>/dev/null || true
        rmdir "$BENCH_MOUNT" 2>/dev/null || true
        BENCH_MOUNT=""
    elif [ -n "${BENCH_SHM:-}" ]; then
        rm -rf "$BENCH_SHM" "$BENCH_DIR"
    elif [ -n "${BENCH_DIR:-}" ]; then
        rm -rf "$BENCH_DIR"
    fi
}

# The source of SIZE_MIB random MiB, made once per folder: prints its path.
bench_source() {
    local size_mib=$1 file=$BENCH_DIR/source.bin
    if [ ! -f "$file" ] || [ "$(stat -c %s "$file")" -ne $((size_mib * 1048576)) ]; then
        head -c "$((size_mib * 1048576))" /dev/urandom >"$file"
    fi
    echo "$file"
}

# The median of the numbers given (one per argument).
bench_median() {
    printf '%s\n' "$@" | LC_ALL=C sort -g | LC_ALL=C awk '{ v[NR] = $1 } END {
        if (NR % 2) printf "%.3f\n", v[(NR + 1) / 2]; else printf "%.3f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

# a / b with two decimals ("n/a" when b is 0).
bench_ratio() {
    LC_ALL=C awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "n/a" }'
}

# Seconds that a native command takes (its output dropped), with a fresh OUT folder first.
#   bench_time OUT COMMAND...
bench_time() {
    local out=$1
    shift
    rm -rf "$out"
    mkdir -p "$out"
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>"$BENCH_DIR/stderr" || {
        echo "bench: failed: $*" >&2
        cat "$BENCH_DIR/stderr" >&2
        return 1
    }
    end=$(date +%s%N)
    LC_ALL=C awk -v s="$start" -v e="$end" 'BEGIN { printf "%.3f\n", (e - s) / 1e9 }'
}

bench_need_gnu_time() {
    if [ ! -x /usr/bin/time ]; then
        echo "bench: needs GNU time (/usr/bin/time, Debian package time)" >&2
        exit 1
    fi
}

# "<wall> <cpu>" seconds of a native command (cpu: user + system, GNU time), with a fresh OUT
# folder first. The CPU time is the steadier figure on a loaded machine.
#   bench_time_cpu OUT COMMAND...
bench_time_cpu() {
    local out=$1
    shift
    rm -rf "$out"
    mkdir -p "$out"
    if ! /usr/bin/time -f "%e %U %S" -o "$BENCH_DIR/time" "$@" >/dev/null 2>"$BENCH_DIR/stderr"; then
        echo "bench: failed: $*" >&2
        cat "$BENCH_DIR/stderr" >&2
        return 1
    fi
    LC_ALL=C awk '{ printf "%.3f %.3f\n", $1, $2 + $3 }' "$BENCH_DIR/time"
}

# Volume size text -> bytes (the K, M and G of the programs are powers of 1024).
bench_volume_bytes() {
    local text=$1
    case $text in
        *K) echo $((${text%K} * 1024)) ;;
        *M) echo $((${text%M} * 1048576)) ;;
        *G) echo $((${text%G} * 1073741824)) ;;
        *) echo "$text" ;;
    esac
}

# cat of the pieces into TARGET, as a join reads them: the unpacker file EXE from byte OFFSET
# (its first data byte; dd only moves the shared file position, cat copies), then the volumes.
# Exported, for bench_time's bash -c.
#   cat_pieces TARGET OFFSET EXE VOLUME...
cat_pieces() {
    local target=$1 offset=$2 exe=$3
    shift 3
    {
        { dd bs="$offset" skip=1 count=0 status=none && cat; } <"$exe"
        cat "$@"
    } >"$target"
}
export -f cat_pieces
