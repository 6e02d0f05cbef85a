# Shared steps of the end-to-end scripts: a real X server with a window manager and a tray.
# Source it; call e2e_start_desktop, then run the program; e2e_cleanup runs on exit.

# Windows are found by their Chinese titles. The program writes the title the window manager
# reads (WM_NAME) in its locale's charset, which in the C locale cannot hold Chinese.
export LC_ALL=C.UTF-8

e2e_pids=()
e2e_tmp="$(mktemp -d /tmp/velmora-e2e.XXXXXX)"

e2e_cleanup() {
    local pid
    for ((i = ${#e2e_pids[@]} - 1; i >= 0; i--)); do
        pid="${e2e_pids[i]}"
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$e2e_tmp"
}
trap e2e_cleanup EXIT

e2e_fail() {
    echo "FAIL: $*" >&2
    if [ -n "${DISPLAY:-}" ]; then
        import -window root "/tmp/velmora-e2e-failure-$$.png" 2>/dev/null &&
            echo "screenshot: /tmp/velmora-e2e-failure-$$.png" >&2
    fi
    exit 1
}

# Waits up to $1 tenths of a second for the command after it to succeed.
e2e_wait() {
    local tries="$1"
    shift
    for ((t = 0; t < tries; t++)); do
        if "$@" >/dev/null 2>&1; then return 0; fi
        sleep 0.1
    done
    return 1
}

e2e_start_desktop() {
    # Xvfb picks a free display itself and writes its number once it is ready, so scripts
    # running side by side never race for the same one.
    # -noreset: Xvfb would otherwise reset when the readiness probe leaves, failing whoever
    # connects during the reset.
    Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$e2e_tmp/display" >/dev/null 2>&1 &
    e2e_pids+=($!)
    e2e_wait 200 test -s "$e2e_tmp/display" || e2e_fail "Xvfb did not start"
    export DISPLAY=":$(head -n 1 "$e2e_tmp/display")"
    e2e_wait 200 xdpyinfo || e2e_fail "Xvfb did not answer on $DISPLAY"
    openbox >/dev/null 2>&1 &
    e2e_pids+=($!)
    trayer --edge bottom --align right --widthtype pixel --width 120 --height 28 \
        --SetDockType true >/dev/null 2>&1 &
    e2e_pids+=($!)
    e2e_wait 200 xdotool search --class trayer || e2e_fail "trayer did not start"
    export XDG_RUNTIME_DIR="$e2e_tmp/runtime"
    export XDG_CONFIG_HOME="$e2e_tmp/config"
    mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME"
    chmod 700 "$XDG_RUNTIME_DIR"
}

# The main window, once mapped.
e2e_main_window() {
    xdotool search --onlyvisible --name '^Velmora  By' | head -n 1
}

# The tray icon: the program's small window embedded in the tray.
e2e_tray_icon() {
    local w
    for w in $(xdotool search --onlyvisible --class velmora 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        if [ "$WIDTH" -le 32 ] && [ "$HEIGHT" -le 32 ]; then
            echo "$w"
            return 0
        fi
    done
    return 1
}
