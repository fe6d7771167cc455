#!/bin/sh
# Screenshots of the dashboard for README.md: writes the dashboard of
# examples/sample.log (beside every report of examples/quelm_stat.conf, so
# its links show) with a built binary, and shoots it with headless Chromium
# at a desktop width (1280) and a phone width (390) into
# doc/dashboard-desktop.png and doc/dashboard-phone.png. Builds nothing.
#   tools/screenshots.sh BINARY
set -eu
[ $# -eq 1 ] && [ -x "$1" ] || { echo "usage: tools/screenshots.sh BINARY (a built quelm_stat)" >&2; exit 2; }
bin=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
cd "$(dirname "$0")/.."
top=$(pwd)
command -v chromium >/dev/null 2>&1 || { echo "screenshots: chromium is not installed (Debian package chromium)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
mkdir "$work/pages"
TZ=UTC "$bin" -c examples/quelm_stat.conf -w -f examples/sample.log -B "$work/pages" \
    --dashboard dashboard.html >/dev/null 2>&1 || true
page="$work/pages/dashboard.html"
[ -s "$page" ] || { echo "screenshots: the dashboard was not written" >&2; exit 1; }

# Chromium refuses to run as root inside its sandbox.
sandbox=""
[ "$(id -u)" -eq 0 ] && sandbox="--no-sandbox"

# shoot WIDTH HEIGHT PICTURE
shoot() {
    rm -f "$3"
    if ! timeout 120 chromium --headless $sandbox --disable-gpu --hide-scrollbars --no-first-run \
            --user-data-dir="$work/profile" --window-size="$1,$2" --screenshot="$3" "file://$page" \
            >"$work/chromium.log" 2>&1 || [ ! -s "$3" ]; then
        cat "$work/chromium.log" >&2
        echo "screenshots: no picture written for $3" >&2
        exit 1
    fi
    echo "Screenshot written to $3"
}
shoot 1280 1800 "$top/doc/dashboard-desktop.png"
shoot 390 1600 "$top/doc/dashboard-phone.png"
