#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a fixed time, starting from the
# generated seeds and the corpus earlier runs left behind.
#
# usage: fuzz/run_fuzzers.sh BUILD_DIR SECONDS [parallel]
# With "parallel" all targets run at once (for long soak runs under nice);
# otherwise one after another. Logs, corpora and crash inputs go under
# BUILD_DIR/fuzz-runs/<target>/. Exits non-zero if any target found a crash,
# a leak, a timeout or an out-of-memory input.
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=$2
mode=${3:-serial}
targets=(x91_decode c_api_decode wave_reader packet_readers sndfile_input)

run_one() {
    local name=$1
    local out=$build/fuzz-runs/$name
    mkdir -p "$out/corpus" "$out/artifacts"
    # Each target's input may be big enough to hold a few packets.
    local max_len=65536
    [ "$name" = packet_readers ] && max_len=8192
    [ "$name" = wave_reader ] && max_len=4096
    [ "$name" = sndfile_input ] && max_len=16384
    # The C interface's decoder starts from the same x91 files.
    local seeds=$name
    [ "$name" = c_api_decode ] && seeds=x91_decode
    "$build/fuzz/fuzz_$name" "$out/corpus" "$build/fuzz-seeds/$seeds" \
        -max_total_time="$seconds" -rss_limit_mb=512 -timeout=10 -max_len=$max_len \
        -artifact_prefix="$out/artifacts/" -print_final_stats=1 >"$out/log" 2>&1
}

status=0
if [ "$mode" = parallel ]; then
    pids=()
    for t in "${targets[@]}"; do run_one "$t" & pids+=($!); done
    for i in "${!pids[@]}"; do
        if ! wait "${pids[$i]}"; then echo "fuzz_${targets[$i]}: FAILED"; status=1; fi
    done
else
    for t in "${targets[@]}"; do
        if ! run_one "$t"; then echo "fuzz_$t: FAILED"; status=1; fi
    done
fi
for t in "${targets[@]}"; do
    log=$build/fuzz-runs/$t/log
    echo "--- fuzz_$t: $(grep -E '^#[0-9]+.*(DONE|pulse|NEW)' "$log" | tail -n 1)"
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" || true
    if [ "$status" -ne 0 ]; then grep -E 'ERROR|SUMMARY|==ABORT|Test unit written' "$log" || true; fi
done
exit $status
