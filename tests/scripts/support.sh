# Sourced by the scripts' tests, never run: $root, a scratch folder
# ($scratch) removed when the test ends, and the helpers below.
#   . support.sh NAME
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/scripts-$1.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# Ends the test with its reason: the first failure is the test's.
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

# A script of the project's kind at PATH, sourcing the scripts' helpers,
# its lines the other arguments.
write_script() {
    local path=$1
    shift
    {
        echo '#!/usr/bin/env bash'
        echo 'set -euo pipefail'
        local lib
        for lib in common pass fuzz; do echo ". '$root/scripts/lib/$lib.sh'"; done
        printf '%s\n' "$@"
    } >"$path"
    chmod +x "$path"
}

# Whether process PID has ended (or is a zombie nobody reaped yet) within
# 10 s; when it has not, it is killed.
ended_soon() {
    local pid=$1
    for _ in $(seq 100); do
        [ -n "$(ps -o stat= -p "$pid" | grep -v Z || true)" ] || return 0
        sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
    return 1
}
