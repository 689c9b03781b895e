#!/bin/bash
# check-help.sh CHM: the help file lists a topic per page (the overview, one
# per step, the activity log, the messages, the limits), every page's links
# and images resolve inside the file, and the contents name every page.
set -u
chm=$1
fail=0
complain() { echo "$*"; fail=1; }
listed=$(chmls -n list "$chm" 2>/dev/null) || { echo "chmls cannot list $chm"; exit 1; }
for page in index step1 step2 step3 step4 step5 step6 activity-log messages limits; do
    grep -qx "/$page.html" <<<"$listed" || complain "no topic $page.html"
done
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
chmls extractall "$chm" "$out" >/dev/null 2>&1 || complain "chmls cannot extract $chm"
for html in "$out"/*.html; do
    # Every href and src that is not an address outside the file.
    grep -oE '(href|src)="[^"]*"' "$html" | sed -E 's/^(href|src)="([^"#]*).*"$/\2/' | while read -r target; do
        case $target in "" | http:* | https:* | mailto:*) continue ;; esac
        [ -f "$out/$target" ] || echo "$(basename "$html"): $target does not resolve"
    done
done | grep . && fail=1
for html in "$out"/*.html; do
    grep -q "value=\"$(basename "$html")\"" "$out/toc.hhc" || complain "the contents do not name $(basename "$html")"
done
exit $fail
