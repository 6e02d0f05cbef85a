#!/usr/bin/env bash
# Builds Velmora and starts it in demo mode on a data folder of its own inside the build folder
# (never a user's), seeded with a few codes when empty. Extra arguments go to the program.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${VELMORA_BUILD_DIR:-$here/build}"

"$here/tools/deps.sh" run
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_BUILD_TESTS=OFF >/dev/null
cmake --build "$build"

data="$build/demo-data"
mkdir -p "$data"
if [ ! -e "$data/Setting.ini" ]; then
    # A-shares, a Shanghai index, Hong Kong and US codes: the demo speaks every market's layout.
    printf '600000\r\n600036\r\n000001\r\nsh000001\r\n00700\r\nhk09988\r\nAAPL\r\nusTSLA\r\n' > "$data/Setting.ini"
    printf '10.5\r\n40\r\n12\r\n\r\n60\r\n90\r\n80\r\n70\r\n' > "$data/Setting2.ini"
    printf '9\r\n30\r\n10\r\n\r\n40\r\n60\r\n50\r\n40\r\n' > "$data/Setting3.ini"
fi
exec "$build/velmora" --demo --data-dir "$data" "$@"
