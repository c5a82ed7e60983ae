#!/usr/bin/env bash
# Builds the ready Wine prefix that every end-to-end test copies: booted once (slow), with a
# virtual desktop so that windows get title bars and close quickly.
#   make_prefix_template.sh OUTDIR
set -euo pipefail
out=${1:?usage: make_prefix_template.sh OUTDIR}
work="$out.new.$$"
rm -rf "$work"
mkdir -p "$work"
trap 'WINEPREFIX="$work" wineserver -k >/dev/null 2>&1 || true; rm -rf "$work"' EXIT

export WINEPREFIX="$work" WINEDEBUG=-all LC_ALL=ru_RU.UTF-8 WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
log="$work.log"
if ! wineboot -i >"$log" 2>&1; then
    cat "$log" >&2
    echo "make_prefix_template: wineboot -i failed" >&2
    exit 1
fi
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >>"$log" 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >>"$log" 2>&1
wineserver -k >/dev/null 2>&1 || true
wineserver -w
if ! grep -q '"Desktop"="Default"' "$work/user.reg"; then
    echo "make_prefix_template: the virtual desktop setting did not reach user.reg" >&2
    exit 1
fi
rm -f "$log"
rm -rf "$out"
mv "$work" "$out"
trap - EXIT
echo "make_prefix_template: $out ready"
