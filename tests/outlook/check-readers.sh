#!/bin/bash
# The PSTs the stand-in's tests wrote (mail.pst, contacts.pst in DIR), read
# by the two independent readers: readpst (pst-utils) and pffexport
# (pff-tools) must read them without complaint and extract what was put in.
set -u
dir=$1
fail=0
expect() { # what-was-extracted text
    grep -rqF -- "$2" "$1" || { echo "not found in $1: $2"; fail=1; }
}
for f in mail.pst contacts.pst; do
    [ -f "$dir/$f" ] || { echo "$dir/$f was not written"; exit 1; }
done
rm -rf "$dir/readpst" "$dir/pffexport"
mkdir -p "$dir/readpst/mail" "$dir/readpst/contacts" "$dir/pffexport"
readpst -j 0 -r -8 -b -o "$dir/readpst/mail" "$dir/mail.pst" >"$dir/readpst-mail.log" 2>&1 ||
    { echo "readpst failed on mail.pst"; cat "$dir/readpst-mail.log"; fail=1; }
readpst -j 0 -r -8 -o "$dir/readpst/contacts" "$dir/contacts.pst" >"$dir/readpst-contacts.log" 2>&1 ||
    { echo "readpst failed on contacts.pst"; cat "$dir/readpst-contacts.log"; fail=1; }
expect "$dir/readpst/mail" "Quarterly figures"
expect "$dir/readpst/mail" "the figures are attached"
expect "$dir/readpst/mail" "Quarterly report.xls"
expect "$dir/readpst/mail" "maria@tidewell.example"
expect "$dir/readpst/mail" "See you & bring it"
expect "$dir/readpst/contacts" "anna.berg@tidewell.example"
expect "$dir/readpst/contacts" "Anna Berg"
expect "$dir/readpst/contacts" "+49 170 1234567"
for f in mail contacts; do
    (cd "$dir/pffexport" && pffexport -q -m all -t "$f" "$dir/$f.pst") >"$dir/pffexport-$f.log" 2>&1 ||
        { echo "pffexport failed on $f.pst"; cat "$dir/pffexport-$f.log"; fail=1; }
done
expect "$dir/pffexport" "Quarterly figures"
expect "$dir/pffexport" "the figures are attached"
expect "$dir/pffexport" "anna.berg@tidewell.example"
[ -n "$(find "$dir/pffexport" -path "*mail.export*" -name "*Quarterly report.xls" -size 70000c)" ] ||
    { echo "pffexport did not extract the 70,000-byte attachment"; fail=1; }
exit $fail
