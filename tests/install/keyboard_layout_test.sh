#!/usr/bin/env bash
# A name typed on a real X server with the ABNT2 layout (dead keys, the "ç" key) is stored in plain letters,
# each once.   keyboard_layout_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
unset QT_QPA_PLATFORM CADCONS_CONNECTION CADCONS_CRYPTO_KEY CADCONS_CEP_URL CADCONS_CENTRAL_CONNECTION
[ -n "${CADCONS_KBD_IN_X:-}" ] || CADCONS_KBD_IN_X=1 exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$0" "$@"
work=$(mktemp -d)
trap 'kill "$host" 2>/dev/null || true; rm -rf "$work"' EXIT
CADCONS_DB_TOOL="$1/apps/cadcons-db" "$2/scripts/cadcons-demo-host" "$work/host" >/dev/null
setxkbmap br abnt2
CADCONS_HOST_DIR="$work/host/" CADCONS_LANGUAGE=pt_BR "$1/apps/cadcons-host" --mode B >"$work/out" 2>&1 &
host=$!
for _ in $(seq 80); do
    xdotool search --onlyvisible --name '.*' getwindowgeometry %@ 2>/dev/null | grep -q 740x641 && break || sleep 0.25
done
sleep 1
# Customer, code (the badge follows it), then "João Ávila Simões Inês Gonçalves", and Ctrl+Enter. Only keys
# of the layout: a letter xdotool puts on a spare key may come before Qt has read the new key map.
xdotool key --delay 30 Return && xdotool type --delay 30 9001 && xdotool key Return
xdotool key --delay 30 shift+j o dead_tilde a o space dead_acute shift+a v i l a space
xdotool key --delay 30 shift+s i m dead_tilde o e s space shift+i n shift+dead_circumflex e s space
xdotool type --delay 30 'Gonçalves' && xdotool key ctrl+Return
timeout 15 tail --pid="$host" -f /dev/null || true
stored=$(sqlite3 "$work/host/cadcons.db" "SELECT NMCONSUMIDOR FROM CONSUMIDOR WHERE CDCONSUMIDOR LIKE '%9001'")
if ! grep -q '"saved":true' "$work/out" || [ "$stored" != "Joao Avila Simoes Ines Gonçalves" ]; then
    cat "$work/out"
    echo "FAIL: stored name '$stored'" >&2 && exit 1
fi
echo "stored '$stored'"
