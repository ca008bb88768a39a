#!/usr/bin/env bash
# A name typed on the Brazilian ABNT2 layout of a real X server, with dead keys and with letters the
# layout lacks, reaches the database in plain letters, each once.
#   keyboard_layout_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
unset QT_QPA_PLATFORM
if [ -z "${CADCONS_KBD_IN_X:-}" ]; then
    export CADCONS_KBD_IN_X=1
    exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$0" "$@"
fi
build=$1
src=$2
work=$(mktemp -d)
trap 'kill "$host" 2>/dev/null || true; rm -rf "$work"' EXIT
CADCONS_DB_TOOL="$build/apps/cadcons-db" "$src/scripts/cadcons-demo-host" "$work/host" >/dev/null
export CADCONS_HOST_DIR="$work/host/" CADCONS_LANGUAGE=pt_BR
unset CADCONS_CONNECTION CADCONS_CRYPTO_KEY CADCONS_CEP_URL CADCONS_CENTRAL_CONNECTION
setxkbmap br abnt2

"$build/apps/cadcons-host" --mode B >"$work/out" 2>"$work/err" &
host=$!
for _ in $(seq 1 80); do
    for w in $(xdotool search --onlyvisible --name '.*' 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null)" || continue
        [ "${WIDTH:-0}x${HEIGHT:-0}" = 740x641 ] && break 2
    done
    sleep 0.25
done
xdotool windowfocus "$w" 2>/dev/null || true
sleep 1
# Customer, then the code (the badge follows it), then the name: "João Ávila Simões Inês Gonçalves",
# with dead keys (ã, Á, ê), a letter that xdotool puts on a spare key (õ) and the ABNT2 "ç" key.
xdotool key --delay 30 Return && xdotool type --delay 30 9001 && xdotool key Return
xdotool key --delay 30 shift+j o dead_tilde a o space dead_acute shift+a v i l a space
xdotool type --delay 30 'Simões '
xdotool key --delay 30 shift+i n shift+dead_circumflex e s space
xdotool type --delay 30 'Gonçalves'
xdotool key ctrl+Return
for _ in $(seq 1 60); do
    kill -0 "$host" 2>/dev/null || break
    sleep 0.25
done
stored=$(sqlite3 "$work/host/cadcons.db" "SELECT NMCONSUMIDOR FROM CONSUMIDOR WHERE CDCONSUMIDOR LIKE '%9001'")
if ! grep -q '"saved":true' "$work/out" || [ "$stored" != "Joao Avila Simoes Ines Gonçalves" ]; then
    cat "$work/out" "$work/err"
    echo "FAIL: stored name '$stored'" >&2
    exit 1
fi
echo "stored '$stored'"
