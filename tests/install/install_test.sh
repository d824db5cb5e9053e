#!/usr/bin/env bash
# Installs the build into a temporary DESTDIR and checks the result as a user
# and a developer meet it: the files in their places, the desktop entry and
# the AppStream metainfo through their validators, the installed program
# run from a folder it cannot write (it finds the game in a Wine prefix and
# keeps its settings under XDG_CONFIG_HOME), and a client program built
# against the installed library with find_package(Tessera) and pkg-config.
#
# Usage: install_test.sh <build folder> <source folder>
set -euo pipefail
build=$(realpath "$1")
source=$(realpath "$2")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
root="$work/root"
usr="$root/usr"

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

echo "== install"
DESTDIR="$root" cmake --install "$build" --prefix /usr >"$work/install.log"
libdir=$(dirname "$(find "$usr" -name 'libtessera.so.1' | head -n1)")
for file in bin/gearloft include/tessera.h share/doc/gearloft/gearloft.html \
    share/applications/org.gearloft.Gearloft.desktop \
    share/metainfo/org.gearloft.Gearloft.metainfo.xml \
    share/icons/hicolor/32x32/apps/org.gearloft.Gearloft.png; do
    [ -f "$usr/$file" ] || fail "missing $file"
done
skins="$libdir/gearloft/skins"
[ -d "$skins" ] || fail "missing the skins folder $skins"
for skin in workshop console; do
    [ -f "$skins/$skin.skn" ] && [ -f "$skins/$skin.so" ] || fail "missing the skin $skin in $skins"
done
[ "$(readlink "$libdir/libtessera.so")" = libtessera.so.1 ] || fail "libtessera.so is no link to libtessera.so.1"
[ "$(readlink "$libdir/libtessera.so.1")" = libtessera.so.1.4.0 ] || fail "libtessera.so.1 is no link to libtessera.so.1.4.0"
[ -f "$libdir/cmake/Tessera/TesseraConfig.cmake" ] || fail "missing the CMake package"
[ -f "$libdir/pkgconfig/tessera.pc" ] || fail "missing tessera.pc"
dynamic=$(readelf -d "$usr/bin/gearloft")
if grep -qE 'RPATH|RUNPATH' <<<"$dynamic"; then
    fail "the installed program carries a library search path"
fi

echo "== validators"
desktop-file-validate "$usr/share/applications/org.gearloft.Gearloft.desktop" || fail "desktop-file-validate"
appstreamcli validate --no-net "$usr/share/metainfo/org.gearloft.Gearloft.metainfo.xml" || fail "appstreamcli validate"

echo "== the installed program, from a read-only folder"
# A home with a Wine prefix whose registry names the game on drive C:, in
# other letter case than on disk.
home="$work/home"
prefix="$home/.wine"
mkdir -p "$prefix/drive_c/Games" "$prefix/dosdevices" "$home/config/Gearloft"
ln -s ../drive_c "$prefix/dosdevices/c:"
"$build/bin/make-demo-game" "$prefix/drive_c/Games/Qelmarch" --scale 0.05 >/dev/null
printf '%s\n' 'WINE REGISTRY Version 2' ';; All keys relative to \\Machine' '' '#arch=win64' '' \
    '[Software\\Wow6432Node\\Ombrine\\Qelmarch] 1733812345' '#time=1db4a1f0c2e3d01' \
    '"Path"="C:\\GAMES\\qelmarch"' >"$prefix/system.reg"
# levels.cfg in the settings folder: its one unusable value is reported on
# the debug output when the main dialog reads the file.
printf '[Level 0]\nStem=../outside\n' >"$home/config/Gearloft/levels.cfg"

run_as=()
if [ "$(id -u)" -eq 0 ]; then
    # Root writes anywhere; the program runs as an ordinary user, for whom
    # the installed tree (owned by root) is read-only.
    chown -R nobody:nogroup "$home"
    run_as=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
    chmod -R a-w "$root"
fi
log="$work/gearloft.log"
env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/config" \
    XDG_DATA_HOME="$home/data" QT_QPA_PLATFORM=offscreen GEARLOFT_DEBUG=1 \
    "${run_as[@]}" "$usr/bin/gearloft" -nosplash >"$log" 2>&1 &
pid=$!
for _ in $(seq 1 200); do
    grep -q 'levels.cfg:' "$log" && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
done
grep -q 'levels.cfg: \[Level 0\]' "$log" || fail "the main dialog did not read levels.cfg from the settings folder"
# The session ends: the program closes its window and writes its settings.
kill -TERM "$pid" 2>/dev/null || true
status=0
wait "$pid" || status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"
settings="$home/config/Gearloft/gearloft.cfg"
grep -q '^Last Level=0' "$settings" 2>/dev/null || fail "no settings written to $settings"
store="$home/config/Gearloft/HKEY_LOCAL_MACHINE.ini"
grep -qx "Path=$prefix/drive_c/Games/Qelmarch" "$store" 2>/dev/null || fail "the game's folder was not remembered"
grep -qx "WinePrefix=$prefix" "$store" 2>/dev/null || fail "the game's prefix was not remembered"
[ ! -e "$usr/bin/gearloft.cfg" ] || fail "settings written into the program's folder"
if grep -q 'ERROR' "$log"; then
    fail "the program reported an error"
fi
if [ "$failures" -ne 0 ]; then
    cat "$log" >&2
    cat "$store" "$settings" >&2 2>/dev/null || true
fi
[ "$(id -u)" -eq 0 ] || chmod -R u+w "$root"

echo "== a client of the installed library"
export CMAKE_PREFIX_PATH="$usr"
export PKG_CONFIG_PATH="$libdir/pkgconfig"
for way in find_package pkg-config; do
    client="$work/client-$way"
    option=OFF
    [ "$way" = pkg-config ] && option=ON
    if cmake -S "$source/tests/install/client" -B "$client" -DUSE_PKG_CONFIG=$option \
        -DCMAKE_BUILD_TYPE=Release >"$client.log" 2>&1 &&
        cmake --build "$client" >>"$client.log" 2>&1 &&
        LD_LIBRARY_PATH="$libdir" "$client/client" >>"$client.log" 2>&1 &&
        grep -q 'tessera client ok' "$client.log"; then
        :
    else
        cat "$client.log" >&2
        fail "the client built with $way"
    fi
done
# The client found the installed library, not the build tree's.
linked=$(LD_LIBRARY_PATH="$libdir" ldd "$work/client-pkg-config/client" || true)
if ! grep -q "$libdir/libtessera.so.1" <<<"$linked"; then
    fail "the pkg-config client does not use the installed library"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures failed" >&2
    exit 1
fi
echo "install test passed"
