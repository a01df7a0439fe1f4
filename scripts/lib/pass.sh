# Sourced by scripts/test, never run: one pass of the suites under ctest.
# Needs $build and $jobs (scripts/lib/common.sh) and ctest's folder as the
# current one.

# How many cases the ctest run logging to $1 has run so far.
gamehost_cases_run() {
    local done_line
    done_line=$(grep -o '^ *[0-9]*/[0-9]* Test' "$1" | tail -n 1 | tr -d ' ' || true)
    if [ -n "$done_line" ]; then echo "test:   ${done_line%/*} of $(echo "${done_line#*/}" | tr -d 'Test') cases run"; fi
}

# ctest's first error line in LOG, with the line that says why when the
# first one only says where ("CMake Error at ...:"); empty when it gave none.
gamehost_ctest_error() {
    awk '!found && /[Ee]rror/ { found = 1; line = $0; if (line !~ /:$/) exit; next }
         found && NF { sub(/^ +/, ""); line = line " " $0; exit }
         END { if (found) print line }' "$1"
}

#   gamehost_pass NAME LOG [ctest arguments...]
# runs the suites once under the build lock (a build started meanwhile waits
# for the pass, so nothing rewrites what ctest reads), ctest's output in
# LOG, showing a counter every 30 s, then one line: how many cases passed,
# or every failed case in full (skipped ones are left out) and the verdict,
# which says why when ctest itself failed; then it ends the script. Adds the
# count of cases passed to the array passes.
gamehost_pass() {
    local name=$1 log=$2
    shift 2
    local status=0
    gamehost_lock_build "a test pass"
    echo "test: $name"
    # The cases' scratch folders go in a folder of the pass's own, which
    # goes with it, also when the pass is interrupted or killed outright
    # (the watchdog removes it) and its cases cannot remove their own.
    gamehost_temporary_folder gamehost-pass
    local scratch=$gamehost_folder
    TMPDIR=$scratch gamehost_start "the tests" ctest --output-on-failure -j "$jobs" "$@" >"$log" 2>&1
    local pid=$!
    gamehost_tell_while "$pid" 30 gamehost_cases_run "$log"
    gamehost_wait "$pid" || status=$?
    rm -rf -- "$scratch"
    local summary
    summary=$(grep -E '^[0-9]+% tests passed' "$log" | tail -n 1 || true)
    if [ "$status" -ne 0 ]; then
        # Each failed case's status line and its output, as ctest gave them.
        awk '/^ *[0-9]+\/[0-9]+ Test +#/ { show = ($0 !~ / Passed +[0-9.]+ sec$/ && $0 !~ /\*\*\*Skipped /) }
             /^ *Start +[0-9]+:/ { show = 0 }
             /^[0-9]+% tests passed/ { show = 0 }
             show' "$log" >&2
        sed -n '/^The following tests FAILED:/,$p' "$log" >&2
        local why=$summary
        if [ -z "$why" ]; then
            why=$(gamehost_ctest_error "$log")
            why="ctest ended with status $status${why:+: $why}"
        fi
        echo "test: FAILED in $name: $why (the whole log: $log)" >&2
        exit 1
    fi
    local total
    total=$(echo "$summary" | sed -n 's/.* out of \([0-9]*\)$/\1/p')
    echo "test:   all ${total:-?} cases passed (log: $log)"
    passes+=("${total:-?}")
}
