#!/usr/bin/env bash
# Hosts started one after another on an X server that resets whenever its last client leaves (Xvfb's
# default): each call must reach the database step and report it, never abort in Qt or take the
# resetting server for a missing display.
#   xserver_reset_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
unset QT_QPA_PLATFORM
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a "$0" "$@"
fi
build=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
out="$work/out"
CADCONS_DB_TOOL="$build/apps/cadcons-db" "$src/scripts/cadcons-demo-host" "$work/host" >/dev/null
export CADCONS_HOST_DIR="$work/host/" CADCONS_LANGUAGE=pt_BR
export CADCONS_CONNECTION="Provider=QPSQL;Data Source=127.0.0.1:1;Initial Catalog=pdv;User ID=pdv;Password=x"
unset CADCONS_CRYPTO_KEY CADCONS_CEP_URL CADCONS_CENTRAL_CONNECTION
for round in $(seq 1 "${ROUNDS:-20}"); do
    status=0
    "$src/tests/install/operate.sh" "$build/examples/c-host/cadcons-example-c" >"$out" 2>&1 || status=$?
    if [ "$status" != 2 ] || grep -q 'no display' "$out"; then
        cat "$out"
        echo "FAIL: round $round: exit status $status" >&2
        exit 1
    fi
done
echo "every round reached the database and reported it"
