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
    printf '600000\r\n600036\r\n000001\r\n300750\r\n' > "$data/Setting.ini"
    printf '10.5\r\n40\r\n12\r\n200\r\n' > "$data/Setting2.ini"
    printf '9\r\n30\r\n10\r\n150\r\n' > "$data/Setting3.ini"
fi
exec "$build/velmora" --demo --data-dir "$data" "$@"
