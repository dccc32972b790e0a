#!/usr/bin/env bash
# fuzz/run.sh BUILD_DIR SECONDS: runs each libFuzzer target built in BUILD_DIR for SECONDS, from a
# seed corpus made by the job builders and with the PCL dictionary. A finding is kept in
# BUILD_DIR/findings/TARGET/; copy it to tests/data/regressions/TARGET-NAME so the unit tests
# replay it.
set -euo pipefail
dir=$(cd "$1" && pwd)
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$dir/zelmo_fuzz_seeds" "$work/seeds"
status=0
for target in run_job decoders spool raster5; do
    mkdir -p "$work/corpus/$target" "$dir/findings/$target" "$work/seeds/$target"
    echo "== fuzz_$target for ${seconds}s"
    # Regression inputs already saved are part of the corpus, so a fix stays fixed.
    seeds=("$work/seeds/$target")
    regressions=("$here"/../tests/data/regressions/"$target"-*)
    if [ -e "${regressions[0]}" ]; then
        mkdir -p "$work/regressions/$target"
        cp "${regressions[@]}" "$work/regressions/$target/"
        seeds+=("$work/regressions/$target")
    fi
    if ! ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        "$dir/fuzz_$target" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=4096 \
        -dict="$here/pcl.dict" -artifact_prefix="$dir/findings/$target/" -print_final_stats=1 \
        "$work/corpus/$target" "${seeds[@]}" 2>"$work/$target.log"; then
        tail -n 60 "$work/$target.log"
        echo "== fuzz_$target found a fault; the input is in $dir/findings/$target/"
        status=1
    else
        grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb|Done)' "$work/$target.log" || true
    fi
done
exit $status
