#!/usr/bin/env bash
# "查看分时" on a real X desktop: with every row selected, the chart viewer window appears with
# its caption and size, ends on the last row's chart page from the demo service, and a
# screenshot of it is not blank. Closing it ends its process; the next "查看分时" starts a new
# one; ending the program takes the viewer along. Without the viewer built, the test is skipped.
# Usage: chart.sh <path to velmora>
set -euo pipefail
velmora="$1"
source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

if [ ! -x "$(dirname "$velmora")/velmora-chart" ]; then
    echo "chart: velmora-chart is not built here (no browser engine); skipped"
    exit 77
fi

data="$e2e_tmp/data"
mkdir -p "$data"
printf '600000\r\n000001\r\n300750\r\n' > "$data/Setting.ini"
printf '10\r\n11\r\n12\r\n' > "$data/Setting2.ini"
printf '9\r\n8\r\n7\r\n' > "$data/Setting3.ini"
before="$(cd "$data" && md5sum Setting*.ini)"

e2e_start_desktop
# The viewer reports each finished page load on the program's terminal.
VELMORA_CHART_TRACE=1 "$velmora" --demo --data-dir "$data" >"$e2e_tmp/out.log" 2>&1 &
app=$!
e2e_pids+=($app)
e2e_wait 100 e2e_main_window || e2e_fail "the main window did not appear"
win="$(e2e_main_window)"

viewer_window() {
    xdotool search --onlyvisible --name '^实时行情' 2>/dev/null | head -n 1
}
viewer_processes() {
    pgrep -f "velmora-chart --server $XDG_RUNTIME_DIR/" || true
}
# "查看分时": the third item of the list's context menu, opened over a selected row.
show_charts() {
    xdotool mousemove --window "$win" 60 30 click 3
    sleep 0.5
    xdotool key Down Down Down Return
}

[ -z "$(viewer_processes)" ] || e2e_fail "a viewer runs before any chart was asked for"

# Every row selected: the viewer ends on the last one in list order.
xdotool mousemove --window "$win" 60 30 click 1
xdotool key ctrl+a
show_charts
e2e_wait 300 viewer_window || e2e_fail "the chart viewer did not appear"
viewer="$(viewer_window)"
name="$(xdotool getwindowname "$viewer")"
[ "$name" = "实时行情               Tesquin-专业Orlentis-散户赚钱好帮手！——127.0.0.1" ] ||
    e2e_fail "unexpected viewer caption: $name"
eval "$(xdotool getwindowgeometry --shell "$viewer")"
[ "$WIDTH" -eq 917 ] && [ "$HEIGHT" -eq 648 ] || e2e_fail "viewer client area ${WIDTH}x${HEIGHT}, want 917x648"

last_loaded() {
    grep -a '^velmora-chart: loaded ' "$e2e_tmp/out.log" | tail -n 1 | awk '{print $4}'
}
loaded_last_row() {
    case "$(last_loaded)" in */cn/300750/index_kp.shtml) return 0 ;; esac
    return 1
}
e2e_wait 300 loaded_last_row || e2e_fail "the viewer did not end on the last row's chart: $(last_loaded)"

# Rendered, not blank: the chart's text, axes and line give many colours.
shot="${VELMORA_E2E_SHOT:-$e2e_tmp/chart.png}"
rendered() {
    import -window "$viewer" "$shot" 2>/dev/null || return 1
    [ "$(convert "$shot" -format '%k' info:)" -gt 20 ]
}
e2e_wait 100 rendered || e2e_fail "the chart viewer stayed blank ($(convert "$shot" -format '%k' info:) colours)"
colours="$(convert "$shot" -format '%k' info:)"
# The chart line is drawn in red.
red="$(convert "$shot" -fuzz 20% -fill black +opaque '#ff0000' -format '%[fx:mean*w*h]' info:)"
[ "${red%.*}" -gt 20 ] || e2e_fail "no chart line in the viewer (red pixels: $red)"

first_pids="$(viewer_processes)"
[ "$(echo "$first_pids" | wc -l)" -eq 1 ] || e2e_fail "more than one viewer process: $first_pids"

# Closing the window ends the viewer's process.
gone() { [ -z "$(viewer_processes)" ]; }
xdotool windowactivate --sync "$viewer" key alt+F4
e2e_wait 150 gone || e2e_fail "the viewer process outlived its window"

# The next "查看分时" starts a new one.
show_charts
e2e_wait 300 viewer_window || e2e_fail "the chart viewer did not come back"
second_pids="$(viewer_processes)"
[ -n "$second_pids" ] && [ "$second_pids" != "$first_pids" ] || e2e_fail "no new viewer process"

# Ending the program takes the viewer along.
kill "$app"
wait "$app" 2>/dev/null || true
e2e_wait 150 gone || e2e_fail "the viewer outlived the program"

after="$(cd "$data" && md5sum Setting*.ini)"
[ "$before" = "$after" ] || e2e_fail "the watch-list files changed"
echo "chart: viewer '$name' ${WIDTH}x${HEIGHT} on $(last_loaded), $colours colours, reopened after closing"
