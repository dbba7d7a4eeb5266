#!/bin/sh
# Builds the Debian package from the build folder BUILD and checks what it
# holds and its control fields; as root it also installs it, runs the
# inspection example as an ordinary user, and removes it again.
#   packaging/test-package.sh BUILD VERSION
set -eu
build="$1"
version="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$build"
cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; exit 1; }
deb="$work/talvex_${version}_amd64.deb"
[ -f "$deb" ] || { echo "no $deb"; ls "$work"; exit 1; }

fail() { echo "package: $*" >&2; exit 1; }
contents="$(dpkg-deb -c "$deb")"
for path in ./usr/bin/talvex ./usr/bin/talvex-sim ./usr/bin/talvex-run \
            ./usr/share/man/man1/talvex.1 ./usr/share/man/man1/talvex-sim.1 \
            ./usr/share/man/man1/talvex-run.1 ./usr/share/applications/talvex.desktop \
            ./usr/share/icons/hicolor/scalable/apps/talvex.svg \
            ./usr/share/doc/talvex/examples/incoming-check.tvx; do
    echo "$contents" | grep -q " $path\$" || fail "$path missing"
done
echo "$contents" | grep -q '^-rwxr-xr-x .* ./usr/bin/talvex-run$' || fail "talvex-run not executable"

[ "$(dpkg-deb -f "$deb" Package)" = talvex ] || fail "Package field"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "Version field"
[ "$(dpkg-deb -f "$deb" Architecture)" = amd64 ] || fail "Architecture field"
dpkg-deb -f "$deb" Description | grep -q 'RS-232 lines, shows the traffic' || fail "Description"
depends="$(dpkg-deb -f "$deb" Depends)"
for dep in libqt6core6 libqt6gui6 libqt6widgets6 libqt6serialport6 qt6-qpa-plugins; do
    echo "$depends" | grep -q "$dep" || fail "Depends lacks $dep: $depends"
done
# Nothing but Debian's Qt 6 packages.
others="$(echo "$depends" | tr ',' '\n' | sed 's/(.*)//; s/ //g' | grep -v '^libqt6\|^qt6-' || true)"
[ -z "$others" ] || fail "Depends has $others"

dpkg-deb -x "$deb" "$work/root"
grep -q '^Exec=talvex$' "$work/root/usr/share/applications/talvex.desktop" || fail "desktop Exec"
grep -q '^Icon=talvex$' "$work/root/usr/share/applications/talvex.desktop" || fail "desktop Icon"
grep -q "Talvex $version" "$work/root/usr/share/man/man1/talvex-run.1" || fail "man page version"

if [ "$(id -u)" = 0 ] && command -v runuser >/dev/null && ! dpkg -s talvex >/dev/null 2>&1; then
    dpkg -i "$deb" >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg -i"; }
    status=0
    cp /usr/share/doc/talvex/examples/incoming-check.tvx "$work/incoming-check.tvx"
    chmod 755 "$work"; chmod 644 "$work/incoming-check.tvx"
    runuser -u nobody -- /usr/bin/talvex-run --sim KVR-690 "$work/incoming-check.tvx" || status=$?
    [ "$(runuser -u nobody -- /usr/bin/talvex-run --version)" = "talvex-run $version" ] || status=1
    dpkg -r talvex >/dev/null 2>&1 || true
    [ "$status" = 0 ] || fail "installed talvex-run ended with $status"
    echo "installed, ran the inspection as nobody, removed"
fi
echo "package talvex_${version}_amd64.deb checked"
