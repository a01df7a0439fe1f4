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

#   fuzz_run LABEL TARGET SECONDS [libFuzzer arguments...]
# runs the fuzzer TARGET for SECONDS, its findings named TARGET-<kind>-*, its
# output in TARGET.log; says in one line how many inputs ran, or, when it
# fails, shows the end of its output and where the failing input is if it
# wrote one.
fuzz_run() {
    local label=$1 target=$2 seconds=$3
    local artifacts="$target-" log="$target.log"
    shift 3
    local before
    before=$(mktemp)
    if "$target" -max_total_time="$seconds" -timeout=10 -artifact_prefix="$artifacts" -print_final_stats=1 \
        "$@" 2>"$log"; then
        rm -f "$before"
        local runs
        runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
        echo "fuzz: $label: ${runs:-?} inputs in ${seconds} s, nothing found"
        return 0
    fi
    tail -n 60 "$log" >&2
    local found
    found=$(find "$(dirname "$artifacts")" -maxdepth 1 -type f -name "$(basename "$artifacts")*" -newer "$before" \
        ! -name '*.log' 2>/dev/null | head -n 1)
    rm -f "$before"
    if [ -n "$found" ]; then
        echo "fuzz: $label failed; the failing input is in $found" >&2
    else
        echo "fuzz: $label failed without writing an input (its output: $log)" >&2
    fi
    return 1
}
