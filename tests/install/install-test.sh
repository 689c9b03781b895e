#!/bin/bash
# install-test.sh INSTALLER: the installer, silently, in a Wine prefix of its
# own (as on a machine that has never seen the product), twice:
#  - without Outlook: the program, the help, the skin, "FilePath", the Start
#    menu, the entry in the installed programs and our automation server;
#    then the uninstaller, after which nothing of ours is left but the
#    user's activity log;
#  - with Outlook (and without Redemption): none of the automation objects
#    registered, and Outlook's own registration left alone by both.
set -u
installer=$1
product="Tidewell for NSF to PST"
export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/tw-install-XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
WINE=/usr/lib/wine/wine64
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
trap '"$WINESERVER" -k 2>/dev/null; rm -rf "$WINEPREFIX"' EXIT
fail=0
complain() { echo "$*"; fail=1; }
wine() { "$WINE" "$@"; }
# The uninstaller runs on from a copy of itself, whose last step takes its
# entry out of the installed programs.
uninstall() {
    wine "$app/Uninstall.exe" /S || complain "the uninstaller ended with $?"
    local i
    for i in $(seq 1 300); do
        has_key "$uninstall_key" || return 0
        sleep 0.1
    done
    complain "the uninstaller did not finish"
}
# The machine a Windows program is built for (its PE header's field).
machine_of() {
    local at
    at=$(od -An -tu4 -j60 -N4 "$1" | tr -d ' ')
    od -An -tx2 -j$((at + 4)) -N2 "$1" | tr -d ' '
}
has_key() { wine reg query "$1" >/dev/null 2>&1; }
value_of() { wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
default_of() { wine reg query "$1" /ve 2>/dev/null | tr -d '\r' | sed -n 's/^ *(Default) *REG_[A-Z_]* *//p'; }

app="$WINEPREFIX/drive_c/Program Files/$product"
skin="$WINEPREFIX/drive_c/windows/$product"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/$product"
uninstall_key="HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$product"
progids=(Outlook.Application Redemption.SafeMailItem Redemption.RDOSession)

"$WINE" wineboot --init >/dev/null 2>&1
"$WINESERVER" -w
# One server for every command to come.
"$WINESERVER" -p

# --- without Outlook ------------------------------------------------------------
wine "$installer" /S || complain "the installer ended with $?"
for f in TidewellNsfToPst.exe "$product.chm" Uninstall.exe twoutlook.dll; do
    [ -f "$app/$f" ] || complain "not installed: $f"
done
[ "$(machine_of "$app/TidewellNsfToPst.exe")" = 8664 ] || complain "not the 64-bit program on 64-bit Windows"
[ "$(ls "$skin"/*.bmp 2>/dev/null | wc -l)" = 10 ] || complain "the skin bitmaps are not in $skin"
[ -f "$menu/$product.lnk" ] || complain "no Start menu entry"
[ "$(value_of 'HKCR\TWNSF_PST' FilePath)" = "C:\\Program Files\\$product" ] ||
    complain "FilePath: $(value_of 'HKCR\TWNSF_PST' FilePath)"
[ "$(value_of "$uninstall_key" DisplayName)" = "$product" ] || complain "not in the installed programs"
[ -n "$(value_of "$uninstall_key" QuietUninstallString)" ] || complain "no quiet uninstall string"
for id in "${progids[@]}"; do
    clsid=$(default_of "HKCR\\$id\\CLSID")
    [ -n "$clsid" ] || { complain "$id is not registered"; continue; }
    server=$(default_of "HKCR\\CLSID\\$clsid\\InprocServer32")
    [ "$server" = "C:\\Program Files\\$product\\twoutlook.dll" ] || complain "$id is served by $server"
done

# The user's activity log stays; everything else of ours goes.
printf 'a line of the user\r\n' >"$app/Activity Log.txt"
mkdir -p "$app/Attachment"
uninstall
left=$(cd "$app" 2>/dev/null && ls -A)
[ "$left" = "Activity Log.txt" ] || complain "left in the installation directory: $left"
[ ! -e "$skin" ] || complain "the skin directory is left"
[ ! -e "$menu" ] || complain "the Start menu entry is left"
for key in 'HKCR\TWNSF_PST' "$uninstall_key"; do
    has_key "$key" && complain "left in the registry: $key"
done
for id in "${progids[@]}"; do
    has_key "HKCR\\$id" && complain "left in the registry: $id"
done

# --- with Outlook, without Redemption ------------------------------------------
outlook="{0006F03A-0000-0000-C000-000000000046}"
wine reg add 'HKCR\Outlook.Application\CLSID' /ve /d "$outlook" /f >/dev/null
wine "$installer" /S || complain "the installer ended with $? where Outlook is"
[ -f "$app/TidewellNsfToPst.exe" ] || complain "the program was not installed where Outlook is"
[ ! -e "$app/twoutlook.dll" ] || complain "our automation server was installed beside Outlook"
has_key 'HKCR\Redemption.SafeMailItem' && complain "Redemption.SafeMailItem registered beside Outlook"
uninstall
[ "$(default_of 'HKCR\Outlook.Application\CLSID')" = "$outlook" ] || complain "Outlook's registration was changed"
has_key 'HKCR\TWNSF_PST' && complain "FilePath is left where Outlook is"
exit $fail
