#!/usr/bin/env bash
# Plays the operator who registers one consumer on a program's registration screen (opened in mode B,
# where the code is typed): types the code, the name and the documents, saves with Ctrl+Enter and
# acknowledges each message with Enter, until the program ends.
#   register.sh CODE NAME COMMAND [ARGUMENTS...]     (exit status: the command's; 124 when it would not end)
set -uo pipefail
code=$1 name=$2
shift 2
"$@" &
pid=$!
deadline=$((SECONDS + ${OPERATE_TIMEOUT:-120}))
root=$(xdotool getdisplaygeometry 2>/dev/null | tr ' ' 'x')
screen() { xdotool search --onlyvisible --name '.*' 2>/dev/null | while read -r w; do
    xdotool getwindowgeometry "$w" 2>/dev/null | grep -q 'Geometry: 740x641' && echo "$w" && break
done; }
saved=no
while kill -0 "$pid" 2>/dev/null; do
    if [ "$SECONDS" -gt "$deadline" ]; then
        echo "register: $1 did not end; stopping it" >&2
        kill "$pid"
        wait "$pid"
        exit 124
    fi
    w=$(screen)
    if [ -n "$w" ] && [ "$saved" = no ]; then
        echo "register: the registration screen is open; registering $code" >&2
        xdotool windowfocus --sync "$w" 2>/dev/null
        # From the code field on: code, name, birth date, RG, CPF; the rest as the form fills it.
        xdotool key --delay 30 Return type --delay 30 "$code"
        for text in "$name" 15/08/1995 RG77001 52998224725; do
            xdotool key --delay 30 Return type --delay 30 "$text"
        done
        xdotool key --delay 30 ctrl+Return
        saved=yes
    elif [ "$saved" = yes ]; then
        for m in $(xdotool search --onlyvisible --name '.*' 2>/dev/null); do
            eval "$(xdotool getwindowgeometry --shell "$m" 2>/dev/null)" || continue
            if [ "${WIDTH:-0}" -gt 100 ] && [ "${WIDTH}x${HEIGHT}" != "$root" ] && [ "${WIDTH}x${HEIGHT}" != 740x641 ]; then
                echo "register: a ${WIDTH}x${HEIGHT} message is open; acknowledging it" >&2
                xdotool windowfocus --sync "$m" key Return 2>/dev/null || true
            fi
        done
    fi
    sleep 0.5
done
wait "$pid"
