#!/usr/bin/env bash
# The scripts' shared helpers: quoting for pasting, stopping what a script
# started, the build lock and the build's log. Each case runs in a scratch
# folder; the first failure ends the test with its reason.
set -euo pipefail
. "$(dirname "$0")/support.sh" common-test

# ---- Settings printed quoted reach a shell whole ----
(
    . "$root/scripts/lib/common.sh"
    for value in 'http://127.0.0.1:1/robot/h5chat.html?sysNum=sandbox01&receiveId=&sourceId=1' \
                 "it's \$HOME; a | b" '' 'a  b'; do
        pasted="VALUE=$(gamehost_quote "$value") bash -c 'printf %s \"\$VALUE\"'"
        got=$(eval "$pasted")
        [ "$got" = "$value" ] || fail "quoting: '$value' came back as '$got'"
    done
)
echo "ok: settings printed quoted reach a shell whole"

# ---- SIGTERM stops what the script started, as a group, in one line ----
mkfifo "$scratch/started"
write_script "$scratch/stops" \
    'gamehost_settings stops "$PWD"' \
    'gamehost_trap' \
    'gamehost_start "the work" bash -c "sleep 300 & sleep 300 & echo \$\$ >'"$scratch"'/started; wait"' \
    'wait $!'
(cd "$scratch" && BUILD_DIR="$scratch/build" exec ./stops 2>"$scratch/stops.err") &
script=$!
group=$(cat "$scratch/started")
kill -0 -- "-$group" 2>/dev/null || fail "stopping: the work's group $group was not running"
kill -TERM "$script"
status=0
wait "$script" || status=$?
[ "$status" -eq 143 ] || fail "stopping: the script ended with $status, not 143"
if kill -0 -- "-$group" 2>/dev/null; then
    kill -KILL -- "-$group"
    fail "stopping: processes of the work's group outlived the script"
fi
[ "$(cat "$scratch/stops.err")" = "stops: interrupted; stopped the work" ] ||
    fail "stopping: the script said '$(cat "$scratch/stops.err")'"
echo "ok: SIGTERM stops what the script started, as a group, in one line"

# ---- A script killed outright still stops what it started ----
# SIGKILL runs no trap: the watchdog stops the groups, whether the script
# alone is killed or its whole process group (a CI's hard stop).
for how in script group; do
    rm -f "$scratch/started"
    mkfifo "$scratch/started"
    # In a session of its own (setsid runs it in this process): its group is $!.
    (cd "$scratch" && BUILD_DIR="$scratch/build" exec setsid ./stops 2>/dev/null) &
    script=$!
    group=$(cat "$scratch/started")
    if [ "$how" = script ]; then kill -KILL "$script"; else kill -KILL -- "-$script"; fi
    wait "$script" 2>/dev/null || true
    # Processes of the work that ended are zombies until whoever adopted
    # them reaps them: only live ones count.
    for _ in $(seq 100); do
        [ -n "$(ps -o stat= -g "$group" | grep -v '^Z' || true)" ] || break
        sleep 0.1
    done
    if [ -n "$(ps -o stat= -g "$group" | grep -v '^Z' || true)" ]; then
        kill -KILL -- "-$group"
        fail "killed: the work's group outlived the script killed as a $how by 10 s"
    fi
done
echo "ok: a script killed outright still stops what it started"

# ---- Builds into one folder take turns ----
# The one waiting names the holder at once, and again while it waits (here
# every second rather than every 30).
mkdir -p "$scratch/turns"
mkfifo "$scratch/holding" "$scratch/go" "$scratch/waiting"
write_script "$scratch/first" \
    'gamehost_settings first "$PWD"' \
    'gamehost_lock_build "a test pass"' \
    'echo held >'"$scratch"'/holding' \
    'read -r _ <'"$scratch"'/go' \
    'echo "first done" >>'"$scratch"'/turns/order'
write_script "$scratch/second" \
    'gamehost_settings second "$PWD"' \
    'gamehost_wait_every=1' \
    'gamehost_lock_build' \
    'echo "second in" >>'"$scratch"'/turns/order'
(cd "$scratch/turns" && BUILD_DIR="$scratch/turns/build" exec "$scratch/first") &
first=$!
read -r _ <"$scratch/holding"
(cd "$scratch/turns" && BUILD_DIR="$scratch/turns/build" exec "$scratch/second" >"$scratch/waiting") &
second=$!
exec 6<"$scratch/waiting"
# The clock times as "T", the seconds waited as "N".
holder="a test pass ($scratch/first, process $first, since T)"
read -r -t 60 said <&6 || fail "turns: the second build said nothing more (waiting for another line)"
said=$(sed -E 's/since [0-9]{2}:[0-9]{2}:[0-9]{2}\)/since T)/' <<<"$said")
[ "$said" = "second: $holder is using $scratch/turns/build: waiting for it to end" ] ||
    fail "turns: the second build said '$said'"
read -r -t 60 said <&6 || fail "turns: the second build said nothing more (waiting for another line)"
said=$(sed -E 's/since [0-9]{2}:[0-9]{2}:[0-9]{2}\)/since T)/; s/waiting, [0-9]+ s now/waiting, N s now/' <<<"$said")
[ "$said" = "second: still waiting, N s now, for $holder to end" ] ||
    fail "turns: the second build said '$said' while it waited"
echo go >"$scratch/go"
wait "$first"
wait "$second"
exec 6<&-
[ "$(cat "$scratch/turns/order")" = "$(printf 'first done\nsecond in')" ] ||
    fail "turns: the builds ran as $(tr '\n' ',' <"$scratch/turns/order")"
echo "ok: builds into one folder take turns"

# ---- The build's log is that of the last build that compiled something ----
fake="$scratch/fake"
mkdir -p "$fake/scripts/lib"
cp "$root/scripts/lib/common.sh" "$fake/scripts/lib/"
# A build of the project's kind: under the lock its parent holds, it says
# what it did from $FAKE_BUILD_SAYS.
write_script "$fake/scripts/build" \
    'gamehost_settings build "$PWD"' \
    'gamehost_lock_build' \
    'printf "%s\n" "$FAKE_BUILD_SAYS"'
quietly() {
    (
        . "$root/scripts/lib/common.sh"
        gamehost_settings quietly "$fake"
        gamehost_build_quietly quietly "$fake"
    )
}
export BUILD_DIR="$fake/build"
FAKE_BUILD_SAYS='[1/2] Building CXX object a.o
[2/2] Linking CXX executable a' quietly >/dev/null
grep -q 'Linking CXX executable a' "$fake/build/build.log" || fail "log: the compiling build's log is not build/build.log"
said=$(FAKE_BUILD_SAYS='ninja: no work to do.' quietly)
grep -q 'Linking CXX executable a' "$fake/build/build.log" || fail "log: a build with nothing to do replaced the log"
[ "$said" = "quietly: built (nothing to compile; the last build's log: $fake/build/build.log)" ] ||
    fail "log: a build with nothing to do said '$said'"
ls "$fake/build" | grep -q 'build.log.' && fail "log: a build left its own log beside build.log"
# A build killed outright leaves its log under its own name; the next build
# takes it away.
: >"$fake/build/build.log.Ab3xYz"
FAKE_BUILD_SAYS='ninja: no work to do.' quietly >/dev/null
[ ! -e "$fake/build/build.log.Ab3xYz" ] || fail "log: a killed build's log is still beside build.log after the next"
unset BUILD_DIR
echo "ok: the build's log is that of the last build that compiled something; a killed build's goes at the next"
