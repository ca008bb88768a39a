#!/usr/bin/env bash
# The README's run command on this build: it prepares the demonstration host and opens the screen
# (under a virtual X server), and the operator leaves it.
#   run_script_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
# The screen goes to the X server, where the operator script can see it, whatever the test run set.
unset QT_QPA_PLATFORM
build=$1
src=$2
out=$(mktemp)
trap 'rm -f "$out" "$out.err"' EXIT
unset CADCONS_HOST_DIR CADCONS_CONNECTION CADCONS_CRYPTO_KEY CADCONS_CEP_URL CADCONS_CENTRAL_CONNECTION
export CADCONS_BUILD_DIR="$build" CADCONS_LANGUAGE=pt_BR
status=0
# -noreset: the operator script's clients come and go; the screen must never meet a resetting server.
xvfb-run -a -s "-noreset" "$src/tests/install/operate.sh" "$src/scripts/run" >"$out" 2>"$out.err" || status=$?
cat "$out"
if [ "$status" != 0 ] || ! grep -q '"saved":false' "$out" || ! grep -q 'leaving it' "$out.err"; then
    cat "$out.err"
    echo "FAIL: scripts/run exited $status" >&2
    exit 1
fi
echo "scripts/run opened the screen and the operator left it"
