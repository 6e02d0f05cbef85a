#!/usr/bin/env bash
# Web panels benchmark: the real program in demo mode with 20 rows on a real X server.
# Prints the time from start to the first shown window (several starts), the resident memory of
# the program and its child processes after 30 s with the chart never opened, the same with one
# chart open and after it was closed again, and the time from choosing "查看分时" to the chart
# page's load (first use, which starts the viewer, and a second chart in the open viewer).
# Figures are printed, never judged. Usage: bench_panels.sh <path to velmora> [settle seconds]
set -euo pipefail
velmora="$1"
settle="${2:-30}"
source "$(dirname "${BASH_SOURCE[0]}")/../tests/e2e/lib.sh"
# Benchmarks run as root here like the tests; the program itself never turns the sandbox off.
export QTWEBENGINE_DISABLE_SANDBOX=1

data="$e2e_tmp/data"
mkdir -p "$data"
codes=(600000 600036 600519 601318 601398 000001 000002 000333 000651 000858
       002415 002594 300059 300750 600276 600887 601012 601888 603259 688981)
: > "$data/Setting.ini"; : > "$data/Setting2.ini"; : > "$data/Setting3.ini"
for code in "${codes[@]}"; do
    printf '%s\r\n' "$code" >> "$data/Setting.ini"
    printf '999\r\n' >> "$data/Setting2.ini"
    printf '0.01\r\n' >> "$data/Setting3.ini"
done

e2e_start_desktop

now_ms() { date +%s%3N; }

# The program and every process below it.
tree_pids() {
    local pids=("$1") i=0 child
    while [ $i -lt ${#pids[@]} ]; do
        for child in $(pgrep -P "${pids[$i]}" 2>/dev/null); do pids+=("$child"); done
        i=$((i + 1))
    done
    echo "${pids[@]}"
}
# "RSS MiB / PSS MiB / processes" summed over the tree.
memory() {
    local rss=0 pss=0 n=0 pid kb
    for pid in $(tree_pids "$1"); do
        kb="$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)"
        [ -n "$kb" ] || continue
        rss=$((rss + kb))
        kb="$(awk '/^Pss:/ {print $2}' "/proc/$pid/smaps_rollup" 2>/dev/null || echo 0)"
        pss=$((pss + kb))
        n=$((n + 1))
    done
    printf 'RSS %d MiB, PSS %d MiB, %d process(es)' $((rss / 1024)) $((pss / 1024)) "$n"
}

main_window() { xdotool search --onlyvisible --name '^Velmora  By' 2>/dev/null | head -n 1; }
viewer_window() { xdotool search --onlyvisible --name '^实时行情' 2>/dev/null | head -n 1; }

start_program() {
    VELMORA_CHART_TRACE=1 "$velmora" --demo --data-dir "$data" >"$e2e_tmp/out.log" 2>&1 &
    app=$!
    e2e_pids+=($app)
}
stop_program() {
    kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
}

# --- start to first shown window -------------------------------------------------------------
starts=()
for run in 1 2 3 4 5; do
    t0="$(now_ms)"
    start_program
    until [ -n "$(main_window)" ]; do
        kill -0 "$app" 2>/dev/null || e2e_fail "the program ended at start"
    done
    starts+=($(( $(now_ms) - t0 )))
    stop_program
    sleep 1
done
sorted=($(printf '%s\n' "${starts[@]}" | sort -n))
echo "start to first shown window: median ${sorted[2]} ms (runs: ${starts[*]} ms)"

# --- memory with the chart never opened ------------------------------------------------------
start_program
e2e_wait 100 main_window || e2e_fail "the main window did not appear"
win="$(main_window)"
echo "at first window: $(memory "$app")"
sleep "$settle"
echo "after ${settle} s, chart never opened: $(memory "$app")"

# --- "查看分时" to the chart page's load -------------------------------------------------------
loaded_after() { # prints the load time (epoch ms) of the first load of $2 after line $1
    tail -n +"$(( $1 + 1 ))" "$e2e_tmp/out.log" | grep -a "^velmora-chart: loaded .*/cn/$2/" |
        head -n 1 | awk '{print $3}'
}
show_chart() { # row (0-based) -> milliseconds from choosing the item to the page's load
    local row="$1" code="${codes[$1]}" y lines t0 t1
    y=$((30 + 15 * row))
    xdotool windowactivate --sync "$win" # the viewer may cover it
    xdotool mousemove --window "$win" 60 "$y" click 1
    xdotool mousemove --window "$win" 60 "$y" click 3
    sleep 0.5
    xdotool key Down Down Down
    lines="$(wc -l < "$e2e_tmp/out.log")"
    t0="$(now_ms)"
    xdotool key Return
    for ((i = 0; i < 600; i++)); do
        t1="$(loaded_after "$lines" "$code")"
        [ -n "$t1" ] && break
        sleep 0.05
    done
    [ -n "$t1" ] || e2e_fail "no chart page load for $code"
    echo $((t1 - t0))
}
first="$(show_chart 0)"
echo "查看分时 to chart page loaded, viewer not running: $first ms"
sleep 3
second="$(show_chart 5)"
echo "查看分时 to chart page loaded, viewer already open: $second ms"
sleep 5
echo "one chart open: $(memory "$app")"

viewer="$(viewer_window)"
[ -n "$viewer" ] || e2e_fail "no viewer window"
xdotool windowactivate --sync "$viewer" key alt+F4
sleep 5
echo "chart closed again: $(memory "$app")"
stop_program
