#!/bin/sh
# Renders the general information report of the demo run into doc/report.png,
# the picture in README.md. Builds and runs the demo first (tools/demo.sh:
# incremental build, reports into ./reports/), installs Debian's chromium when
# it is missing, then takes a 1200x900 screenshot with headless Chromium.
# Run as root on Debian; CI does not run it.
set -eu
cd "$(dirname "$0")/.."
top=$(pwd)

sh tools/demo.sh

if ! command -v chromium >/dev/null 2>&1; then
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y chromium
fi

page="$top/reports/general.html"
picture="$top/doc/report.png"
[ -s "$page" ] || { echo "screenshot: $page was not written" >&2; exit 1; }

# Chromium refuses to run as root inside its sandbox.
sandbox=""
[ "$(id -u)" -eq 0 ] && sandbox="--no-sandbox"

profile=$(mktemp -d)
trap 'rm -rf "$profile"' EXIT INT TERM

rm -f "$picture"
if ! timeout 120 chromium --headless $sandbox --disable-gpu --hide-scrollbars \
        --no-first-run --user-data-dir="$profile" --window-size=1200,900 \
        --screenshot="$picture" "file://$page" >"$profile/chromium.log" 2>&1; then
    cat "$profile/chromium.log" >&2
    echo "screenshot: chromium failed" >&2
    exit 1
fi
if [ ! -s "$picture" ]; then
    cat "$profile/chromium.log" >&2
    echo "screenshot: no picture written" >&2
    exit 1
fi
echo "Screenshot written to $picture"
