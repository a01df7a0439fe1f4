# Sourced by the scripts, never run: what they all settle before anything else.
#   gamehost_settings NAME ROOT
# sets $build, the build folder as an absolute path ($BUILD_DIR, relative to
# where the script was started, or ROOT/build), and $jobs ($JOBS, or one per
# core); a JOBS that is not a positive whole number ends the script in one line.
gamehost_settings() {
    local name=$1 root=$2
    build=${BUILD_DIR:-$root/build}
    case $build in
        /*) ;;
        *) build=$PWD/$build ;;
    esac
    jobs=${JOBS:-$(nproc 2>/dev/null || echo 2)}
    case $jobs in
        '' | *[!0-9]* | 0*)
            echo "$name: JOBS must be a positive whole number, not '$jobs'" >&2
            exit 2
            ;;
    esac
    export BUILD_DIR=$build JOBS=$jobs
}

#   gamehost_tell_while PID SECONDS COMMAND...
# waits for the background job PID, running COMMAND every SECONDS while it
# runs (a script's one line of how far the job has come).
gamehost_tell_while() {
    local pid=$1 every=$2 told=$SECONDS
    shift 2
    while kill -0 "$pid" 2>/dev/null; do
        sleep 1
        if [ $((SECONDS - told)) -ge "$every" ]; then
            "$@"
            told=$SECONDS
        fi
    done
}

# The step the build in LOG is at, said as NAME's.
gamehost_build_step() {
    local step
    step=$(grep -o '^\[[0-9]*/[0-9]*\]' "$2" | tail -n 1 | tr -d '[]' || true)
    if [ -n "$step" ]; then
        echo "$1: building, step ${step%/*} of ${step#*/}"
    else
        echo "$1: building (configuring)"
    fi
}

#   gamehost_build_quietly NAME ROOT [scripts/build arguments...]
# builds with the build's output in $build/build.log, saying every 30 s which
# step it is at, then how many warnings it printed; a build that fails shows
# its errors (or the end of its log) and ends the script. While it runs,
# $build_pid names it, for a script that stops it on its way out.
gamehost_build_quietly() {
    local name=$1 root=$2
    shift 2
    mkdir -p "$build"
    local log="$build/build.log"
    "$root/scripts/build" "$@" >"$log" 2>&1 &
    build_pid=$!
    gamehost_tell_while "$build_pid" 30 gamehost_build_step "$name" "$log"
    if ! wait "$build_pid"; then
        build_pid=""
        if grep -qE 'error:|FAILED:|CMake Error' "$log"; then
            grep -B2 -A12 -E 'error:|FAILED:|CMake Error' "$log" | head -n 200 >&2
        else
            tail -n 60 "$log" >&2
        fi
        echo "$name: the build failed (its whole log: $log)" >&2
        exit 1
    fi
    build_pid=""
    echo "$name: built ($(grep -c 'warning:' "$log" || true) compiler warnings in what it compiled; the build's log: $log)"
}
