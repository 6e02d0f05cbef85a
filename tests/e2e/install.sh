#!/usr/bin/env bash
# Installs the Debian package into a scratch root, checks what it installs, starts the installed
# program in demo mode on a real X desktop, adds a stock through the list's context menu and the
# add dialog, and finds it in the per-user data folder ($XDG_DATA_HOME/velmora).
# Usage: install.sh <path to velmora_*.deb>
set -euo pipefail
deb="$(readlink -f "$1")"
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

root="$e2e_tmp/root"
dpkg-deb -x "$deb" "$root"
for f in usr/bin/velmora usr/share/applications/org.velmora.Velmora.desktop \
         usr/share/metainfo/org.velmora.Velmora.metainfo.xml \
         usr/share/icons/hicolor/16x16/apps/velmora.png \
         usr/share/icons/hicolor/scalable/apps/velmora.svg; do
    [ -e "$root/$f" ] || e2e_fail "the package does not install /$f"
done
desktop-file-validate "$root/usr/share/applications/org.velmora.Velmora.desktop" ||
    e2e_fail "the desktop entry does not validate"
appstreamcli validate --no-net "$root/usr/share/metainfo/org.velmora.Velmora.metainfo.xml" >/dev/null ||
    e2e_fail "the AppStream metainfo does not validate"
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libqt6widgets6 libqt6network6 qt6-qpa-plugins; do
    case "$depends" in *"$lib"*) ;; *) e2e_fail "the package does not depend on $lib: $depends" ;; esac
done
echo "install: package $(dpkg-deb -f "$deb" Package) $(dpkg-deb -f "$deb" Version)," \
     "installed size $(dpkg-deb -f "$deb" Installed-Size) KiB"

e2e_start_desktop
home="$e2e_tmp/home"
mkdir -p "$home"
export HOME="$home" XDG_DATA_HOME="$home/.local/share"
"$root/usr/bin/velmora" --demo >"$e2e_tmp/out.log" 2>&1 &
app=$!
e2e_pids+=($app)
e2e_wait 150 e2e_main_window || e2e_fail "the installed program's window did not appear"
data="$XDG_DATA_HOME/velmora"
[ -d "$data" ] || e2e_fail "no per-user data folder $data"
[ ! -e "$root/usr/bin/Setting.ini" ] || e2e_fail "the watch list went beside the executable"

# Right click on the list, "添加股票", type a code, leave the box (the name lookup runs), add.
win="$(e2e_main_window)"
xdotool mousemove --window "$win" 200 150 click 3
sleep 0.5
xdotool key Down Return
e2e_wait 100 xdotool search --onlyvisible --name '^添加黑马$' || e2e_fail "the add dialog did not open"
dialog="$(xdotool search --onlyvisible --name '^添加黑马$' | head -n 1)"
xdotool type --window "$dialog" 600519
xdotool key --window "$dialog" Tab
sleep 2
# Command1 sits at 480,2040 twips (32,136 px) and is 2655x375 twips (177x25 px).
xdotool mousemove --window "$dialog" 120 148 click 1
e2e_wait 100 grep -q '600519' "$data/Setting.ini" || e2e_fail "the stock did not reach $data/Setting.ini"
lines() { tr -cd '\n' <"$1" | wc -c; }
[ "$(lines "$data/Setting.ini")" = 1 ] && [ "$(lines "$data/Setting2.ini")" = 1 ] &&
    [ "$(lines "$data/Setting3.ini")" = 1 ] || e2e_fail "the three files do not hold one line each"
echo "install: added 600519, found in $data ($(tr -d '\r' <"$data/Setting2.ini") / $(tr -d '\r' <"$data/Setting3.ini"))"
