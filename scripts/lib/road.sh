# Sourced by scripts/lib/play-road, never run: the road's verdict (tested
# by tests/scripts/road_test.sh). The stages come from the stand-in player
# (gamehost-road --stages, one a line: its track, what is waited for before
# it, the pattern of its "road:" line, "*" standing for what varies, and the
# number from 1 of the stage it depends on, or "-"). A stage is played when
# its line comes; the stages it depends on, directly or not, that were not
# played by then stay unplayed for good, so a stage whose line came before
# that of one it depends on leaves that one unplayed. Stages that depend on
# none of each other may come in either order. Needs $gamehost_name.

road_stage_tracks=()
road_stage_waiting=()
road_stage_patterns=()
# Each pattern with the characters special to the shell's matching quoted,
# but "*".
road_stage_globs=()
# Per stage: the index of the stage it depends on, or empty.
road_stage_after=()
road_stages_played=0
# Per stage: 1 once played; the index of the stage played before it that
# depends on it once that left it unplayed; 1 when its line came after that.
road_played=()
road_passed_by=()
road_came_late=()
# Per track: its last waiting line.
declare -A road_waiting=()

#   road_read_stages < LIST
road_read_stages() {
    local track waiting pattern after
    while IFS=$'\t' read -r track waiting pattern after; do
        [ -n "$pattern" ] || continue
        road_stage_tracks+=("$track")
        road_stage_waiting+=("$waiting")
        road_stage_patterns+=("$pattern")
        road_stage_globs+=("$(printf '%s' "$pattern" | sed 's/[][\\?()|!+@]/\\&/g')")
        case $after in
            [1-9]*) road_stage_after+=($((after - 1))) ;;
            *) road_stage_after+=("") ;;
        esac
    done
}

# Plays stage I: the stages it depends on not played yet stay unplayed.
road_play() {
    local i=$1 before
    road_played[i]=1
    road_waiting[${road_stage_tracks[$i]}]=""
    road_stages_played=$((road_stages_played + 1))
    before=${road_stage_after[$i]}
    while [ -n "$before" ] && [ -z "${road_played[$before]:-}" ] && [ -z "${road_passed_by[$before]:-}" ]; do
        road_passed_by[before]=$i
        before=${road_stage_after[$before]}
    done
}

#   road_see LINE
# plays the stage the line is of, keeps it when it says what a track waits
# for.
road_see() {
    local line=$1 i waited
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
    # Of the stages not played whose pattern fits, those with the longest
    # pattern ("paid * for a purchase by ..." before "paid * by ..."), and of
    # those the first whose dependency was played, else the first.
    local longest=-1 ready="" first="" late="" after
    for i in "${!road_stage_globs[@]}"; do
        # shellcheck disable=SC2053 # the glob is a pattern
        [[ $line == *" road: "${road_stage_globs[$i]} ]] || continue
        if [ -n "${road_played[$i]:-}" ]; then continue; fi
        if [ -n "${road_passed_by[$i]:-}" ]; then
            late=${late:-$i}
            continue
        fi
        if [ "${#road_stage_patterns[$i]}" -gt "$longest" ]; then
            longest=${#road_stage_patterns[$i]}
            ready="" first=""
        elif [ "${#road_stage_patterns[$i]}" -lt "$longest" ]; then
            continue
        fi
        first=${first:-$i}
        after=${road_stage_after[$i]}
        if [ -z "$after" ] || [ -n "${road_played[$after]:-}" ]; then ready=${ready:-$i}; fi
    done
    if [ -n "$ready" ]; then
        road_play "$ready"
    elif [ -n "$first" ]; then
        road_play "$first"
    elif [ -n "$late" ]; then
        road_came_late[late]=1
    fi
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

# Says which stage was not played, why when its line came too late, and the
# last line its track said it was waiting with; fails when every stage was
# played.
road_say_unplayed() {
    local i
    i=$(road_first_unplayed) || return 1
    local track=${road_stage_tracks[$i]}
    echo "$gamehost_name: the road's stage \"${road_stage_patterns[$i]}\" (${road_stage_waiting[$i]}) was not" \
        "played ($road_stages_played of ${#road_stage_tracks[@]} stages played)" >&2
    local passed=${road_passed_by[$i]:-}
    if [ -n "$passed" ]; then
        local what="the line of \"${road_stage_patterns[$passed]}\", a stage that depends on it, came"
        if [ -n "${road_came_late[$i]:-}" ]; then
            echo "$gamehost_name: $what before its own" >&2
        else
            echo "$gamehost_name: $what without it" >&2
        fi
    fi
    local waiting=${road_waiting[$track]:-}
    if [ -n "$waiting" ]; then
        echo "$gamehost_name: the stand-in player's last waiting line: road: ${waiting#* road: }" >&2
    else
        echo "$gamehost_name: the stand-in player had said no waiting line since its stage before" >&2
    fi
}
