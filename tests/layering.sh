#!/bin/sh
# The folders of the program form layers that go one way. Each folder may
# include only the folders listed for it below (its own included); anything
# else fails the check. driver/settings.h and driver/messages.h are the
# program-wide base every layer may include; the rest of driver/ is the top.
#
#   util    nothing of this program
#   model   util
#   geo     util, base
#   input   util, base, model, geo
#   stats   util, base, model, geo
#   report  util, base, model, geo, stats
#   export  util, base, model, geo, stats, report (machine-readable outputs)
#   driver  everything
#   tools   the log generator: tools only
set -u
top=${1:-.}
cd "$top" || exit 2

base='driver/settings.h driver/messages.h'
allowed() {  # folder -> the folders (and base headers) it may include
    case $1 in
    util) echo "util/" ;;
    model) echo "model/ util/" ;;
    geo) echo "geo/ util/ $base" ;;
    input) echo "input/ util/ model/ geo/ $base" ;;
    stats) echo "stats/ util/ model/ geo/ $base" ;;
    report) echo "report/ util/ model/ geo/ stats/ $base" ;;
    export) echo "export/ report/ util/ model/ geo/ stats/ $base" ;;
    driver) echo "driver/ util/ model/ geo/ input/ stats/ report/ export/" ;;
    tools) echo "tools/" ;;
    esac
}

status=0
for folder in util model geo input stats report export driver tools; do
    [ -d "$folder" ] || { echo "missing folder $folder"; status=1; continue; }
    find "$folder" \( -name '*.h' -o -name '*.cpp' \) -exec grep -Hn '^#include "' {} + | sort |
        awk -v folder="$folder" -v allowed="$(allowed "$folder")" '
            BEGIN { n = split(allowed, entries, " ") }
            {
                included = $0
                sub(/^[^"]*"/, "", included)
                sub(/".*$/, "", included)
                for (i = 1; i <= n; ++i) {
                    entry = entries[i]
                    if (entry ~ /\/$/ ? index(included, entry) == 1 : included == entry)
                        next
                }
                print folder " may not include " included ": " $0
                bad = 1
            }
            END { exit bad }' || status=1
done
exit $status
