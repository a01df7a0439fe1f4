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
