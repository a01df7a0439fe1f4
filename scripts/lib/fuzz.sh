# Sourced by the fuzz targets' run scripts, never run. Needs $build and $jobs
# (scripts/lib/common.sh).
#   fuzz_build SOURCE OUT [CMake options...]
# configures and builds the fuzz targets of SOURCE into OUT against the
# project build, under its build lock (they link its libraries); when that
# fails it shows the compiler's output and fails.
fuzz_build() {
    local source=$1 out=$2 status=0
    shift 2
    mkdir -p "$out"
    fuzz_now "build" "${source#"$root"/}"
    gamehost_lock_build
    {
        cmake -S "$source" -B "$out" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
            -DGAMEHOST_BUILD_DIR="$build" "$@" && cmake --build "$out" -j "$jobs"
    } >"$out/build.log" 2>&1 || status=$?
    gamehost_unlock_build
    if [ "$status" -ne 0 ]; then
        tail -n 80 "$out/build.log" >&2
        echo "fuzz: the fuzz targets of ${source#"$root"/} failed to build (the whole log: $out/build.log)" >&2
        return 1
    fi
}

# What the fuzz stage is doing, in $build/fuzz-now for fuzz_progress:
#   fuzz_now build SOURCE | fuzz_now run LABEL SECONDS LOG
fuzz_now() {
    local IFS=$'\t'
    printf '%s\t%s\n' "$(date +%s)" "$*" >"$build/fuzz-now"
}

#   fuzz_progress NAME
# says in one line what the fuzz stage is doing: building, or which target
# runs, for how long yet and how many inputs it has tried.
fuzz_progress() {
    local since kind what seconds log inputs
    IFS=$'\t' read -r since kind what seconds log <"$build/fuzz-now" 2>/dev/null || return 0
    if [ "$kind" = build ]; then
        echo "$1:   fuzzing: building the fuzz targets of $what"
        return
    fi
    inputs=$(grep -ao '^#[0-9][0-9]*' "$log" 2>/dev/null | tail -n 1 | tr -d '#' || true)
    local elapsed=$(($(date +%s) - since))
    if [ "$elapsed" -lt "$seconds" ]; then
        echo "$1:   fuzzing the $what: $elapsed of $seconds s, ${inputs:-0} inputs so far"
    else
        echo "$1:   fuzzing the $what: its $seconds s are up after ${inputs:-0} inputs; it is ending"
    fi
}

#   fuzz_run LABEL TARGET SECONDS [libFuzzer arguments...]
# runs the fuzzer TARGET for SECONDS, its findings named TARGET-<kind>-*,
# libFuzzer's lines and the sanitizers' reports in TARGET.log. What the
# target writes to stderr itself is dropped (-close_fd_mask=2): the
# product's log says something of many an input, tens of MB a run; a
# failing input run again by hand shows it. Says in one line how many
# inputs it tried beyond its seeds, or, when it fails, shows the end of its
# output and where the failing input is if it wrote one. A run that tried
# nothing beyond its seeds fuzzed nothing: it fails, saying so.
fuzz_run() {
    local label=$1 target=$2 seconds=$3
    local artifacts="$target-" log="$target.log"
    shift 3
    local before
    before=$(mktemp)
    fuzz_now run "$label" "$seconds" "$log"
    if "$target" -max_total_time="$seconds" -timeout=10 -artifact_prefix="$artifacts" -print_final_stats=1 \
        -close_fd_mask=2 "$@" 2>"$log"; then
        rm -f "$before"
        local runs seeds
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        # The inputs run before fuzzing starts: the seeds (and the empty input).
        seeds=$(sed -n 's/^#\([0-9]*\)[[:space:]]*INITED.*/\1/p' "$log" | head -n 1)
        if [ -z "$runs" ] || [ -z "$seeds" ] || [ "$runs" -le "$seeds" ]; then
            tail -n 20 "$log" >&2
            echo "fuzz: $label ran ${runs:-?} inputs in $seconds s, ${seeds:-all} of them those it started from:" \
                "it fuzzed nothing (are its seeds too large for the run's time? its output: $log)" >&2
            return 1
        fi
        echo "fuzz: $label: $((runs - seeds)) inputs beyond the $seeds it started from, in $seconds s, nothing found"
        return 0
    fi
    tail -n 60 "$log" >&2
    local found
    found=$(find "$(dirname "$artifacts")" -maxdepth 1 -type f -name "$(basename "$artifacts")*" -newer "$before" \
        ! -name '*.log' 2>/dev/null | head -n 1)
    rm -f "$before"
    if [ -n "$found" ]; then
        echo "fuzz: $label failed; the failing input is in $found (run $target $found for the target's own output)" >&2
    else
        echo "fuzz: $label failed without writing an input (its output: $log)" >&2
    fi
    return 1
}
