#!/bin/bash
# check-readers.sh DIR PST-LIST PST-EXTRACTOR-DIR
# The PSTs the wizard wrote from the sample databases (mails.pst and
# contacts.pst in DIR, with the attachments they must give back in
# DIR/expected), read by the three independent readers: readpst
# (pst-utils), pffexport (pff-tools) and pst-extractor (npm, through our
# listing script PST-LIST) must read them without complaint and extract
# the folder tree, the headers, the bodies and the attachments byte for
# byte, and every contact. Then the PST a wizard killed many times over
# (killed.pst), and Outlook's own PSTs before and after the wizard added its
# folder to them (original/ and updated/): every earlier item extracted the
# same, byte for byte.
set -u
dir=$(realpath "$1")
pst_list=$2
export PST_EXTRACTOR_DIR=$3
fail=0
complain() { echo "$*"; fail=1; }
expect() { # where what
    grep -rqF -- "$2" "$1" || complain "not found in $1: $2"
}
# list PST OUT: what pst-extractor reads, one line per folder and item; a
# reader that hangs is stopped.
list() {
    timeout 120 node "$pst_list" "$1" >"$2" 2>"$2.log" ||
        complain "pst-extractor failed on $(basename "$1"): $(tail -n 3 "$2.log")"
}
listed() { # listing line
    grep -qF -- "$2" "$1" || complain "pst-extractor: not listed in $(basename "$1"): $2"
}
sha1() { sha1sum "$1" | cut -c1-40; }
# The headers readpst wrote below a directory, their encoded words decoded.
decode_words() { node "$(dirname "$pst_list")/decode-words.js" "$1" || complain "cannot decode the headers in $1"; }
# extract NAME: the three readers on DIR/NAME.pst, into DIR/NAME/readpst (a
# file per message), DIR/NAME/pff.export and DIR/NAME/extractor.txt.
extract() {
    local out="$dir/$1"
    rm -rf "$out"
    mkdir -p "$out/readpst"
    readpst -j 0 -r -8 -S -o "$out/readpst" "$dir/$1.pst" >"$out/readpst.log" 2>&1 ||
        complain "readpst failed on $1.pst: $(tail -n 5 "$out/readpst.log")"
    decode_words "$out/readpst"
    (cd "$out" && pffexport -q -m items -t pff "$dir/$1.pst") >"$out/pffexport.log" 2>&1 ||
        complain "pffexport failed on $1.pst: $(tail -n 5 "$out/pffexport.log")"
    list "$dir/$1.pst" "$out/extractor.txt"
}
same() { # extracted expected
    if [ ! -f "$1" ]; then
        complain "not extracted: $1"
    elif ! cmp -s "$1" "$2"; then
        complain "differs from $(basename "$2"): $1 ($(stat -c %s "$1") bytes)"
    fi
}
for f in mails.pst contacts.pst expected/scan.bin killed.pst; do
    [ -f "$dir/$f" ] || { echo "$dir/$f was not written"; exit 1; }
done
rm -rf "$dir/readpst" "$dir/pffexport"
mkdir -p "$dir/readpst/mails" "$dir/readpst/contacts" "$dir/pffexport"

# --- readpst: one directory per folder, one file per message (-S) --------
readpst -j 0 -r -8 -S -o "$dir/readpst/mails" "$dir/mails.pst" >"$dir/readpst-mails.log" 2>&1 ||
    complain "readpst failed on mails.pst: $(tail -n 5 "$dir/readpst-mails.log")"
decode_words "$dir/readpst/mails"
top="$dir/readpst/mails/Tidewell Conversion Folder/Lotus Mails"
# Messages are the files named by a number alone; attachments are N-name.
for entry in "Inbox 8" "Sent 1" "Drafts 1" "All 16" "Trash 1" "Work 2" "Projects/2007 1" "По теме 3"; do
    folder=${entry% *} want=${entry##* }
    got=$(find "$top/$folder" -maxdepth 1 -type f -regex '.*/[0-9]+' 2>/dev/null | wc -l)
    [ "$got" = "$want" ] || complain "readpst: $folder holds $got messages, not $want"
done
[ -z "$(find "$top" -maxdepth 1 -type f)" ] || complain "readpst: messages directly in Lotus Mails"
expect "$top/Inbox" "From:Anna Berg/Sales/Tidewell/DE"
expect "$top/Inbox" "To:Jonas Lind/Engineering/Tidewell/SE, María Sánchez/Support/Tidewell/ES"
expect "$top/Inbox" "Cc:Pierre Dubois/Tidewell/FR"
expect "$top/Inbox" "Subject: Quarterly figures — Übersicht für März — 四半期の数字"
expect "$top/Inbox" "Date: 07 Mar 2007 08:05:00"
expect "$top/Inbox" "the figures for the first quarter are attached."
expect "$top/Inbox" "Content-Type: text/html"
expect "$top/Inbox" "<h1>Spring edition</h1>"
expect "$top/Inbox" "<html> this is not taken as HTML"
same "$(ls "$top/Inbox/"*-figures.csv 2>/dev/null | head -n 1)" "$dir/expected/figures.csv"
same "$(ls "$top/Inbox/"*-scan.bin 2>/dev/null | head -n 1)" "$dir/expected/scan.bin"
same "$(ls "$top/Projects/2007/"*-agenda.txt 2>/dev/null | head -n 1)" "$dir/expected/agenda.txt"
[ -z "$(find "$top" -iname '*.msg*')" ] || complain "readpst: a .msg attachment was added"

readpst -j 0 -r -8 -o "$dir/readpst/contacts" "$dir/contacts.pst" >"$dir/readpst-contacts.log" 2>&1 ||
    complain "readpst failed on contacts.pst: $(tail -n 5 "$dir/readpst-contacts.log")"
cards="$dir/readpst/contacts/Tidewell Conversion Folder/Address Book"
expect "$cards" "FN:CN=Anna Berg/OU=Sales/O=Tidewell/C=DE"
expect "$cards" "N:Berg;Anna;K;;"
expect "$cards" "EMAIL:anna.berg@tidewell.example"
expect "$cards" "BDAY:1975-03-14"
expect "$cards" "TEL;TYPE=cell,voice:+49 170 1234567"
expect "$cards" "FN:María Sánchez"

# --- pffexport ---------------------------------------------------------------
for f in mails contacts; do
    (cd "$dir/pffexport" && pffexport -q -m items -t "$f" "$dir/$f.pst") >"$dir/pffexport-$f.log" 2>&1 ||
        complain "pffexport failed on $f.pst: $(tail -n 5 "$dir/pffexport-$f.log")"
done
ptop="$dir/pffexport/mails.export/Top of Personal Folders/Lotus Mails"
for entry in "Inbox 8" "Sent 1" "Drafts 1" "All 16" "Trash 1" "Work 2" "Projects/2007 1" "По теме 3"; do
    folder=${entry% *} want=${entry##* }
    got=$(find "$ptop/$folder" -mindepth 1 -maxdepth 1 -type d -name 'Message*' 2>/dev/null | wc -l)
    [ "$got" = "$want" ] || complain "pffexport: $folder holds $got messages, not $want"
done
# Every converted message is unread.
read_ones=$(grep -rl "^Flags:.*(Read" --include=OutlookHeaders.txt "$ptop" | wc -l)
[ "$read_ones" = 0 ] || complain "pffexport: $read_ones messages are marked read"
expect "$ptop/Inbox" "Sender name:				Anna Berg/Sales/Tidewell/DE"
same "$(find "$ptop/Inbox" -path '*Attachments*' -name '*_scan.bin' | head -n 1)" "$dir/expected/scan.bin"
same "$(find "$ptop/Inbox" -path '*Attachments*' -name '*_figures.csv' | head -n 1)" "$dir/expected/figures.csv"
same "$(find "$ptop/Projects" -path '*Attachments*' -name '*_agenda.txt' | head -n 1)" "$dir/expected/agenda.txt"
people="$dir/pffexport/contacts.export/Top of Personal Folders/Address Book"
got=$(find "$people" -mindepth 1 -maxdepth 1 -type d -name 'Contact*' | wc -l)
[ "$got" = 5 ] || complain "pffexport: $got contacts, not 5"
expect "$people" "Email address 1:			anna.berg@tidewell.example"
expect "$people" "Postal address:				Hafenstraße 12, 20457 Hamburg"
expect "$people" "Mobile phone number:			+49 170 1234567"

# --- pst-extractor -------------------------------------------------------------
mkdir -p "$dir/extractor"
list "$dir/mails.pst" "$dir/extractor/mails.txt"
list "$dir/contacts.pst" "$dir/extractor/contacts.txt"
mails="$dir/extractor/mails.txt" xtop="/Top of Personal Folders/Lotus Mails"
for entry in "Inbox 8" "Sent 1" "Drafts 1" "All 16" "Trash 1" "Work 2" "Projects/2007 1" "По теме 3"; do
    folder=${entry% *} want=${entry##* }
    grep -q "^F | $xtop/$folder | [^|]* | $want of $want\$" "$mails" ||
        complain "pst-extractor: $folder does not list $want messages"
done
grep -q "^M | $xtop |" "$mails" && complain "pst-extractor: messages directly in Lotus Mails"
grep -q "^M | .* | read | " "$mails" && complain "pst-extractor: converted messages marked read"
listed "$mails" "M | $xtop/Inbox | IPM.Note | Quarterly figures — Übersicht für März — 四半期の数字 | Anna Berg/Sales/Tidewell/DE <"
listed "$mails" "figures.csv:$(stat -c %s "$dir/expected/figures.csv"):$(sha1 "$dir/expected/figures.csv")"
listed "$mails" "scan.bin:$(stat -c %s "$dir/expected/scan.bin"):$(sha1 "$dir/expected/scan.bin")"
listed "$mails" "agenda.txt:$(stat -c %s "$dir/expected/agenda.txt"):$(sha1 "$dir/expected/agenda.txt")"
grep -q "^M | $xtop/Inbox | .* | html [1-9]" "$mails" || complain "pst-extractor: no HTML body in the Inbox"
people="$dir/extractor/contacts.txt"
got=$(grep -c "^C | /Top of Personal Folders/Address Book | " "$people")
[ "$got" = 5 ] || complain "pst-extractor: $got contacts, not 5"
listed "$people" "| Anna | K | Berg | anna.berg@tidewell.example |"
listed "$people" "| Tidewell | Sales |  |  | +49 170 1234567 | 1975-03-14"

# --- attachment names in every Western European language ------------------------
# hostile.pst holds them; accented/ each file as it must come out.
[ -f "$dir/hostile.pst" ] && [ -n "$(ls "$dir/accented" 2>/dev/null)" ] || complain "hostile.pst or accented/ was not written"
extract hostile
for expected in "$dir/accented"/*; do
    name=$(basename "$expected")
    same "$(find "$dir/hostile/readpst" -type f -name "*-$name" | head -n 1)" "$expected"
    same "$(find "$dir/hostile/pff.export" -path '*Attachments*' -name "*_$name" | head -n 1)" "$expected"
    listed "$dir/hostile/extractor.txt" "$name:$(stat -c %s "$expected"):$(sha1 "$expected")"
done

# --- every script: scripts.pst and script-contacts.pst --------------------------
# What each reader must give back is in scripts.expected (kind<TAB>text, UTF-8)
# and scripts-files/; the contacts' in script-contacts.expected.
for f in scripts.pst scripts.expected script-contacts.pst script-contacts.expected; do
    [ -f "$dir/$f" ] || complain "$f was not written"
done
# pffexport (libuna as Debian has it) decodes a surrogate pair 0x3FF too
# low (U+1F4A1 comes out as U+1F0A2) where readpst and pst-extractor read
# the same UTF-16 right: texts beyond the BMP are left to those two.
beyond_bmp() { case $1 in *$'\xf0'* | *$'\xf1'* | *$'\xf2'* | *$'\xf3'* | *$'\xf4'*) return 0 ;; esac; return 1; }
pff_expect() { beyond_bmp "$2" || expect "$@"; }
extract scripts
while IFS=$'\t' read -r kind text; do
    case $kind in
    folder)
        [ -n "$(find "$dir/scripts/readpst" -type d -name "$text")" ] || complain "readpst: no folder $text"
        beyond_bmp "$text" || [ -n "$(find "$dir/scripts/pff.export" -type d -name "$text")" ] ||
            complain "pffexport: no folder $text"
        listed "$dir/scripts/extractor.txt" "F | /Top of Personal Folders/Lotus Mails/$text | IPF.Post | 1 of 1"
        ;;
    subject)
        expect "$dir/scripts/readpst" "Subject: $text"
        pff_expect "$dir/scripts/pff.export" "$text"
        listed "$dir/scripts/extractor.txt" " | IPM.Note | $text | "
        ;;
    sender)
        expect "$dir/scripts/readpst" "From: $text"
        pff_expect "$dir/scripts/pff.export" "Sender name:				$text"
        listed "$dir/scripts/extractor.txt" " | $text <"
        ;;
    body)
        expect "$dir/scripts/readpst" "$text"
        pff_expect "$dir/scripts/pff.export" "$text"
        ;;
    attachment)
        same "$(find "$dir/scripts/readpst" -type f -name "*-$text" | head -n 1)" "$dir/scripts-files/$text"
        beyond_bmp "$text" ||
            same "$(find "$dir/scripts/pff.export" -path '*Attachments*' -name "*_$text" | head -n 1)" "$dir/scripts-files/$text"
        listed "$dir/scripts/extractor.txt" "$text:$(stat -c %s "$dir/scripts-files/$text"):$(sha1 "$dir/scripts-files/$text")"
        ;;
    esac
done <"$dir/scripts.expected"
extract script-contacts
while IFS=$'\t' read -r kind text; do
    expect "$dir/script-contacts/readpst" "$text"
    pff_expect "$dir/script-contacts/pff.export" "$text"
    listed "$dir/script-contacts/extractor.txt" "$text"
done <"$dir/script-contacts.expected"

# --- the PST whose conversions were killed -----------------------------------
extract killed
rounds=$(find "$dir/killed/pff.export" -mindepth 2 -maxdepth 2 -type d -name 'Round *' | wc -l)
[ "$rounds" -ge 1 ] || complain "pffexport: no converted folder in killed.pst"
grep -q "^F | .*/Round [^/|]*/Inbox | " "$dir/killed/extractor.txt" ||
    complain "pst-extractor: no converted folder in killed.pst"

# --- Outlook's own PSTs, updated ---------------------------------------------
# The digests of the files a reader extracted, outside the converted folder
# (readpst's one file per folder, in the folder's order: it stamps calendar
# items with the time of the extraction and draws its MIME boundaries at
# random, neither of which belongs to the items).
digests() {
    (cd "$1" && find . -path '*/Lotus Mails' -prune -o -type f -print0 | sort -z |
        xargs -0 -r -n1 sh -c 'grep -av "^DTSTAMP:" "$0" | sed -E "s/iamunique-[0-9]+/iamunique-N/g" | sha256sum' |
        cut -d' ' -f1 | sort)
}
rm -rf "$dir/samples"
updated_count=0
for updated in "$dir"/updated/*.pst; do
    [ -f "$updated" ] || continue
    updated_count=$((updated_count + 1))
    name=$(basename "$updated" .pst)
    # wVer 14 or 15: Outlook 97-2002's ANSI format, which pst-extractor
    # does not read at all (not even the file as Outlook left it).
    version=$(od -An -tu1 -j10 -N1 "$updated" | tr -d ' ')
    ansi=false
    [ "$version" -lt 20 ] && ansi=true
    for side in original updated; do
        out="$dir/samples/$name/$side"
        mkdir -p "$out/readpst"
        readpst -j 0 -r -8 -o "$out/readpst" "$dir/$side/$name.pst" >"$out/readpst.log" 2>&1 ||
            complain "readpst failed on $side/$name.pst: $(tail -n 5 "$out/readpst.log")"
        (cd "$out" && pffexport -q -m items -t pff "$dir/$side/$name.pst") >"$out/pffexport.log" 2>&1 ||
            complain "pffexport failed on $side/$name.pst: $(tail -n 5 "$out/pffexport.log")"
        $ansi || list "$dir/$side/$name.pst" "$out/extractor.txt"
    done
    o="$dir/samples/$name/original" u="$dir/samples/$name/updated"
    [ "$(digests "$o/readpst")" = "$(digests "$u/readpst")" ] ||
        complain "readpst: the earlier items of $name.pst are not all extracted as they were"
    diff -r -x 'Lotus Mails' "$o/pff.export" "$u/pff.export" >"$dir/samples/$name/pffexport.diff" ||
        complain "pffexport: the earlier items of $name.pst changed: $(head -n 5 "$dir/samples/$name/pffexport.diff")"
    got=$(grep -c '^From ' "$u/readpst"/*/"Lotus Mails/Inbox/mbox" 2>/dev/null)
    [ "$got" = 8 ] || complain "readpst: the converted Inbox of $name.pst holds $got messages, not 8"
    # The top folder has the name the Outlook that made the store gave it.
    [ -n "$(find "$u/pff.export" -mindepth 3 -maxdepth 3 -type d -path '*/Lotus Mails/Inbox')" ] ||
        complain "pffexport: no converted folder in $name.pst"
    $ansi && continue
    # The store's name is the converted folder's now, as Outlook names a
    # store after its renamed top folder.
    grep -v -e "/Lotus Mails" -e "^S | " "$u/extractor.txt" | diff <(grep -v "^S | " "$o/extractor.txt") - \
        >"$dir/samples/$name/extractor.diff" ||
        complain "pst-extractor: the earlier items of $name.pst changed: $(head -n 5 "$dir/samples/$name/extractor.diff")"
    grep -q "^F | .*/Lotus Mails/Inbox | [^|]* | 8 of 8\$" "$u/extractor.txt" ||
        complain "pst-extractor: the converted Inbox of $name.pst does not list 8 messages"
done
[ "$updated_count" = 9 ] || complain "$updated_count updated PSTs of Outlook's, not 9"
exit $fail
