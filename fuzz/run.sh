#!/usr/bin/env bash
# Runs every fuzz target for a bounded time and prints how many inputs each one executed.
#   fuzz/run.sh <build-dir> <seconds-per-target>
# Each target starts from its checked-in seed corpus, copied to a scratch folder: what the
# fuzzer finds on the way is kept only there, never written back into fuzz/corpus/. A crashing
# input is kept in <build-dir>/fuzz-artifacts/<target>/ and the script fails.
set -euo pipefail

if [ $# -ne 2 ]; then
    echo "usage: $0 <build-dir> <seconds-per-target>" >&2
    exit 2
fi
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$(cd "$1" && pwd)"
seconds="$2"
targets=(fuzz_parse_quote_reply fuzz_parse_public_quotes fuzz_build_quote_url fuzz_load_watch_list)

# The loader target writes files on every input: a tmpfs keeps its fsyncs cheap.
scratch_base="${TMPDIR:-/tmp}"
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
    scratch_base=/dev/shm
fi
work="$(mktemp -d "$scratch_base/velmora-fuzz.XXXXXX")"
trap 'rm -rf "$work"' EXIT

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

failed=0
summary=()
for target in "${targets[@]}"; do
    bin="$build/fuzz/$target"
    if [ ! -x "$bin" ]; then
        echo "$target: not built in $build (configure with -DVELMORA_FUZZ=ON and clang++)" >&2
        exit 2
    fi
    corpus="$work/$target/corpus"
    artifacts="$build/fuzz-artifacts/$target"
    mkdir -p "$corpus" "$work/$target/tmp" "$artifacts"
    cp -R "$here/corpus/$target/." "$corpus/"
    seeds="$(find "$corpus" -type f | wc -l)"
    options=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1
             -artifact_prefix="$artifacts/")
    if [ -f "$here/$target.dict" ]; then
        options+=(-dict="$here/$target.dict")
    fi

    log="$work/$target/log"
    printf '== %s: %s s from %s seeds\n' "$target" "$seconds" "$seeds"
    status=0
    TMPDIR="$work/$target/tmp" "$bin" "${options[@]}" "$corpus" >"$log" 2>&1 || status=$?

    execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)"
    rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)"
    found="$(find "$corpus" -type f | wc -l)"
    if [ "$status" -ne 0 ]; then
        failed=1
        tail -n 60 "$log"
        summary+=("$(printf '%-24s FAILED (exit %s), inputs kept in %s' "$target" "$status" "$artifacts")")
    else
        summary+=("$(printf '%-24s %12s executions %8s exec/s  corpus %s -> %s' \
                    "$target" "${execs:-?}" "${rate:-?}" "$seeds" "$found")")
    fi
done

printf '\n== fuzzing summary (%s s per target)\n' "$seconds"
printf '%s\n' "${summary[@]}"
exit "$failed"
