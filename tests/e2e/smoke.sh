#!/usr/bin/env bash
# Starts the real program on a real X desktop with a folder of watch-list files: the main window
# appears with its caption and size, the tray icon embeds, and a screenshot is not blank.
# Usage: smoke.sh <path to velmora>
set -euo pipefail
velmora="$1"
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

data="$e2e_tmp/data"
mkdir -p "$data"
printf '600000\r\n000001\r\n' > "$data/Setting.ini"
printf '10.5\r\n12\r\n' > "$data/Setting2.ini"
printf '9\r\n10\r\n' > "$data/Setting3.ini"
before="$(cd "$data" && md5sum Setting*.ini)"

e2e_start_desktop
# The window as designed: without the 走势 column, which widens it.
mkdir -p "$XDG_CONFIG_HOME/velmora"
printf '[view]\ntrend=false\n' > "$XDG_CONFIG_HOME/velmora/velmora.conf"
"$velmora" --demo --data-dir "$data" >"$e2e_tmp/out.log" 2>&1 &
app=$!
e2e_pids+=($app)

e2e_wait 100 e2e_main_window || e2e_fail "the main window did not appear"
win="$(e2e_main_window)"
name="$(xdotool getwindowname "$win")"
case "$name" in
    "Velmora  By Tesquin Orlentis——"*"（演示行情）") ;;
    *) e2e_fail "unexpected caption: $name" ;;
esac
eval "$(xdotool getwindowgeometry --shell "$win")"
[ "$WIDTH" -eq 452 ] && [ "$HEIGHT" -eq 249 ] || e2e_fail "client area ${WIDTH}x${HEIGHT}, want 452x249"

e2e_wait 100 e2e_tray_icon || e2e_fail "the tray icon did not embed"

shot="${VELMORA_E2E_SHOT:-$e2e_tmp/smoke.png}"
import -window root "$shot"
colours="$(convert "$shot" -format '%k' info:)"
[ "$colours" -gt 10 ] || e2e_fail "the screenshot is nearly blank ($colours colours)"

kill -0 "$app" || e2e_fail "the program ended by itself"
after="$(cd "$data" && md5sum Setting*.ini)"
[ "$before" = "$after" ] || e2e_fail "start-up changed the watch-list files"
echo "smoke: window '$name' ${WIDTH}x${HEIGHT}, tray icon embedded, $colours colours on screen"
