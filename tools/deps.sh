#!/usr/bin/env bash
# Installs the Debian packages a task needs, only those that are missing, so a second run is
# quick. Usage: tools/deps.sh run|test
set -euo pipefail

run_pkgs=(cmake ninja-build g++ ccache pkg-config
          qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev libxkbcommon-dev libxcb1-dev
          qt6-httpserver-dev qt6-websockets-dev qt6-webengine-dev
          fonts-wqy-microhei fonts-dejavu-extra qt6-translations-l10n)
test_pkgs=(xvfb openbox trayer xdotool x11-utils imagemagick
           clang libclang-rt-14-dev llvm locales procps psmisc dpkg-dev file
           desktop-file-utils appstream dbus-daemon dbus-bin)

case "${1:-run}" in
    run) wanted=("${run_pkgs[@]}") ;;
    test) wanted=("${run_pkgs[@]}" "${test_pkgs[@]}") ;;
    *) echo "usage: $0 run|test" >&2; exit 2 ;;
esac

missing=()
for pkg in "${wanted[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$pkg")
    fi
done

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

if [ ${#missing[@]} -gt 0 ]; then
    echo "== installing: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi

# Number rules are also tested under a locale with a decimal comma.
if [ "${1:-run}" = test ] && ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    echo "== generating the de_DE.UTF-8 locale"
    as_root sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
    as_root locale-gen >/dev/null
fi
