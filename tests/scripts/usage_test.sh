#!/usr/bin/env bash
# Every script of scripts/ asked for --help prints its usage and does
# nothing else: no build folder made, no picture drawn. The drawing scripts
# run from a copy in a scratch folder, where they would draw.
set -euo pipefail
. "$(dirname "$0")/support.sh" usage-test

mkdir -p "$scratch/copy/scripts/lib"
cp "$root"/scripts/draw-* "$scratch/copy/scripts/"
cp "$root"/scripts/lib/usage.py "$scratch/copy/scripts/lib/"
for script in build setup run test draw-channel-icons draw-store-pictures draw-welfare-pictures; do
    path="$root/scripts/$script"
    case $script in draw-*) path="$scratch/copy/scripts/$script" ;; esac
    for option in --help -h; do
        status=0
        BUILD_DIR="$scratch/build" "$path" "$option" >"$scratch/out" 2>"$scratch/err" </dev/null || status=$?
        [ "$status" -eq 0 ] || fail "$script $option ended with $status: $(cat "$scratch/err")"
        [ "$(head -n 1 "$scratch/out" | cut -d' ' -f1-2)" = "usage: scripts/$script" ] ||
            fail "$script $option printed '$(head -n 1 "$scratch/out")'"
        [ ! -s "$scratch/err" ] || fail "$script $option said on its error output: $(cat "$scratch/err")"
        [ ! -e "$scratch/build" ] || fail "$script $option made the build folder"
        [ ! -e "$scratch/copy/resources" ] || fail "$script $option drew pictures"
    done
done
echo "ok: every script asked for --help prints its usage and does nothing else"

# ---- An argument a script does not take is named, and nothing runs ----
for script in setup run draw-channel-icons draw-store-pictures draw-welfare-pictures; do
    path="$root/scripts/$script"
    case $script in draw-*) path="$scratch/copy/scripts/$script" ;; esac
    status=0
    BUILD_DIR="$scratch/build" "$path" --bogus >/dev/null 2>"$scratch/err" </dev/null || status=$?
    [ "$status" -eq 2 ] || fail "$script --bogus ended with $status"
    grep -q -- '--bogus' "$scratch/err" || fail "$script --bogus said: $(cat "$scratch/err")"
    [ ! -e "$scratch/build" ] && [ ! -e "$scratch/copy/resources" ] || fail "$script --bogus ran"
done
echo "ok: an argument a script does not take is named, and nothing runs"

# ---- scripts/run takes the stand-ins' delays as gamehost-sandbox does ----
BUILD_DIR="$scratch/build" "$root/scripts/run" --help >"$scratch/out" 2>&1 </dev/null
for option in "--game-delay S[-S]" "--channel-delay S[-S]" "--delay-seed N"; do
    grep -qF -- "$option" "$scratch/out" || fail "run --help does not name $option"
done
for arguments in "--game-delay" "--game-delay x" "--channel-delay 1-" "--delay-seed -3" "--delay-seed 1.5"; do
    status=0
    # shellcheck disable=SC2086
    BUILD_DIR="$scratch/build" "$root/scripts/run" $arguments >/dev/null 2>"$scratch/err" </dev/null || status=$?
    [ "$status" -eq 2 ] || fail "run $arguments ended with $status"
    grep -q -- "${arguments%% *}" "$scratch/err" || fail "run $arguments said: $(cat "$scratch/err")"
    [ ! -e "$scratch/build" ] || fail "run $arguments ran"
done
echo "ok: scripts/run names the stand-ins' delay options and refuses malformed ones before it runs"
