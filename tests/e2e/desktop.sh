#!/usr/bin/env bash
# The program as a tray resident on a real X desktop (Xvfb, openbox, trayer), driven with
# xdotool: the tray icon embeds; the tray menu's "预警开" starts the alerts (an alert window
# appears for a take-profit price every quote passes); the close button hides the window,
# closing another window meanwhile does not end the program, and a tray click brings the
# window back on top where it was; Ctrl+Alt+H hides every window and the tray's figure and
# brings them back; a second start on the same data folder brings the window back too;
# a window left at the top, left or right edge tucks away leaving a 2-3 pixel sliver and comes
# back when the pointer touches it; "退出" removes the icon and ends the program with status 0.
# Usage: desktop.sh <path to velmora>
set -euo pipefail
velmora="$1"
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
shots="${VELMORA_E2E_SHOTS:-/tmp}"

data="$e2e_tmp/data"
mkdir -p "$data"
printf '600000\r\n' > "$data/Setting.ini"
printf '0.01\r\n' > "$data/Setting2.ini" # every price passes this take-profit
printf '0\r\n' > "$data/Setting3.ini"

# --- helpers --------------------------------------------------------------------------------

tray_icon() { e2e_tray_icon; }

# The open tray menu: an override-redirect window of the program, taller than a tool tip.
tray_menu() {
    local w
    for w in $(xdotool search --onlyvisible --class velmora 2>/dev/null); do
        if xwininfo -id "$w" | grep -q 'Override Redirect State: yes'; then
            eval "$(xdotool getwindowgeometry --shell "$w")"
            if [ "$HEIGHT" -gt 100 ]; then
                echo "$w"
                return 0
            fi
        fi
    done
    return 1
}

no_tray_menu() { ! tray_menu >/dev/null; }
main_window() { e2e_main_window | grep .; }
no_main_window() { ! main_window; }
alert_window() { xdotool search --onlyvisible --name '^股价预警！' 2>/dev/null | head -n 1 | grep .; }
no_alert_window() { ! alert_window; }
alive() { kill -0 "$app" 2>/dev/null; }

# Absolute position of a window's client area: sets X and Y.
client_pos() {
    X="$(xwininfo -id "$1" | awk '/Absolute upper-left X/ {print $4}')"
    Y="$(xwininfo -id "$1" | awk '/Absolute upper-left Y/ {print $4}')"
}

# The outer frame of the main window: sets FL FT FR FB (right and bottom one past the frame).
frame_of_main() {
    local w ext l r t b
    w="$(main_window)" || return 1
    ext="$(xprop -id "$w" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')"
    read -r l r t b <<<"$ext"
    eval "$(xdotool getwindowgeometry --shell "$w")"
    client_pos "$w"
    FL=$((X - l)); FT=$((Y - t)); FR=$((X + WIDTH + r)); FB=$((Y + HEIGHT + b))
}

on_top() { xprop -id "$1" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE; }

# Opens the tray menu with a right click and chooses an item with the keyboard.
choose_from_tray_menu() {
    local icon
    icon="$(tray_icon)" || e2e_fail "no tray icon to click"
    xdotool mousemove --window "$icon" 11 13 click 3
    e2e_wait 50 tray_menu || e2e_fail "the tray menu did not open"
    [ -n "${1:-}" ] && import -window root "$1"
    shift || true
    xdotool key "$@"
    e2e_wait 50 no_tray_menu || e2e_fail "the tray menu stayed open"
}

# The user's close button: openbox closes the active window on Alt+F4.
close_with_wm() {
    xdotool windowactivate --sync "$1" 2>/dev/null || true
    xdotool key --clearmodifiers alt+F4
}

frame_bottom_in_sliver() { frame_of_main && [ "$FB" -ge 2 ] && [ "$FB" -le 4 ]; }
frame_right_in_sliver() { frame_of_main && [ "$FR" -ge 2 ] && [ "$FR" -le 4 ]; }
frame_left_in_sliver() { frame_of_main && [ $((1280 - FL)) -ge 2 ] && [ $((1280 - FL)) -le 4 ]; }
frame_top_past_edge() { frame_of_main && [ "$FT" -ge -2 ] && [ "$FT" -le 0 ]; }
frame_left_past_edge() { frame_of_main && [ "$FL" -ge -2 ] && [ "$FL" -le 0 ]; }
frame_right_past_edge() { frame_of_main && [ "$FR" -ge 1280 ] && [ "$FR" -le 1282 ]; }

# Waits for a docking state and says how long it took (printed, not judged).
dock_wait() {
    local what="$1" started ended
    started="$(date +%s%N)"
    e2e_wait 30 "$what" || e2e_fail "$what did not happen (frame $FL,$FT .. $FR,$FB)"
    ended="$(date +%s%N)"
    echo "  $what after $(((ended - started) / 1000000)) ms"
}

FL='?' FT='?' FR='?' FB='?'

# --- the run --------------------------------------------------------------------------------

e2e_start_desktop
"$velmora" --demo --data-dir "$data" >"$e2e_tmp/out.log" 2>&1 &
app=$!
e2e_pids+=($app)

e2e_wait 100 main_window || e2e_fail "the main window did not appear"
e2e_wait 100 tray_icon || e2e_fail "the tray icon did not embed"
icon="$(tray_icon)"
client_pos "$icon"
[ "$Y" -ge 772 ] || e2e_fail "the tray icon is not in the tray (at $X,$Y)"
colours="$(import -window "$icon" png:- | convert - -format '%k' info:)"
[ "$colours" -gt 10 ] || e2e_fail "the tray icon is blank ($colours colours)"
echo "tray icon embedded at $X,$Y, $colours colours"
win="$(main_window)"
on_top "$win" && e2e_fail "the window is on top before any tray click"

# Alerts on: an alert window appears at the first alert tick.
no_alert_window || e2e_fail "an alert window before the alerts were switched on"
choose_from_tray_menu "$shots/velmora-desktop-menu.png" Down Down Down Return
e2e_wait 200 alert_window || e2e_fail "no alert window after 预警开"
echo "预警开: alert window shown"

# Discreet mode from anywhere: Ctrl+Alt+H hides every window and the figure in the tray icon;
# an alert tick meanwhile shows no alert window; Ctrl+Alt+H again brings the windows back.
icon_image() {
    local w
    w="$(tray_icon)" || e2e_fail "the tray icon went away"
    import -window "$w" png:- 2>/dev/null | md5sum
}
figure="$(icon_image)"
xdotool key ctrl+alt+h
e2e_wait 50 no_main_window || e2e_fail "Ctrl+Alt+H did not hide the main window"
e2e_wait 50 no_alert_window || e2e_fail "Ctrl+Alt+H did not hide the alert window"
[ "$(icon_image)" != "$figure" ] || e2e_fail "the tray icon still shows its figure while discreet"
sleep 9 # an alert tick passes
no_alert_window || e2e_fail "an alert window came while discreet"
import -window root "$shots/velmora-desktop-discreet.png"
xdotool key ctrl+alt+h
e2e_wait 50 main_window || e2e_fail "Ctrl+Alt+H did not bring the main window back"
e2e_wait 50 alert_window || e2e_fail "Ctrl+Alt+H did not bring the alert window back"
echo "Ctrl+Alt+H: windows and figure hidden over an alert tick, then back"

# The close button hides the window; the program, its icon and its alerts stay.
frame_of_main
before_x="$X" before_y="$Y"
close_with_wm "$(main_window)"
e2e_wait 50 no_main_window || e2e_fail "the close button did not hide the window"
alive || e2e_fail "the close button ended the program"
tray_icon >/dev/null || e2e_fail "the tray icon went with the window"

# Alerts off; closing another window while the main window is hidden does not end the
# program.
choose_from_tray_menu "" Down Down Down Down Return # 预警关
close_with_wm "$(alert_window)"
e2e_wait 50 no_alert_window || e2e_fail "the alert window did not close"
sleep 1
alive || e2e_fail "closing the alert window ended the program"
echo "close button: window hidden, program running; alert window closed, program running"

# A tray click brings the window back where it was, on top.
xdotool mousemove --window "$(tray_icon)" 11 13 click 1
e2e_wait 50 main_window || e2e_fail "a tray click did not bring the window back"
win="$(main_window)"
e2e_wait 20 on_top "$win" || e2e_fail "the window is not on top after a tray click"
client_pos "$win"
[ "$X,$Y" = "$before_x,$before_y" ] || e2e_fail "the window came back at $X,$Y, not $before_x,$before_y"
echo "tray click: window back at $X,$Y, on top"

# A second start on the same data folder brings the hidden window back and leaves.
close_with_wm "$win"
e2e_wait 50 no_main_window || e2e_fail "the close button did not hide the window"
status=0
timeout 20 "$velmora" --demo --data-dir "$data" >"$e2e_tmp/second.log" 2>&1 || status=$?
[ "$status" -eq 0 ] || e2e_fail "the second start ended with status $status"
e2e_wait 50 main_window || e2e_fail "the second start did not bring the window back"
echo "second start: handed over (status 0), window back"

# Docking at the three edges: tucked away with the pointer elsewhere, back when it touches
# the sliver, tucked again when it leaves.
win="$(main_window)"
dock() {
    local x="$1" y="$2" touch_x="$3" touch_y="$4" tucked="$5" back="$6" name="$7"
    xdotool mousemove 640 560
    xdotool windowmove "$win" "$x" "$y"
    dock_wait "$tucked"
    [ -n "$name" ] && import -window root "$shots/velmora-desktop-$name.png"
    xdotool mousemove "$touch_x" "$touch_y"
    dock_wait "$back"
    xdotool mousemove 640 560
    dock_wait "$tucked"
}
dock 300 3 400 1 frame_bottom_in_sliver frame_top_past_edge tucked-top
dock 2 300 1 400 frame_right_in_sliver frame_left_past_edge ""
dock 900 300 1278 400 frame_left_in_sliver frame_right_past_edge ""
echo "docking: tucked to a 2-4 px sliver and back at the top, left and right edges"
xdotool mousemove 640 560
alive || e2e_fail "the program ended during docking"
no_alert_window || e2e_fail "an alert window came back after 预警关"

# 退出: the icon goes, the program ends with status 0.
choose_from_tray_menu "" Up Return
status=0
for _ in $(seq 100); do alive || break; sleep 0.1; done
alive && e2e_fail "the program is still running after 退出"
wait "$app" || status=$?
[ "$status" -eq 0 ] || e2e_fail "the program ended with status $status after 退出"
tray_icon >/dev/null && e2e_fail "the tray icon is still there after 退出"
echo "退出: program ended with status 0, icon gone"
