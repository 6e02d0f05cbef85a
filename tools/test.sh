#!/usr/bin/env bash
# Builds Velmora and runs every test: the unit, widget, integration and end-to-end tests (g++,
# warnings as errors), the plain-C++ core under clang, the unit and widget tests again under
# AddressSanitizer and UndefinedBehaviorSanitizer, and a short run of each fuzz target.
# Set VELMORA_QUICK=1 to skip the sanitizer build and the fuzzing.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
out="${VELMORA_TEST_BUILD_ROOT:-$here}"
jobs="$(nproc)"

"$here/tools/deps.sh" test
export QTWEBENGINE_DISABLE_SANDBOX=1 # tests run as root; the program never sets this itself

stage() { printf '\n== %s\n' "$*"; }

stage "folders include one way"
bash "$here/tools/check-layers.sh"

stage "build (g++, warnings as errors)"
cmake -S "$here" -B "$out/build-ci" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELMORA_WERROR=ON >/dev/null
cmake --build "$out/build-ci" -j "$jobs"

stage "plain-C++ core under clang"
cmake -S "$here" -B "$out/build-clang" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
      -DVELMORA_CORE_ONLY=ON -DVELMORA_BUILD_TESTS=OFF -DVELMORA_WERROR=ON >/dev/null
cmake --build "$out/build-clang" -j "$jobs"

stage "unit, widget and integration tests"
ctest --test-dir "$out/build-ci" --output-on-failure -j "$jobs" -LE e2e

stage "end-to-end tests on a real X server"
ctest --test-dir "$out/build-ci" --output-on-failure -L e2e

stage "Debian package: from the same build, install into a scratch root, add a stock with the installed program"
# One build serves both: the program tells at run time whether it was installed.
rm -f "$out"/build-ci/velmora_*.deb
(cd "$out/build-ci" && cpack -G DEB >/dev/null)
bash "$here/tests/e2e/install.sh" "$out"/build-ci/velmora_*.deb

if [ "${VELMORA_QUICK:-0}" != 1 ]; then
    stage "unit and widget tests under AddressSanitizer and UndefinedBehaviorSanitizer"
    cmake -S "$here" -B "$out/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
          -DVELMORA_SANITIZE=ON -DVELMORA_WERROR=ON >/dev/null
    cmake --build "$out/build-asan" -j "$jobs"
    # Qt and fontconfig keep memory until exit on purpose: leaks are not what this run looks for.
    ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --test-dir "$out/build-asan" --output-on-failure -j "$jobs" -LE 'e2e|slow'

    if [ -f "$here/fuzz/run.sh" ]; then
        stage "fuzzing (bounded time per target)"
        cmake -S "$here" -B "$out/build-fuzz" -G Ninja -DCMAKE_CXX_COMPILER=clang++ \
              -DVELMORA_CORE_ONLY=ON -DVELMORA_BUILD_TESTS=OFF -DVELMORA_FUZZ=ON >/dev/null
        cmake --build "$out/build-fuzz" -j "$jobs"
        bash "$here/fuzz/run.sh" "$out/build-fuzz" "${VELMORA_FUZZ_SECONDS:-60}"
    fi
fi

stage "all tests passed"
