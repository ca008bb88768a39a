#!/usr/bin/env bash
# Plays the operator for a program that shows the registration screen on an X display: leaves every
# registration screen with its exit key and closes every message with Escape, until the program ends.
# With --register, the first screen (in mode B) registers a consumer instead: code, name, birth date,
# RG and CPF typed, saved with Ctrl+Enter; each message after it is acknowledged with Enter.
#   operate.sh [--register CODE NAME] COMMAND [ARGUMENTS...]   (exit status: the command's; 124: it hung)
set -uo pipefail
register=()
[ "$1" = --register ] && register=("$2" "$3") && shift 3
"$@" &
pid=$!
deadline=$((SECONDS + ${OPERATE_TIMEOUT:-120}))
root=$(xdotool getdisplaygeometry 2>/dev/null | tr ' ' 'x')
close=Escape
while kill -0 "$pid" 2>/dev/null; do
    if [ "$SECONDS" -gt "$deadline" ]; then
        echo "operate: $1 did not end; stopping it" >&2
        kill "$pid"
        wait "$pid"
        exit 124
    fi
    # The screen may run in a child of the command (scripts/run execs the host, a shell may fork it).
    for w in $(xdotool search --onlyvisible --name '.*' 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
        size="${WIDTH:-0}x${HEIGHT:-0}"
        if [ "$size" = 740x641 ] && [ ${#register[@]} -gt 0 ]; then
            echo "operate: the registration screen is open; registering ${register[0]}" >&2
            xdotool windowfocus --sync "$w" 2>/dev/null
            for text in "${register[@]}" 15/08/1995 RG77001 52998224725; do
                xdotool key --delay 30 Return type --delay 30 "$text"
            done
            xdotool key --delay 30 ctrl+Return
            register=() close=Return
        elif [ "$size" = 740x641 ] && [ "$close" = Escape ]; then
            echo "operate: the registration screen is open; leaving it" >&2
            xdotool mousemove --window "$w" 40 602 click 1
        elif [ "${WIDTH:-0}" -gt 100 ] && [ "$size" != "$root" ] && [ "$size" != 740x641 ]; then
            echo "operate: a $size window is open; closing it with $close" >&2
            xdotool windowfocus --sync "$w" key "$close" 2>/dev/null || true
        fi
    done
    sleep 0.5
done
wait "$pid"
