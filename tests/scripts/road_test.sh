#!/usr/bin/env bash
# The road as scripts/run plays it (scripts/lib/play-road), judged by the
# stage list of the real stand-in player, with a sandbox and an app of the
# test's own that say what a road says: a road with every stage is
# complete, whichever order the stages that depend on none of each other
# come in; one without a stage, or with a stage whose line came after that
# of a stage depending on it, names that stage and the player's last
# waiting line; a road's time grows with its stand-ins' late replies, the
# delays given passed on to them; the stand-ins' settings paste as they
# are printed; the programs end, and the temporary folder goes, when the
# script is killed.
#   road_test.sh GAMEHOST_ROAD
set -euo pipefail
player=${1:?the path of gamehost-road}
. "$(dirname "$0")/support.sh" road-test

"$player" --stages >"$scratch/stages" || fail "gamehost-road --stages failed"
[ "$(wc -l <"$scratch/stages")" -ge 20 ] || fail "the list has $(wc -l <"$scratch/stages") stages"

# A build folder of fakes: a sandbox that names five servers and waits, the
# app that prints $scratch/road (the list from the real player for
# --stages), and the app of --stand-ins, which prints its settings.
build="$scratch/build"
mkdir -p "$build/sandbox/road" "$build/shell/resources"
cat >"$build/sandbox/gamehost-sandbox" <<EOF
#!/usr/bin/env bash
echo \$\$ >"$scratch/sandbox.pid"
echo "\$*" >"$scratch/sandbox.args"
for server in page platform game channel activity; do echo "sandbox: \$server http://127.0.0.1:1\$server/"; done
exec sleep 300
EOF
cat >"$build/sandbox/road/gamehost-road" <<EOF
#!/usr/bin/env bash
if [ "\${1:-}" = --stages ]; then exec cat "$scratch/stages"; fi
echo \$\$ >"$scratch/app.pid"
cat "$scratch/road"
exec sleep 300
EOF
cat >"$build/shell/gamehost" <<'EOF'
#!/usr/bin/env bash
env | grep '^GAMEHOST_' | sort
EOF
chmod +x "$build/sandbox/gamehost-sandbox" "$build/sandbox/road/gamehost-road" "$build/shell/gamehost"
{
    echo '<plist><dict>'
    for key in GamePageURL PlatformServerURL GameServerURL ChannelAPIURL ActivityPageURL; do
        echo "<key>$key</key>"
        echo "<string>http://127.0.0.1:808${#key}/</string>"
    done
    echo '</dict></plist>'
} >"$build/shell/resources/GameHost.plist"

# The line a stage's pattern stands for, as the app logs it.
logged() { printf '2026-01-01 00:00:00.000 gamehost-road[7] road: %s\n' "${1//\*/6元}"; }
# The road's lines: each track's stages in order, the screens' interleaved
# with the player's, then both payments reaching the page and its end.
# Without stage $1 (a number from 1; 0: none), and with the player's
# stages $2 and $3 swapped.
write_road() {
    local without=${1:-0} first=${2:-0} second=${3:-0} i=0 track waiting pattern after
    local -a player_lines=() screen_lines=()
    while IFS=$'\t' read -r track waiting pattern after; do
        i=$((i + 1))
        [ "$i" -ne "$without" ] || continue
        if [ "$track" = player ]; then player_lines+=("$pattern"); else screen_lines+=("$pattern"); fi
    done <"$scratch/stages"
    if [ "$first" -ne 0 ]; then
        local kept=${player_lines[$((first - 1))]}
        player_lines[first - 1]=${player_lines[$((second - 1))]}
        player_lines[second - 1]=$kept
    fi
    {
        for i in "${!player_lines[@]}"; do
            logged "${player_lines[$i]}"
            if [ "$i" -lt "${#screen_lines[@]}" ]; then logged "${screen_lines[$i]}"; fi
        done
        for ((i = ${#player_lines[@]}; i < ${#screen_lines[@]}; i++)); do logged "${screen_lines[$i]}"; done
        road_end
    } >"$scratch/road"
}
# What ends every road: a waiting line, both payments and the page's end.
road_end() {
    echo '2026-01-01 00:00:00.000 gamehost-road[7] road: waiting for the pay page: nothing on the screen for it for 10 s'
    echo 'page: callback payNotify {"status":"1","amount":"6"}'
    echo 'page: callback payNotify {"status":"1","amount":"6"}'
    echo 'page: road complete'
}
play() { BUILD_DIR="$build" "$root/scripts/lib/play-road" test "$@"; }

# ---- A road with every stage in order is complete ----
write_road
status=0
play >"$scratch/out" 2>&1 || status=$?
stages=$(wc -l <"$scratch/stages")
[ "$status" -eq 0 ] || fail "complete: the road ended $status: $(tail -n 4 "$scratch/out")"
[ "$(tail -n 2 "$scratch/out")" = "$(printf 'test: all %s stages of the road played, each after the stage it depends on\ntest: the road is complete' \
    "$stages")" ] || fail "complete: the road ended '$(tail -n 2 "$scratch/out")'"
echo "ok: a road with every stage in order is complete"

# ---- A road without one stage names it, whichever it is ----
n=0
while IFS=$'\t' read -r track waiting pattern after; do
    n=$((n + 1))
    write_road "$n"
    status=0
    play >"$scratch/out" 2>&1 || status=$?
    [ "$status" -eq 1 ] || fail "without \"$pattern\": the road ended $status"
    grep -qxF "test: the road's stage \"$pattern\" ($waiting) was not played ($((stages - 1)) of $stages stages played)" \
        "$scratch/out" || fail "without \"$pattern\": the road said $(grep '^test: ' "$scratch/out" | tr '\n' '|')"
done <"$scratch/stages"
echo "ok: a road without one stage names it, whichever it is"

# ---- The stalled road names the pay page and the player's waiting line ----
# As it stalled: the player waits for the pay page; the screens, which never
# saw a store, wait too and say so.
n=$(grep -n $'\tpaid on the pay page' "$scratch/stages" | cut -d: -f1)
[ -n "$n" ] || fail "stalled: no stage for the pay page in the list"
head -n "$((n - 1))" "$scratch/stages" | grep $'^player\t' | while IFS=$'\t' read -r _ _ pattern _; do
    logged "$pattern"
done >"$scratch/road"
for pattern in "luck gift claimed" "day gift claimed" "active gift claimed"; do logged "$pattern"; done >>"$scratch/road"
{
    echo '2026-01-01 00:00:00.000 gamehost-road[7] road: waiting for the pay page: nothing on the screen for it for 10 s'
    echo "2026-01-01 00:00:00.000 gamehost-road[7] road: waiting for the store hall's time-store bundle: nothing on the screen for it for 10 s"
    echo 'page: callback payNotify {"status":"1","amount":"6"}'
    echo 'page: callback payNotify {"status":"1","amount":"6"}'
    echo 'page: road complete'
} >>"$scratch/road"
status=0
play >"$scratch/out" 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "stalled: the road ended $status"
grep -qxF "test: the road's stage \"paid on the pay page and went back\" (the pay page) was not played ($((n - 1 + 3)) of $stages stages played)" \
    "$scratch/out" || fail "stalled: the road said $(grep '^test: ' "$scratch/out" | tr '\n' '|')"
grep -qxF "test: the stand-in player's last waiting line: road: waiting for the pay page: nothing on the screen for it for 10 s" \
    "$scratch/out" || fail "stalled: no waiting line of the player's in $(grep '^test: ' "$scratch/out" | tr '\n' '|')"
echo "ok: the stalled road names the pay page and the player's waiting line"

# ---- Stages that depend on none of each other come in either order ----
# The list's chains, by stage number from 1: a stage that depends on none
# starts one; the player's steps, the gift pop-ups, the halls.
declare -A chain_of=() chain_stages=()
chains=()
n=0
while IFS=$'\t' read -r track waiting pattern after; do
    n=$((n + 1))
    if [ "$after" = - ]; then
        chain_of[$n]=$n
        chains+=("$n")
    else
        chain_of[$n]=${chain_of[$after]}
    fi
    chain_stages[${chain_of[$n]}]+=" $n"
done <"$scratch/stages"
[ "${#chains[@]}" -eq 3 ] || fail "chains: the list has ${#chains[@]}, not the player's, the gifts' and the halls'"
read -ra player <<<"${chain_stages[${chains[0]}]}"
read -ra gifts <<<"${chain_stages[${chains[1]}]}"
read -ra halls <<<"${chain_stages[${chains[2]}]}"
pattern_of() { sed -n "${1}p" "$scratch/stages" | cut -f3; }
[ "$(pattern_of "${gifts[2]}")" = "active gift claimed" ] || fail "chains: the gifts' third is $(pattern_of "${gifts[2]}")"
[ "$(pattern_of "${halls[0]}")" = "store hall: time-store bundle bought" ] ||
    fail "chains: the halls' first is $(pattern_of "${halls[0]}")"
[ "$(pattern_of "${halls[3]}")" = "$(pattern_of "${halls[5]}")" ] || fail "chains: the halls' two prize stages differ"

#   road_case NAME EXPECTED STAGE...
# The road of those stages' lines, in that order: complete when EXPECTED is
# "complete", else naming stage EXPECTED as not played, its line having
# come after that of a stage depending on it.
road_case() {
    local name=$1 expected=$2 n
    shift 2
    { for n in "$@"; do logged "$(pattern_of "$n")"; done; road_end; } >"$scratch/road"
    local status=0
    play >"$scratch/out" 2>&1 || status=$?
    if [ "$expected" = complete ]; then
        [ "$status" -eq 0 ] && grep -qxF "test: the road is complete" "$scratch/out" ||
            fail "$name: the road ended $status: $(grep '^test: ' "$scratch/out" | tr '\n' '|')"
        return
    fi
    local pattern waiting
    IFS=$'\t' read -r _ waiting pattern _ < <(sed -n "${expected}p" "$scratch/stages")
    [ "$status" -eq 1 ] || fail "$name: the road ended $status"
    grep -qF "test: the road's stage \"$pattern\" ($waiting) was not played" "$scratch/out" &&
        grep -qF "a stage that depends on it, came before its own" "$scratch/out" ||
        fail "$name: the road said $(grep '^test: ' "$scratch/out" | tr '\n' '|')"
}
# Name | expected | the stages, in the order their lines come.
road_case "the halls before the gifts" complete "${player[@]}" "${halls[@]}" "${gifts[@]}"
road_case "the active gift after the bundle" complete \
    "${player[@]}" "${gifts[@]:0:2}" "${halls[0]}" "${gifts[2]}" "${halls[@]:1}"
road_case "the screens before the player" complete "${gifts[@]}" "${halls[@]}" "${player[@]}"
road_case "the day gift after the active gift" "${gifts[1]}" \
    "${player[@]}" "${gifts[0]}" "${gifts[2]}" "${gifts[1]}" "${halls[@]}"
road_case "the bundle's payment before the bundle" "${halls[0]}" \
    "${player[@]}" "${gifts[@]}" "${halls[1]}" "${halls[0]}" "${halls[@]:2}"
road_case "both prizes after the super draw" "${halls[3]}" \
    "${player[@]}" "${gifts[@]}" "${halls[@]:0:3}" "${halls[4]}" "${halls[3]}" "${halls[@]:5}"
road_case "the player's third stage after its fourth" "${player[2]}" \
    "${player[@]:0:2}" "${player[3]}" "${player[2]}" "${player[@]:4}" "${gifts[@]}" "${halls[@]}"
echo "ok: stages that depend on none of each other come in either order; one after a stage depending on it is not played"

# A missed tap is no stage: "tapped 登录, and the tap missed" is not "tapped 登录".
n=$(grep -n $'\ttapped 登录\t' "$scratch/stages" | cut -d: -f1)
write_road "$n"
sed -i "1i 2026-01-01 00:00:00.000 gamehost-road[7] road: tapped 登录, and the tap missed" "$scratch/road"
status=0
play >"$scratch/out" 2>&1 || status=$?
grep -qF "test: the road's stage \"tapped 登录\" (" "$scratch/out" ||
    fail "missed tap: the road said $(grep '^test: ' "$scratch/out" | tr '\n' '|')"
echo "ok: a missed tap is no stage"

# ---- The road's time follows its stand-ins' delays, which it passes on ----
# A stalled road: three requests of a stand-in whose replies may be up to
# 1.5 s late give it 2 s more each.
{
    logged "$(sed -n 1p "$scratch/stages" | cut -f3)"
    for _ in 1 2 3; do echo 'sandbox: POST /sdkapicoupon/pay/getPayWayios (up to 1.5 s late)'; done
    echo 'sandbox: GET /menu/index'
    echo '2026-01-01 00:00:00.000 gamehost-road[7] road: waiting for the pay page: nothing on the screen for it for 10 s'
} >"$scratch/road"
rm -f "$scratch/sandbox.args"
status=0
started=$SECONDS
play --game-delay 1-2 --channel-delay 0-1.5 --delay-seed 12 >"$scratch/out" 2>&1 || status=$?
took=$((SECONDS - started))
[ "$(cat "$scratch/sandbox.args" 2>/dev/null)" = "--game-delay 1-2 --channel-delay 0-1.5 --delay-seed 12" ] ||
    fail "late: the stand-ins were given '$(cat "$scratch/sandbox.args" 2>/dev/null)'"
[ "$status" -eq 1 ] || fail "late: the stalled road ended $status"
grep -qF "test: the road did not end within 66 s (60 s and 6 s for the stand-ins' late replies); last seen: " \
    "$scratch/out" || fail "late: the road said $(grep '^test: ' "$scratch/out" | tr '\n' '|')"
[ "$took" -ge 66 ] || fail "late: the road gave up after $took s"
status=0
play --game-delay >"$scratch/out" 2>&1 || status=$?
[ "$status" -eq 2 ] && grep -qF -- "--game-delay needs a value" "$scratch/out" ||
    fail "late: --game-delay with no value ended $status: $(cat "$scratch/out")"
echo "ok: the road's time follows its stand-ins' delays, which it passes on"

# ---- The stand-ins' settings paste as they are printed ----
# Started as itself, so that $! is the script; its temporary folder is
# looked for once it is killed, below.
mkdir "$scratch/tmp"
TMPDIR="$scratch/tmp" BUILD_DIR="$build" "$root/scripts/lib/play-road" test --stand-ins >"$scratch/out" 2>&1 &
script=$!
for _ in $(seq 300); do
    grep -q 'Ctrl-C stops them' "$scratch/out" && break
    sleep 0.1
done
grep -q 'Ctrl-C stops them' "$scratch/out" || fail "stand-ins: they never served: $(cat "$scratch/out")"
sed -n '/paste the next 7 lines as they are:$/,$p' "$scratch/out" | sed -n 2,8p >"$scratch/pasted"
pasted=$(bash "$scratch/pasted" 2>&1) || fail "stand-ins: the pasted lines failed: $pasted"
chat='http://127.0.0.1:1channel/robot/h5chat.html?sysNum=sandbox01&receiveId=&sourceId=1'
expected="GAMEHOST_ACTIVITY_PAGE_URL=http://127.0.0.1:1activity/
GAMEHOST_CHANNEL_API_URL=http://127.0.0.1:1channel/
GAMEHOST_CHANNEL_CHAT_URL=$chat
GAMEHOST_GAME_PAGE_URL=http://127.0.0.1:1page/
GAMEHOST_GAME_SERVER_URL=http://127.0.0.1:1game/
GAMEHOST_PLATFORM_SERVER_URL=http://127.0.0.1:1platform/"
[ "$(printf '%s\n' "$pasted" | grep -v '^GAMEHOST_RESOURCES=\|^GAMEHOST_HOME=\|^GAMEHOST_MOCK')" = "$expected" ] ||
    fail "stand-ins: the pasted lines started the app with $pasted"
echo "ok: the stand-ins' settings paste as they are printed"

# ---- The programs end when the script is killed outright ----
# and its temporary folder (the pipe, the app's home) goes with them.
# Whether the temporary folders are gone within 10 s.
temporary_gone_soon() {
    for _ in $(seq 100); do
        [ -z "$(ls -A "$scratch/tmp")" ] && return 0
        sleep 0.1
    done
    return 1
}
sandbox=$(cat "$scratch/sandbox.pid")
[ -n "$(ls -A "$scratch/tmp")" ] || fail "killed: the stand-ins' run made no temporary folder"
kill -KILL "$script"
wait "$script" 2>/dev/null || true
ended_soon "$sandbox" || fail "killed: the stand-ins outlived the killed script by 10 s"
temporary_gone_soon || fail "killed: the stand-ins' run left $(ls "$scratch/tmp")"
write_road
rm -f "$scratch/app.pid"
TMPDIR="$scratch/tmp" BUILD_DIR="$build" "$root/scripts/lib/play-road" test >"$scratch/out" 2>&1 &
script=$!
for _ in $(seq 300); do
    [ -s "$scratch/app.pid" ] && break
    sleep 0.1
done
app=$(cat "$scratch/app.pid" 2>/dev/null) || fail "killed: the app never started"
[ -d "$(ls -d "$scratch"/tmp/gamehost-run.*/home)" ] || fail "killed: the app has no home in the temporary folder"
kill -KILL "$script"
wait "$script" 2>/dev/null || true
ended_soon "$app" || fail "killed: the app outlived the killed script by 10 s"
temporary_gone_soon || fail "killed: the road left $(ls "$scratch/tmp")"
echo "ok: the programs end and the temporary folder goes when the script is killed outright"
