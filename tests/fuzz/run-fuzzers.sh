#!/usr/bin/env bash
# Runs every fuzz target of a build for a bounded time, each on a fresh copy
# of its seed corpus (what libFuzzer adds stays in the build folder), and
# fails when any target finds a crash, a sanitizer report, a leak, a hang or
# a broken property.
#
#   run-fuzzers.sh BUILD_DIR SECONDS_PER_TARGET [PARALLEL_TARGETS]
#
# Per target, BUILD_DIR/fuzz/<target>/ holds the log, the working corpus and
# the artifacts (crash-*, leak-*, timeout-*, oom-*) of the last run.
set -uo pipefail

build=$(cd "$1" && pwd)
seconds=$2
parallel=${3:-1}
source_dir=$(cd "$(dirname "$0")" && pwd)
out="$build/fuzz"
targets=(fixedstrategyfile groupsfile hostprofile instancelist)

symbolizer=/usr/lib/llvm-14/bin/llvm-symbolizer
[ -x "$symbolizer" ] && export ASAN_SYMBOLIZER_PATH="$symbolizer"
export ASAN_OPTIONS=detect_leaks=1:symbolize=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS="suppressions=$source_dir/lsan.supp:print_suppressions=0"
# Temporary folders of the targets (and any left by one that crashed) stay
# in the build folder.
export TMPDIR="$out/tmp"
mkdir -p "$TMPDIR"

run_target() {
    local t=$1 dir="$out/$1"
    rm -rf "$dir"
    mkdir -p "$dir/corpus" "$dir/artifacts"
    cp -R "$source_dir/corpus/$t/." "$dir/corpus/"
    local options=()
    [ -f "$source_dir/$t.dict" ] && options+=(-dict="$source_dir/$t.dict")
    case $t in
    instancelist)
        # Most inputs repeat a key holding an object, which Qt's JSON parser
        # leaks (lsan.supp); a leak check after each of them would take most
        # of the time. Leaks are still looked for when the run ends.
        options+=(-detect_leaks=0) ;;
    esac
    "$build/bin/fuzz_$t" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2560 -print_final_stats=1 \
        -artifact_prefix="$dir/artifacts/" "${options[@]}" "$dir/corpus" >"$dir/log" 2>&1
    echo $? >"$dir/status"
}

echo "Fuzzing ${#targets[@]} targets for $seconds s each, $parallel at a time; logs in $out/<target>/log"
for t in "${targets[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$parallel" ]; do
        wait -n
    done
    run_target "$t" &
done
wait

failed=0
for t in "${targets[@]}"; do
    dir="$out/$t"
    status=$(cat "$dir/status" 2>/dev/null || echo "?")
    runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$dir/log" | tail -1 | awk '{print $2}')
    [ -n "$runs" ] || runs=$(grep -o 'Done [0-9]* runs' "$dir/log" | tail -1 | awk '{print $2}')
    corpus=$(find "$dir/corpus" -type f | wc -l)
    artifacts=$(find "$dir/artifacts" -type f | sort)
    if [ "$status" = 0 ] && [ -z "$artifacts" ]; then
        printf '%-18s %10s runs, corpus %4s inputs, nothing found\n' "$t" "${runs:-?}" "$corpus"
        continue
    fi
    failed=$((failed + 1))
    printf '%-18s %10s runs, FOUND (exit status %s)\n' "$t" "${runs:-?}" "$status"
    # The report: from the first sanitizer or property line to the input's
    # bytes, as libFuzzer prints them.
    sed -n '/==FUZZ CHECK FAILED==\|==[0-9]*==ERROR\|ERROR: libFuzzer\|runtime error:\|ALARM: working on\|out-of-memory/,/^Base64:\|^artifact_prefix/p' \
        "$dir/log" | head -80 | sed 's/^/    /'
    if grep -q '^Done [0-9]* runs' "$dir/log" && grep -q 'ERROR: LeakSanitizer' "$dir/log"; then
        # Found by the check at the end of the run, not with one input.
        echo "    leak found when the run ended; to find the input:"
        echo "    $build/bin/fuzz_$t -detect_leaks=1 -runs=0 $dir/corpus"
    elif [ -n "$artifacts" ]; then
        for a in $artifacts; do
            echo "    input kept as $a"
            echo "    reproduce: $build/bin/fuzz_$t -artifact_prefix=$dir/artifacts/ $a"
        done
    else
        echo "    no input was kept; see $dir/log"
    fi
done
echo "fuzz: $(( ${#targets[@]} - failed )) passed, $failed failed"
[ "$failed" -eq 0 ]
