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
    gamehost_name=$name
}

# VALUE as one shell word in single quotes, whatever it holds: a setting
# printed for pasting reaches the program whole.
gamehost_quote() {
    local quote="'\\''"
    printf "'%s'" "${1//\'/$quote}"
}

# ---- What a script starts, and stopping it ----
# A script starts its long work with gamehost_start, each job in a process
# group of its own, and sets gamehost_trap: however it ends (Ctrl-C, SIGTERM,
# an error, done), it signals each group it started that still runs as a
# group, and an interrupted script says in one line what it stopped. A
# script ended with no chance to run its trap (SIGKILL: the OOM killer, a
# CI's hard stop) has its groups stopped by its watchdog (gamehost_watch).
gamehost_groups=()
gamehost_group_names=()
gamehost_interrupted=""
gamehost_build_log=""
gamehost_watching=""

#   gamehost_start WHAT COMMAND...
# runs COMMAND in the background in a new process group (and session, so
# that a Ctrl-C reaches it only through the script), WHAT naming it for the
# interrupted line ("the build"); $! is its process and its group. It tells
# the watchdog its group itself before COMMAND runs, so that a script killed
# the moment after starting it still has it stopped; COMMAND inherits
# neither the run lock's descriptor (3) nor the watchdog's pipe (8).
# Reap it with gamehost_wait.
gamehost_start() {
    local what=$1
    shift
    gamehost_watch
    # A subshell writes, as gamehost_tell_watchdog does: a watchdog that is
    # gone must not end the job before it runs.
    setsid bash -c '(echo "$$" >&8) 2>/dev/null; exec 8>&- "$@"' gamehost-job "$@" 3>&- &
    gamehost_groups+=("$!")
    gamehost_group_names+=("$what")
}

#   gamehost_wait PID
# waits for the job PID and ends as it did; the watchdog forgets its group.
gamehost_wait() {
    local status=0
    wait "$1" || status=$?
    gamehost_tell_watchdog "-$1"
    return "$status"
}

# ---- The watchdog ----
# Started with a script's first job, in a session of its own (so that what
# stops the script's process group does not stop it), it reads a pipe whose
# writing end only the script holds (descriptor 8: no job inherits it): a
# line "GROUP" for each group started, "-GROUP" for each one reaped or
# stopped, and "/FOLDER" for each temporary folder the script made. The
# pipe closes when the script has ended, however it ended; the watchdog
# then stops the groups still listed as the trap would (SIGTERM, 5 s,
# SIGKILL), removes the folders (gone already when the trap ran) and ends.
gamehost_watch() {
    [ -z "$gamehost_watching" ] || return 0
    gamehost_watching=1
    exec 8> >(exec 3>&- 5>&- 8>&- 9>&- setsid bash -c "$(declare -f gamehost_watchdog); gamehost_watchdog")
    # Nothing starts before the watchdog is out of the script's session.
    local watchdog=$! stat session
    while IFS= read -r stat 2>/dev/null <"/proc/$watchdog/stat"; do
        stat=${stat##*) }
        read -r _ _ _ session _ <<<"$stat"
        [ "$session" = "$watchdog" ] && break
        sleep 0.01
    done
}

gamehost_watchdog() {
    local line group folder
    local -A live=()
    local -a folders=()
    while IFS= read -r line; do
        case $line in
            -*) unset "live[${line#-}]" ;;
            /*) folders+=("$line") ;;
            ?*) live[$line]=1 ;;
        esac
    done
    for group in "${!live[@]}"; do kill -TERM -- "-$group" 2>/dev/null || unset "live[$group]"; done
    for group in "${!live[@]}"; do
        for _ in $(seq 50); do
            kill -0 -- "-$group" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL -- "-$group" 2>/dev/null || true
    done
    for folder in "${folders[@]}"; do rm -rf -- "$folder"; done
}

#   gamehost_temporary_folder PREFIX
# makes a new folder PREFIX.XXXXXX under $TMPDIR (or /tmp), in
# $gamehost_folder, which the watchdog removes should the script be killed
# outright; the script's trap CLEANUP removes it otherwise.
gamehost_temporary_folder() {
    gamehost_watch
    gamehost_folder=$(mktemp -d "${TMPDIR:-/tmp}/$1.XXXXXX")
    case $gamehost_folder in /*) ;; *) gamehost_folder=$PWD/$gamehost_folder ;; esac
    gamehost_tell_watchdog "$gamehost_folder"
}

# A line to the watchdog; a watchdog that is gone costs nothing (the
# subshell takes a broken pipe's signal, not the script).
gamehost_tell_watchdog() {
    [ -n "$gamehost_watching" ] || return 0
    (echo "$1" >&8) 2>/dev/null || true
}

#   gamehost_stop_groups
# sends SIGTERM to every group started that still has a process, waits up to
# 5 s for each to end, then sends SIGKILL; sets $gamehost_stopped to what it
# stopped ("the build and the tests"), empty when nothing ran. Run in the
# script's own shell, which alone can reap its children.
gamehost_stop_groups() {
    local i group stopped=()
    for i in "${!gamehost_groups[@]}"; do
        group=${gamehost_groups[$i]}
        kill -TERM -- "-$group" 2>/dev/null || continue
        stopped+=("${gamehost_group_names[$i]}")
    done
    for group in "${gamehost_groups[@]}"; do
        for _ in $(seq 50); do
            # The group's first process is the script's child: reaped once
            # it has ended, so that it does not stay in the group as a zombie.
            if gamehost_ended "$group"; then wait "$group" 2>/dev/null || true; fi
            kill -0 -- "-$group" 2>/dev/null || break
            sleep 0.1
        done
        if kill -KILL -- "-$group" 2>/dev/null; then wait "$group" 2>/dev/null || true; fi
        gamehost_tell_watchdog "-$group"
    done
    gamehost_groups=()
    gamehost_group_names=()
    local n=${#stopped[@]}
    gamehost_stopped=""
    for i in "${!stopped[@]}"; do
        if [ "$i" -eq 0 ]; then
            gamehost_stopped=${stopped[$i]}
        elif [ "$i" -eq $((n - 1)) ]; then
            gamehost_stopped+=" and ${stopped[$i]}"
        else
            gamehost_stopped+=", ${stopped[$i]}"
        fi
    done
}

# Whether process PID has ended: gone, or a zombie waiting to be reaped.
gamehost_ended() {
    local state
    state=$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -d' ' -f1) || true
    [ -z "$state" ] || [ "$state" = Z ]
}

#   gamehost_trap [CLEANUP]
# ends the script with 130 on Ctrl-C and 143 on SIGTERM; on any way out it
# stops the groups it started, runs CLEANUP (a function) and, when
# interrupted, says so: "NAME: interrupted; stopped the build".
gamehost_trap() {
    gamehost_cleanup=${1:-}
    trap 'gamehost_interrupted=1; exit 130' INT
    trap 'gamehost_interrupted=1; exit 143' TERM
    trap gamehost_on_exit EXIT
}

gamehost_on_exit() {
    local status=$?
    trap - INT TERM
    gamehost_stop_groups
    if [ -n "$gamehost_build_log" ]; then mv "$gamehost_build_log" "$build/build.log" 2>/dev/null || true; fi
    if [ -n "$gamehost_cleanup" ]; then "$gamehost_cleanup" || true; fi
    if [ -n "$gamehost_interrupted" ]; then
        echo "$gamehost_name: interrupted${gamehost_stopped:+; stopped $gamehost_stopped}" >&2
    fi
    exit "$status"
}

# ---- Locks ----
# How often a script waiting for a lock says it still waits.
gamehost_wait_every=30

#   gamehost_take_lock FD LOCK WHAT
# takes the lock on descriptor FD, open on the file LOCK, then writes into
# LOCK who holds it: WHAT, this script and when it took it. While another
# script holds it, it says so at once and every $gamehost_wait_every s
# after, naming the holder as its line in LOCK does.
gamehost_take_lock() {
    local fd=$1 lock=$2 what=$3 since=$SECONDS holder script=$0
    [ -z "${root:-}" ] || script=${script#"$root"/}
    if ! flock -n "$fd"; then
        holder=$(head -n 1 "$lock" 2>/dev/null || true)
        echo "$gamehost_name: ${holder:-another script} is using $build: waiting for it to end"
        until flock -w "$gamehost_wait_every" "$fd"; do
            holder=$(head -n 1 "$lock" 2>/dev/null || true)
            echo "$gamehost_name: still waiting, $((SECONDS - since)) s now, for ${holder:-another script} to end"
        done
    fi
    printf '%s (%s, process %s, since %s)\n' "$what" "$script" "$$" "$(date +%T)" >"$lock"
}

# ---- The build lock ----
#   gamehost_lock_build [WHAT]
# Every build into a build folder, and every test pass that reads it, takes
# $build/.build.lock, so that they take turns: a build never rewrites what a
# running pass reads. WHAT is how a script waiting for the lock names its
# holder ("another build", the default; "a test pass"). A script whose
# parent holds the lock (the descriptor inherited) goes on at once.
gamehost_lock_build() {
    local lock="$build/.build.lock" what=${1:-another build}
    mkdir -p "$build"
    if gamehost_holds_build; then
        flock 9
        return
    fi
    exec 9>>"$lock"
    gamehost_take_lock 9 "$lock" "$what"
}

# Whether this script holds the build lock (or inherited it).
gamehost_holds_build() { [ -e /dev/fd/9 ] && [ /dev/fd/9 -ef "$build/.build.lock" ]; }

gamehost_unlock_build() { exec 9>&-; }

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
# builds under the build lock (kept when the script held it before), the
# build's output in a log of its own,
# saying every 30 s which step it is at, then how many warnings it printed.
# The log becomes $build/build.log when the build compiled or linked
# something (or failed): a build with nothing to do leaves the last one's
# log. A build that fails shows its errors (or the end of its log) and ends
# the script.
gamehost_build_quietly() {
    local name=$1 root=$2
    shift 2
    # A script that holds the lock already keeps it after the build.
    local held=false
    gamehost_holds_build && held=true
    gamehost_lock_build
    local log="$build/build.log" fresh status=0
    # Logs of builds killed outright (SIGKILL, no trap to move them): no
    # other build runs while the lock is held.
    rm -f "$build"/build.log.??????
    fresh=$(mktemp "$build/build.log.XXXXXX")
    chmod 644 "$fresh"
    # An interrupted build's log becomes the build's log on the way out.
    gamehost_build_log=$fresh
    gamehost_start "the build" "$root/scripts/build" "$@" >"$fresh" 2>&1
    local pid=$!
    gamehost_tell_while "$pid" 30 gamehost_build_step "$name" "$fresh"
    gamehost_wait "$pid" || status=$?
    $held || gamehost_unlock_build
    gamehost_build_log=""
    if [ "$status" -eq 0 ] && ! grep -qE '^\[[0-9]+/[0-9]+\] (Building|Linking)' "$fresh"; then
        rm -f "$fresh"
        echo "$name: built (nothing to compile; the last build's log: $log)"
        return
    fi
    mv "$fresh" "$log"
    if [ "$status" -ne 0 ]; then
        if grep -qE 'error:|FAILED:|CMake Error' "$log"; then
            grep -B2 -A12 -E 'error:|FAILED:|CMake Error' "$log" | head -n 200 >&2
        else
            tail -n 60 "$log" >&2
        fi
        echo "$name: the build failed (its whole log: $log)" >&2
        exit 1
    fi
    echo "$name: built ($(grep -c 'warning:' "$log" || true) compiler warnings in what it compiled; the build's log: $log)"
}
