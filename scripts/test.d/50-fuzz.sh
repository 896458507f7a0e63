#!/usr/bin/env bash
# Every libFuzzer target in turn over its seed corpus and the regression
# inputs kept in fuzz/corpus/<target>, sharing PARLINO_FUZZ_SECONDS (180 by
# default, 60 where the Windows checks run emulated) equally among the
# targets of fuzz/targets.txt. A crash, a leak or a broken property fails
# the stage; the input that caused it is left in
# build/fuzz/findings/ to be added to fuzz/corpus/<target>/ once fixed.
set -euo pipefail
mapfile -t targets < <(grep -E '^[a-z_]+$' fuzz/targets.txt)
# Where the Windows checks run in the emulated machine they take several
# minutes more; this stage gives them two of its three.
budget=180
[[ $(bash scripts/windows/route.sh) == native ]] || budget=60
seconds=$(( ${PARLINO_FUZZ_SECONDS:-$budget} / ${#targets[@]} ))
(( seconds > 0 )) || seconds=1
cmake --preset fuzz
cmake --build --preset fuzz -j "${PARLINO_JOBS:-2}"

out=build/fuzz
mkdir -p "$out/findings"
report="$out/fuzz-report.txt"
: >"$report"
status=0
for target in "${targets[@]}"; do
    work="$out/work-corpus/$target"
    mkdir -p "$work"
    log="$out/$target.log"
    if "$out/fuzz/${target}_fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$out/findings/$target-" \
        "$work" "fuzz/corpus/$target" >"$log" 2>&1; then
        result=passed
    else
        result=FAILED
        status=1
        tail -n 40 "$log"
    fi
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    printf '%-18s %s executions in %ss, %s\n' "$target" "${runs:-?}" "$seconds" "$result" | tee -a "$report"
done
exit "$status"
