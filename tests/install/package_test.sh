#!/usr/bin/env bash
# Builds the Debian packages and runs their as-installed tests (as root), unpacks them into a scratch
# root, checks what each holds and its manual pages, builds the C example host against it and runs it
# with the package's programs and embedded database once for each error a host can meet, and holds the
# library to the interface of the last release.
#   package_test.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
# The screen goes to the X server, where the operator script can see it, whatever the test run set.
unset QT_QPA_PLATFORM
# One virtual X server for every case that shows the screen. Without -noreset the server resets when
# its last client leaves, and a program that connects during the reset finds no display.
if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1024x768x24 -noreset" "$0" "$@"
fi
build=$1
src=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# The packages as an administrator gets them: built by scripts/package, which also holds them to
# lintian (no error, no warning) and runs the as-installed tests (debian/tests) on this machine: the
# example built with pkg-config and CMake, the screen saving and left, the data service.
command -v lintian >/dev/null || fail "lintian is not installed (scripts/install-deps)"
CADCONS_BUILD_DIR="$build" "$src/scripts/package" --as-installed "$work/pkg" >"$work/package.log" 2>&1 || {
    cat "$work/package.log"
    fail "scripts/package --as-installed (as root)"
}
grep -E "^[a-z-]+ +PASS" "$work/package.log"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:[A-Z]*=//p' "$build/CMakeCache.txt")
root="$work/root"
mkdir -p "$work/only"
# PACKAGE|what it must depend on (_ for a space)|files it must hold
while IFS='|' read -r package needed files; do
    deb=$(ls "$work"/pkg/"$package"_*.deb)
    echo "package: $(basename "$deb")"
    [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$package is not at the project's version $version"
    depends=$(dpkg-deb -f "$deb" Depends)
    for dependency in $needed; do
        grep -qF "${dependency//_/ }" <<<"$depends" || fail "$package does not depend on $dependency: $depends"
    done
    dpkg -x "$deb" "$work/only/$package"
    for file in $files; do
        # The paths are globs (the multiarch folder); -L: the development link points into the library's package.
        # shellcheck disable=SC2086
        [ -e "$work/only/$package/"$file ] || [ -L "$work/only/$package/"$file ] || fail "$file is not in $package"
    done
    dpkg -x "$deb" "$root"
done <<CASES
libcadconsumidor0|libqt6widgets6 libqt6sql6 libqt6network6 libssl3 libfprint-2-2 qt6-qpa-plugins|usr/lib/*/libcadconsumidor.so.0
libcadconsumidor-dev|libcadconsumidor0_(=_$version)|usr/include/cadcons/cadconsumidor.h usr/lib/*/libcadconsumidor.so usr/lib/*/pkgconfig/cadcons.pc usr/lib/*/cmake/cadcons/cadconsConfig.cmake usr/share/doc/libcadconsumidor-dev/examples/c-host/main.c usr/share/man/man3/CriaCadConsumidor.3.gz
cadcons|libcadconsumidor0_(=_$version) libqt6sql6-sqlite qt6-qpa-plugins|usr/bin/cadcons-db usr/bin/cadcons-service usr/bin/cadcons-host usr/bin/cadcons-demo-host usr/share/cadcons/db/schema/postgresql.sql usr/share/cadcons/demo/PARAMETROSKIV.CDS
CASES
# The runtime package holds no development files; the manual pages read as pages, with no troff warning.
[ -z "$(find "$work/only/libcadconsumidor0" -name '*.so' -o -name '*.h')" ] || fail "development files in libcadconsumidor0"
# PAGE|a text it must show
while IFS='|' read -r page text; do
    [ -e "$root/usr/share/man/$page.gz" ] || fail "no manual page $page"
    shown=$(MANWIDTH=80 man --warnings -l "$root/usr/share/man/$page.gz" 2>"$work/man.err") || fail "$(cat "$work/man.err")"
    [ ! -s "$work/man.err" ] || fail "troff warnings in $page: $(cat "$work/man.err")"
    grep -q "^NAME" <<<"$shown" && grep -qF -- "$text" <<<"$shown" || fail "the manual page $page lacks $text: $shown"
done <<CASES
man1/cadcons-db.1|seed-demo
man1/cadcons-service.1|setGravaConsumidor
man1/cadcons-host.1|--customer K
man1/cadcons-demo-host.1|cadcons.key
man3/CriaCadConsumidor.3|int CriaCadConsumidor(char** code, char** name, char** customer,
man3/CadConsumidorService.3|CadConsumidorFree(packet);
man3/CadConsumidorFree.3|NULL is ignored
man3/CadConsumidorLastError.3|CadConsumidorFree(packet);
CASES
library=$(find "$root" -name 'libcadconsumidor.so.0' | head -n 1)
libdir=$(dirname "$library")

# The example, built against the unpacked package for the errors below, and the pages' examples.
flags=$(PKG_CONFIG_PATH="$libdir/pkgconfig" pkg-config --cflags --libs cadcons)
cc -std=c99 -Wall -Wextra -Werror "$src/examples/c-host/main.c" $flags -o "$work/example-pc"
"$src/scripts/manpages-from-header" --examples "$root/usr/include/cadcons/cadconsumidor.h" >"$work/examples.c"
cc -std=c99 -Wall -Wextra -Werror -shared -fPIC "$work/examples.c" $flags -o "$work/examples.so"

# A host directory made by the package's own tool; the embedded database in it.
"$root/usr/bin/cadcons-demo-host" "$work/host" >/dev/null
[ "$(stat -c %a "$work/host/cadcons.key")" = 600 ] || fail "the key file may be read by others"
[ -s "$work/host/cadcons.db" ] || fail "no embedded database"

export LD_LIBRARY_PATH="$libdir"
unset CADCONS_CONNECTION CADCONS_CRYPTO_KEY CADCONS_CEP_URL CADCONS_CENTRAL_CONNECTION
export CADCONS_LANGUAGE=pt_BR
operate="$src/tests/install/operate.sh"

run() { # EXPECTED_STATUS OUTPUT_FILE COMMAND...
    local expected=$1 out=$2
    shift 2
    local status=0
    "$@" >"$out" 2>"$out.err" || status=$?
    echo "--- $(basename "$out"): exit $status"
    cat "$out"
    [ "$status" = "$expected" ] || {
        cat "$out.err"
        fail "$(basename "$out"): exit status $status, expected $expected"
    }
}

# The package's own demonstration host finds the package's library.
run 0 "$work/cadcons-host.out" env CADCONS_HOST_DIR="$work/host/" "$operate" "$root/usr/bin/cadcons-host"
grep -q '"saved":false' "$work/cadcons-host.out" || fail "cadcons-host did not report the call"

# The errors a host can meet: each a clear message and a false result, never a crash.
run 2 "$work/no-display.out" env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM CADCONS_HOST_DIR="$work/host/" \
    "$work/example-pc" 42 Maria
grep -q '^error=.*display' "$work/no-display.out" || fail "no display: no clear message"
grep -q '^code=42$' "$work/no-display.out" || fail "no display: the code did not come back as it went"

run 2 "$work/no-database.out" env CADCONS_HOST_DIR="$work/host/" \
    CADCONS_CONNECTION="Provider=QPSQL;Data Source=127.0.0.1:1;Initial Catalog=pdv;User ID=pdv;Password=hunter2" \
    "$operate" "$work/example-pc"
grep -q '^error=.' "$work/no-database.out" || fail "no database: no message"
grep -q 'hunter2' "$work/no-database.out" "$work/no-database.out.err" && fail "no database: the password was shown"

# A host directory that is not there. (A host directory without the parameter file opens the screen
# with empty parameters, as designed; saving then asks for the cost centre.)
run 2 "$work/no-host-dir.out" env CADCONS_HOST_DIR="$work/missing-host/" "$operate" "$work/example-pc"
grep -q 'CADCONS_HOST_DIR: .* is not a directory' "$work/no-host-dir.out" || fail "no host directory: the message does not name it"

chmod 644 "$work/host/cadcons.key"
run 2 "$work/open-key.out" env CADCONS_HOST_DIR="$work/host/" "$operate" "$work/example-pc"
grep -q 'key_file.*chmod 600' "$work/open-key.out" || fail "a key file others can read was not refused"
# The exported interface against the last release's: the types come from the debug symbols.
"$src/scripts/abi-check" "$work/pkg" || fail "the library breaks the interface of the last release"
echo "package test passed"
