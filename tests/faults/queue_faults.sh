#!/usr/bin/env bash
# The till's queue under faults, on PostgreSQL behind bench/link_proxy: each case ends with every queued
# consumer in the database exactly once and nothing left waiting or refused.
#   queue_faults.sh BUILD_DIR SOURCE_DIR CASE...   (under scripts/with-postgres)
# cuts       the link cut after a random byte count while sending (CUTS runs of 5, 20 by default)
# kill-send  cadcons-db queue send killed with -9 at a random moment (KILLS runs of 30, 5 by default)
# two        two senders at once (PAIRS runs of 30, 3 by default)
# kill-queue the screen killed with -9 while Confirm queues, its disk syncs slowed (X display, strace)
# full-disk  Confirm with the queue's disk full, then again once there is room (X display, root for mount)
set -uo pipefail
[ -n "${CADCONS_TEST_PG:-}" ] || { echo "queue_faults: run it under scripts/with-postgres" >&2; exit 77; }
B=$1 S=$2
shift 2
field() { sed -n "s/.*$1=\([^;]*\).*/\1/p" <<<"$CADCONS_TEST_PG"; }
server=$(field "Data Source")
export PGHOST=${server%:*} PGPORT=${server#*:} PGUSER=$(field "User ID") PGPASSWORD=$(field Password)
W=$(mktemp -d)
db=cadcons_queue_$$
trap 'kill $proxy 2>/dev/null; umount "$W/disk" 2>/dev/null; dropdb --if-exists $db; rm -rf "$W"' EXIT
createdb $db || exit 1
direct=${CADCONS_TEST_PG/Initial Catalog=postgres/Initial Catalog=$db}
for c in init seed-demo; do CADCONS_CONNECTION=$direct "$B/apps/cadcons-db" $c >/dev/null || exit 1; done
mkfifo "$W/link" && exec 7<>"$W/link"
"$B/bench/link_proxy" --to "$server" --delay-ms 2 --commands <&7 >"$W/proxy" &
proxy=$!
sleep 0.5
export CADCONS_CONNECTION=${direct/$server/127.0.0.1:$(grep -o '[0-9]*' "$W/proxy" | head -1)}
CADCONS_DB_TOOL=$B/apps/cadcons-db "$S/scripts/cadcons-demo-host" "$W/host" >/dev/null
export CADCONS_HOST_DIR=$W/host/ CADCONS_OFFLINE=yes CADCONS_LANGUAGE=pt_BR
queue=$W/host/cadcons-queue.sqlite
"$B/apps/cadcons-db" queue list >/dev/null
failed=0 next=1000
in_queue() { sqlite3 -cmd ".timeout 10000" "$queue" "$1"; }
failure() { echo "FAILED $*" >&2 && failed=$((failed + 1)); }

# Queues consumers FROM..TO as Confirm queues them.
enqueue() {
    local sql="BEGIN;" n c
    for n in $(seq "$1" "$2"); do
        c=$(printf '%021d' "$n")
        sql+="INSERT INTO QUEUE (QUEUED, CDCLIENTE, CDCONSUMIDOR, SAVE, SETTINGS) VALUES (datetime(),
 '000000000000000000001', '$c', json_object('CUSTOMER', '000000000000000000001', 'NAME', 'FAULT $n',
 'CODE', '$c', 'BADGE', 'F-$n', 'COSTCENTRE', '0000000001', 'TYPE', '01', 'OPERATION', '1', 'SEX', 'M'),
 '{\"IDBLOQCDIDCONS\":true}');"
    done
    in_queue "$sql COMMIT;"
}
# Every consumer named NAME FROM..TO once in the database, the queue empty.
check() {
    local rows waiting
    rows=$(psql -At -d $db -c "SELECT COUNT(*), COUNT(DISTINCT CDCONSUMIDOR) FROM CONSUMIDOR WHERE NMCONSUMIDOR \
        LIKE '$1 %' AND CAST(CDCONSUMIDOR AS BIGINT) BETWEEN $2 AND $3")
    waiting=$(in_queue "SELECT COUNT(*) FROM QUEUE")
    [ "$rows" = "$(($3 - $2 + 1))|$(($3 - $2 + 1))" ] && [ "$waiting" = 0 ] ||
        failure "$1 $2..$3: rows (all|distinct) $rows, waiting $waiting"
}
send() { "$B/apps/cadcons-db" queue send >>"$W/send.log" 2>&1; }
screen() { for _ in $(seq 80); do xdotool search --onlyvisible --name '.*' getwindowgeometry %@ 2>/dev/null |
    grep -q 740x641 && sleep 0.5 && return; sleep 0.25; done; }
type_consumer() { xdotool key Return type --delay 20 "$1" && xdotool key Return type --delay 20 "$2"; }

# The faults, each on queued records; true when it struck before the sending's end.
cut_once() {
    local side
    side=$( ((RANDOM % 2)) && echo client || echo server)
    echo "each $side $((RANDOM % 6000))" >&7 && sleep 0.05
    send
    local sent=$?
    echo "each $side -1" >&7 && sleep 0.05
    [ $sent != 0 ]
}
kill_once() {
    "$B/apps/cadcons-db" queue send >/dev/null 2>&1 &
    sleep "0.$((RANDOM % 4))$((RANDOM % 10))"
    kill -9 $! 2>/dev/null
    local killed=$?
    wait $! 2>/dev/null
    return $killed
}
two_once() {
    "$B/apps/cadcons-db" queue send >"$W/a" 2>&1 &
    "$B/apps/cadcons-db" queue send >"$W/b" 2>&1
    wait $!
    grep -q 'another process is sending' "$W/a" "$W/b"
}
# RUNS rounds of SIZE records under FAULT, each sent again to the end and checked.
rounds() {
    local struck=0
    for _ in $(seq "$1"); do
        enqueue $next $((next + $2 - 1))
        $3 && struck=$((struck + 1))
        send || send
        check FAULT $next $((next + $2 - 1))
        next=$((next + $2))
    done
    echo "$3: $1 runs of $2, struck before the end in $struck"
}

for case in "$@"; do
    case $case in
    cuts) rounds "${CUTS:-20}" 5 cut_once ;;
    kill-send) rounds "${KILLS:-5}" 30 kill_once ;;
    two) rounds "${PAIRS:-3}" 30 two_once ;;
    kill-queue) OPERATE_TIMEOUT=30 "$S/tests/install/operate.sh" "$B/apps/cadcons-host" >/dev/null 2>&1
        echo down >&7
        for n in $(seq 5001 $((5000 + ${KILLS:-5}))); do
            strace -f -qq -o /dev/null -e trace=fsync,fdatasync -e inject=fsync,fdatasync:delay_enter=300000 \
                "$B/apps/cadcons-host" --mode B >/dev/null 2>&1 &
            host=$!
            screen && type_consumer $n "KILLED $n" && xdotool key ctrl+Return
            sleep "$((RANDOM % 2)).$((RANDOM % 10))"
            pkill -9 -f 'cadcons-host --mode B'
            wait $host 2>/dev/null
        done
        queued=$(in_queue "SELECT COUNT(*) FROM QUEUE WHERE json_extract(SAVE, '$.CODE') = CDCONSUMIDOR")
        echo "kill-queue: ${KILLS:-5} killed, $queued queued whole, file $(in_queue 'PRAGMA integrity_check')"
        echo up >&7 && sleep 0.1 && send
        psql -At -d $db -c "SELECT COUNT(*) FROM CONSUMIDOR WHERE NMCONSUMIDOR LIKE 'KILLED %'" | grep -qx "$queued" ||
            failure "kill-queue: not every queued consumer sent once"
        ! compgen -G "$W/host/*damaged*" >/dev/null || failure "kill-queue: a queue moved aside" ;;
    full-disk) mkdir -p "$W/disk" && mount -t tmpfs -o size=2m tmpfs "$W/disk" || exit 77
        export CADCONS_CACHE_DIR=$W/disk queue=$W/disk/cadcons-queue.sqlite
        OPERATE_TIMEOUT=30 "$S/tests/install/operate.sh" "$B/apps/cadcons-host" >/dev/null 2>&1
        echo down >&7
        "$B/apps/cadcons-db" queue list >/dev/null && dd if=/dev/zero of="$W/disk/filler" bs=4k 2>/dev/null
        "$B/apps/cadcons-host" --mode B >"$W/host.out" 2>&1 &
        host=$!
        screen && type_consumer 6001 "FULL 6001" && xdotool key ctrl+Return && sleep 1.5
        import -window root "${SHOT:-$W/full-disk.png}" && xdotool key Escape && sleep 0.5
        after=$(in_queue "SELECT COUNT(*) FROM QUEUE")
        rm "$W/disk/filler" && xdotool key ctrl+Return && sleep 1.5 && xdotool key Escape
        wait $host
        echo "full-disk: $after queued while full, then the host said $(cat "$W/host.out" | tail -1)"
        echo up >&7 && sleep 0.1 && send
        [ "$after" = 0 ] || failure "full-disk: queued on a full disk"
        check FULL 6001 6001 ;;
    *) echo "queue_faults: unknown case $case" >&2 && exit 2 ;;
    esac
done
[ $failed = 0 ]
