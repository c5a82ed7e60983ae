#!/usr/bin/env bash
# The Debian package, built from the built command line by scripts/package-deb: its files and
# their modes, its control fields, a Depends that covers every library the binary names, the
# manual page rendered without a warning, and the bash completion sourced and asked. Nothing is
# installed: the package is unpacked into a temporary folder.
#   package_test.sh BINARY SOURCE_DIR VERSION
set -euo pipefail
binary=$1
source_dir=$2
version=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

deb=$("$source_dir/scripts/package-deb" "$binary" "$work/dist")
[[ $(basename "$deb") == dravnik_"$version"-*_amd64.deb ]] || fail "package named $deb"

# The files, their owners and modes, as the archive lists them.
dpkg-deb -c "$deb" | awk '{print $1, $2, $6}' >"$work/contents"
cat >"$work/expected" <<'EOF'
drwxr-xr-x root/root ./
drwxr-xr-x root/root ./usr/
drwxr-xr-x root/root ./usr/bin/
-rwxr-xr-x root/root ./usr/bin/dravnik
drwxr-xr-x root/root ./usr/share/
drwxr-xr-x root/root ./usr/share/bash-completion/
drwxr-xr-x root/root ./usr/share/bash-completion/completions/
-rw-r--r-- root/root ./usr/share/bash-completion/completions/dravnik
drwxr-xr-x root/root ./usr/share/doc/
drwxr-xr-x root/root ./usr/share/doc/dravnik/
-rw-r--r-- root/root ./usr/share/doc/dravnik/changelog.Debian.gz
-rw-r--r-- root/root ./usr/share/doc/dravnik/copyright
drwxr-xr-x root/root ./usr/share/man/
drwxr-xr-x root/root ./usr/share/man/man1/
-rw-r--r-- root/root ./usr/share/man/man1/dravnik.1.gz
EOF
diff -u "$work/expected" "$work/contents" || fail "the package's files differ"

# The control member and its fields.
dpkg-deb -I "$deb" >"$work/info"
grep -Eq '^ +[0-9]+ bytes, +[0-9]+ lines +md5sums' "$work/info" || fail "no md5sums"
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == dravnik ]] || fail "Package: $(field Package)"
[[ $(field Version) == "$version"-* ]] || fail "Version $(field Version) is not $version-N"
[[ $(field Architecture) == amd64 ]] || fail "Architecture: $(field Architecture)"
[[ $(field Section) == utils ]] || fail "Section: $(field Section)"
[[ -n $(field Maintainer) && -n $(field Installed-Size) ]] || fail "no Maintainer or size"
[[ $(field Description | wc -l) -ge 3 ]] || fail "no long description"

# Every library the packaged binary names belongs to a package in Depends.
root=$work/root
dpkg-deb -x "$deb" "$root"
program=$root/usr/bin/dravnik
depends=$(field Depends)
objdump -p "$program" | awk '$1 == "NEEDED" {print $2}' >"$work/needed"
[[ -s $work/needed ]] || fail "objdump names no library"
while read -r library; do
    path=$(ldd "$program" | awk -v name="$library" '$1 == name {print $3}')
    [[ -n $path ]] || fail "ldd finds no $library"
    owner=
    # With /usr merged, dpkg knows a library under one of its two spellings.
    for candidate in "$path" "$(realpath "$path")"; do
        for spelling in "$candidate" "${candidate#/usr}" "/usr$candidate"; do
            owner=$(dpkg -S "$spelling" 2>/dev/null | grep -v '^diversion' | head -n 1 |
                cut -d: -f1) || true
            [[ -n $owner ]] && break 2
        done
    done
    [[ -n $owner ]] || fail "no installed package holds $library ($path)"
    tr ',|' '\n' <<<"$depends" | awk '{print $1}' | grep -Fqx "$owner" ||
        fail "Depends ($depends) lacks $owner"
done <"$work/needed"

# The packaged program runs and is this version.
reported=$("$program" --version)
[[ $reported == "dravnik $version" ]] || fail "dravnik --version says: $reported"

# The manual page renders without a single warning, through man and through groff alone (in a
# locale every Debian has, whatever the caller's is).
page=$root/usr/share/man/man1/dravnik.1.gz
LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$page" >"$work/page.txt" 2>"$work/man.err" ||
    fail "man failed: $(cat "$work/man.err")"
[[ ! -s $work/man.err ]] || fail "man warns: $(cat "$work/man.err")"
grep -q 'dravnik split film.iso -v4095M -a/media/stick/film' "$work/page.txt" ||
    fail "the rendered page lacks the FAT32 example"
zcat "$page" | LC_ALL=C.UTF-8 groff -man -ww -z 2>"$work/groff.err" || fail "groff failed"
[[ ! -s $work/groff.err ]] || fail "groff warns: $(cat "$work/groff.err")"

# The completion: the commands, and for info the .exe files and folders only.
mkdir "$work/files" "$work/files/sub"
touch "$work/files/a.0.exe" "$work/files/a.1.bin"
completion=$root/usr/share/bash-completion/completions/dravnik
cd "$work/files"
ask() {
    bash --norc --noprofile -c 'source "$1"; shift
        COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _dravnik
        printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "' ask "$completion" "$@"
}
bash --norc --noprofile -c 'source "$1"; complete -p dravnik' ask "$completion" |
    grep -q -- '-F _dravnik dravnik$' || fail "the completion is not registered for dravnik"
[[ $(ask dravnik j) == "join " ]] || fail "dravnik j completes to: $(ask dravnik j)"
[[ $(ask dravnik info '') == "a.0.exe sub " ]] || fail "dravnik info offers: $(ask dravnik info '')"
echo "package ok: $(basename "$deb"), $(stat -c %s "$deb") bytes, Depends: $depends"
