# Sourced by scripts/lib/play-road, never run: the road's verdict (tested
# by tests/scripts/road_test.sh). The stages come from the stand-in player
# (gamehost-road --stages, one a line: its track, what is waited for before
# it and the pattern of its "road:" line, "*" standing for what varies).
# Each track's stages are played in their order: a line of a stage further
# on than the track's next one leaves the stages between it unplayed for
# good. Needs $gamehost_name.

road_stage_tracks=()
road_stage_waiting=()
road_stage_patterns=()
# Each pattern with the characters special to the shell's matching quoted,
# but "*".
road_stage_globs=()
road_stages_played=0
# Per stage: 1 once played.
road_played=()
# Per track: the index of its next stage to play, and its last waiting line.
declare -A road_next=()
declare -A road_waiting=()

#   road_read_stages < LIST
road_read_stages() {
    local track waiting pattern
    while IFS=$'\t' read -r track waiting pattern; do
        [ -n "$pattern" ] || continue
        road_stage_tracks+=("$track")
        road_stage_waiting+=("$waiting")
        road_stage_patterns+=("$pattern")
        road_stage_globs+=("$(printf '%s' "$pattern" | sed 's/[][\\?()|!+@]/\\&/g')")
        [ -n "${road_next[$track]+set}" ] || road_next[$track]=$((${#road_stage_tracks[@]} - 1))
    done
}

# The index of the stage after FROM on TRACK, or the number of stages.
road_after() {
    local track=$1 i=$(($2 + 1))
    while [ "$i" -lt "${#road_stage_tracks[@]}" ] && [ "${road_stage_tracks[$i]}" != "$track" ]; do i=$((i + 1)); done
    echo "$i"
}

#   road_see LINE
# counts the line when it is the next stage of a track, keeps it when it
# says what a track waits for.
road_see() {
    local line=$1 track i waited
    case $line in
        *" road: waiting for "*)
            waited=${line#* road: waiting for }
            waited=${waited%%: *}
            for i in "${!road_stage_waiting[@]}"; do
                if [ "${road_stage_waiting[$i]}" = "$waited" ]; then
                    road_waiting[${road_stage_tracks[$i]}]=$line
                    return
                fi
            done
            return
            ;;
        *" road: "*) ;;
        *) return ;;
    esac
    # The screens' track first: its later purchases' lines ("paid ... for a
    # purchase by ...") would also fit a payment of the player's.
    for track in screens player; do
        i=${road_next[$track]:-}
        [ -n "$i" ] || continue
        while [ "$i" -lt "${#road_stage_tracks[@]}" ]; do
            # shellcheck disable=SC2053 # the glob is a pattern
            if [[ $line == *" road: "${road_stage_globs[$i]} ]]; then
                road_played[i]=1
                road_next[$track]=$(road_after "$track" "$i")
                road_waiting[$track]=""
                road_stages_played=$((road_stages_played + 1))
                return
            fi
            i=$(road_after "$track" "$i")
        done
    done
}

# The index of the first stage not played, in the list's order; fails when
# every stage was played.
road_first_unplayed() {
    local i
    for i in "${!road_stage_tracks[@]}"; do
        if [ -z "${road_played[$i]:-}" ]; then
            echo "$i"
            return 0
        fi
    done
    return 1
}

# Says which stage was not played and the last line its track said it was
# waiting with; fails when every stage was played.
road_say_unplayed() {
    local i
    i=$(road_first_unplayed) || return 1
    local track=${road_stage_tracks[$i]}
    echo "$gamehost_name: the road's stage \"${road_stage_patterns[$i]}\" (${road_stage_waiting[$i]}) was not" \
        "played ($road_stages_played of ${#road_stage_tracks[@]} stages played)" >&2
    local waiting=${road_waiting[$track]:-}
    if [ -n "$waiting" ]; then
        echo "$gamehost_name: the stand-in player's last waiting line: road: ${waiting#* road: }" >&2
    else
        echo "$gamehost_name: the stand-in player had said no waiting line since its stage before" >&2
    fi
}
