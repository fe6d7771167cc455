#!/bin/sh
# The Debian package: cpack builds it from the build tree, dpkg -x unpacks it
# into a temporary root, and the installed files are where the program looks
# for them; the installed binary answers -h exactly like the built one.
#
#   package_test.sh CPACK BUILD_DIR BINARY
set -u
cpack=$1
build=$(cd "$2" && pwd)
bin=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0
fail() { echo "FAIL: $*"; failed=$((failed + 1)); }
# check DESCRIPTION COMMAND...: one check, passed when COMMAND succeeds.
check() {
    what=$1
    shift
    if "$@"; then passed=$((passed + 1)); else fail "$what"; fi
}

(cd "$build" && "$cpack" -G DEB -B "$work/pkg") >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack"; exit 1; }
deb=$(ls "$work"/pkg/*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || { fail "no .deb written"; exit 1; }
check "package name" [ "$(dpkg-deb -f "$deb" Package)" = quelm-stat ]
dpkg-deb -I "$deb" conffiles >"$work/conffiles" 2>&1
check "the configuration is a conffile" grep -qx /usr/local/etc/quelm_stat.conf "$work/conffiles"

dpkg -x "$deb" "$work/root"
for file in usr/local/bin/quelm_stat usr/local/share/man/man1/quelm_stat.1 usr/local/etc/quelm_stat.conf \
            usr/local/share/doc/quelm_stat/country_ip.data usr/local/share/doc/quelm_stat/area_ip.data; do
    check "$file is in the package" [ -s "$work/root/$file" ]
done

"$work/root/usr/local/bin/quelm_stat" -h >"$work/installed.out" 2>"$work/installed.err"
installed_status=$?
"$bin" -h >"$work/built.out" 2>"$work/built.err"
built_status=$?
check "-h exit status $installed_status (built: $built_status)" [ "$installed_status$built_status" = 11 ]
check "-h usage text as the built binary's" cmp -s "$work/installed.err" "$work/built.err"
check "-h names the configuration path" grep -q "config file       --  /usr/local/etc/quelm_stat.conf" "$work/installed.err"
echo "package: $passed passed, $failed failed"
[ "$failed" = 0 ]
