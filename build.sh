#!/usr/bin/env bash
# Tidewell for NSF to PST on Debian: build for Windows with MinGW-w64, install
# into a private Wine prefix under build/, then run the wizard or the tests.
#
#   ./build.sh demo [--mode mails|contacts] [--source PATH] [--pst PATH]
#                   [--folder NAME] [--screenshots DIR]
#   ./build.sh test
#   ./build.sh dist     (the installer in dist/, with its SHA-256)
#   ./build.sh bench [--large]   (benchmarks: figures, not part of the tests;
#                   --large adds a 20 GB store, about 50 GB of disk)
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
BUILD=${TW_BUILD_DIR:-$ROOT/build}
PREFIX=$BUILD/wineprefix
WINE=/usr/lib/wine/wine64
# Debian's wine64 package puts the server beside it, not on the PATH.
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
JOBS=$(nproc)
PRODUCT="Tidewell for NSF to PST"
APP_DIR_WIN="C:\\Program Files\\$PRODUCT"
APP_DIR_HOST="$PREFIX/drive_c/Program Files/$PRODUCT"
SKIN_DIR_HOST="$PREFIX/drive_c/windows/$PRODUCT"
# The installer: for Windows of both widths (what dist/ gets), and the same
# script as a 64-bit program, which the tests run (this Wine runs no 32-bit
# code).
INSTALLER_NAME="$PRODUCT Setup.exe"
INSTALLER_DIST="$BUILD/installer/x86/$INSTALLER_NAME"
INSTALLER_TEST="$BUILD/installer/amd64/$INSTALLER_NAME"
SECURE_TEMP_WIN="C:\\windows\\temp\\Outlook Secure Temp\\"
NOTES_DATA="$BUILD/notesdata"
PACKAGES=(cmake ninja-build g++ pkg-config g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
          wine64 fonts-wine xvfb xauth libfreetype-dev fonts-dejavu-core zlib1g-dev googletest
          pst-utils pff-tools clang libclang-rt-dev locales fonts-droid-fallback nsis fp-utils)
# pst-extractor (npm), the third independent PST reader of the tests.
PST_READER_DIR=$BUILD/pstreader

say() { printf '%s\n' "$*"; }
die() { printf 'build.sh: %s\n' "$*" >&2; exit 1; }

usage() {
    sed -n '2,11p' "${BASH_SOURCE[0]}" | sed 's/^# \{0,1\}//'
    exit 2
}

# --- packages --------------------------------------------------------------
ensure_packages() {
    local missing=() p
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    say "Installing Debian packages: ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# The locale Wine runs in must exist on the host: without it Wine cannot
# name a file with any letter outside ASCII ("Grüße.txt" cannot be made).
WINE_LOCALE=en_US.UTF-8
ensure_wine_locale() {
    locale -a 2>/dev/null | grep -qix 'en_US.utf-\?8' && return 0
    say "Generating the $WINE_LOCALE locale for Wine"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" sed -i 's/^# *\(en_US.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^en_US.UTF-8 UTF-8' /etc/locale.gen || echo 'en_US.UTF-8 UTF-8' | "${sudo[@]}" tee -a /etc/locale.gen >/dev/null
    "${sudo[@]}" locale-gen >/dev/null
}

# pst-extractor from the npm registry, at the version its lock file names,
# with Debian's Node.js where the machine has none.
ensure_pst_reader() {
    if ! command -v node >/dev/null 2>&1 || ! command -v npm >/dev/null 2>&1; then
        local sudo=()
        [ "$(id -u)" -eq 0 ] || sudo=(sudo)
        "${sudo[@]}" apt-get update -qq
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends nodejs npm >/dev/null
    fi
    local lock="$ROOT/tests/readers/package-lock.json"
    [ -d "$PST_READER_DIR/node_modules/pst-extractor" ] && cmp -s "$lock" "$PST_READER_DIR/package-lock.json" && return 0
    say "Installing pst-extractor into $PST_READER_DIR"
    mkdir -p "$PST_READER_DIR"
    cp "$ROOT/tests/readers/package.json" "$lock" "$PST_READER_DIR/"
    (cd "$PST_READER_DIR" && npm ci --no-audit --no-fund --loglevel=error >/dev/null)
}

# --- build -----------------------------------------------------------------
build_native() {
    cmake -S "$ROOT" -B "$BUILD/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTW_PST_READER_DIR="$PST_READER_DIR" >/dev/null
    cmake --build "$BUILD/native" -j "$JOBS"
    mkdir -p "$BUILD/skin"
    "$BUILD/native/tools/skingen/skingen" "$BUILD/skin"
    # The sample Notes data directory: mail/annaberg.nsf and names.nsf.
    "$BUILD/native/tools/notesgen/notesgen" sample "$NOTES_DATA"
}

# The fuzzers of the readers of outside data (clang's libFuzzer).
build_fuzzers() {
    CC=clang CXX=clang++ cmake -S "$ROOT" -B "$BUILD/fuzz" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTW_FUZZ=ON \
        -DTW_BUILD_TESTS=OFF >/dev/null
    cmake --build "$BUILD/fuzz" -j "$JOBS"
}

# run_fuzzer NAME SEED-DIR: a bounded run (TW_FUZZ_SECONDS, 45 by default)
# from the seeds and the corpus earlier runs left; a finding fails it.
run_fuzzer() {
    say "$1:"
    local corpus="$BUILD/fuzz/corpus-$1" artifacts="$BUILD/fuzz/findings/"
    mkdir -p "$corpus" "$artifacts"
    "$BUILD/fuzz/tests/fuzz/$1" -max_total_time="${TW_FUZZ_SECONDS:-45}" -max_len=300000 -rss_limit_mb=1536 \
        -timeout=20 -artifact_prefix="$artifacts" -print_final_stats=1 "$corpus" "$2" >"$BUILD/fuzz/$1.log" 2>&1
    local status=$?
    grep -E '^stat::(number_of_executed_units|peak_rss_mb)|^Done' "$BUILD/fuzz/$1.log"
    [ $status -eq 0 ] || { tail -n 60 "$BUILD/fuzz/$1.log"; say "$1 found a fault; see $artifacts"; }
    return $status
}

# build_windows ARCH DIR TESTS(ON|OFF)
build_windows() {
    cmake -S "$ROOT" -B "$2" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64.cmake" -DTW_WIN_ARCH="$1" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTW_SKIN_DIR="$BUILD/skin" -DTW_WINEPREFIX="$PREFIX" \
        -DTW_INSTALLER="$INSTALLER_TEST" -DTW_BUILD_TESTS="$3" >/dev/null
    cmake --build "$2" -j "$JOBS"
}

# --- the installer ---------------------------------------------------------
# The programs without their debugging information, as they are shipped.
stage_windows_build() { # ARCH-PREFIX BUILD-DIR STAGE-DIR
    mkdir -p "$3/src" "$3/standins/outlook"
    "$1-strip" -o "$3/src/TidewellNsfToPst.exe" "$2/src/TidewellNsfToPst.exe"
    "$1-strip" -o "$3/standins/outlook/twoutlook.dll" "$2/standins/outlook/twoutlook.dll"
}

build_installer() {
    local stage="$BUILD/installer/stage" version
    version=$(sed -n 's/^project([^)]*VERSION \([0-9.]*\).*/\1/p' "$ROOT/CMakeLists.txt")
    stage_windows_build x86_64-w64-mingw32 "$BUILD/win64" "$stage/win64"
    stage_windows_build i686-w64-mingw32 "$BUILD/win32" "$stage/win32"
    local args=(-V2 -DVERSION="${version:-1.0.0}" -DWIN64_DIR="$stage/win64" -DWIN32_DIR="$stage/win32"
                -DSKIN_DIR="$BUILD/skin" -DHELP_FILE="$BUILD/native/help/$PRODUCT.chm")
    mkdir -p "$(dirname "$INSTALLER_DIST")" "$(dirname "$INSTALLER_TEST")"
    makensis "${args[@]}" -DOUTFILE="$INSTALLER_DIST" "$ROOT/installer/TidewellSetup.nsi" >/dev/null
    makensis "${args[@]}" -DAMD64 -DOUTFILE="$INSTALLER_TEST" "$ROOT/installer/TidewellSetup.nsi" >/dev/null
}

# --- the Wine prefix, set up as the installer would ------------------------
wine_env() {
    export WINEPREFIX="$PREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
}

# Wine in the locale the wizard is tested in (set for Wine alone: the host
# need not have that locale generated).
wine() { env LC_ALL=$WINE_LOCALE "$WINE" "$@"; }

# A host path as the prefix sees it (drive Z: is the host's root).
to_win() {
    local p
    p=$(realpath -m "$1")
    printf 'Z:%s' "${p//\//\\}"
}

reg_escape() { printf '%s' "${1//\\/\\\\}"; }

install_into_prefix() {
    wine_env
    if [ ! -f "$PREFIX/system.reg" ]; then
        say "Creating the Wine prefix $PREFIX"
        mkdir -p "$PREFIX"
        wine wineboot --init >/dev/null 2>&1
        "$WINESERVER" -w
    fi
    # What a user installs: an earlier installation goes first, as its
    # uninstaller takes it away, then the installer runs silently.
    if [ -f "$APP_DIR_HOST/Uninstall.exe" ]; then
        wine "$APP_DIR_WIN\\Uninstall.exe" /S || true
        "$WINESERVER" -w
    fi
    wine "$(to_win "$INSTALLER_TEST")" /S || die "the installer failed"
    "$WINESERVER" -w
    [ -f "$APP_DIR_HOST/TidewellNsfToPst.exe" ] || die "the installer did not install the program"
    # Wine's own fonts (Tahoma for the dialogs, Marlett for the caption
    # buttons), where every Windows program finds its fonts.
    cp -n /usr/share/wine/fonts/*.ttf "$PREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    # Wine's Tahoma lacks Greek, Hebrew, Arabic and the Asian scripts that
    # Windows shows through its own fonts: linked to DejaVu Sans and Droid
    # Sans Fallback, as Windows links its fonts, so that texts in every
    # script show on the pages (and in the demo's screenshots).
    cp -n /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf \
        /usr/share/fonts/truetype/droid/DroidSansFallbackFull.ttf "$PREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
    local reg="$BUILD/install.reg"
    cat >"$reg" <<REG
REGEDIT4

[HKEY_CURRENT_USER\\Software\\Lotus\\Notes\\Installer]
"DirectoryValue"="$(reg_escape "$(to_win "$NOTES_DATA")\\")"

[HKEY_CURRENT_USER\\Software\\Microsoft\\Office\\11.0\\Outlook\\Security]
"OutlookSecureTempFolder"="$(reg_escape "$SECURE_TEMP_WIN")"

[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]
"Managed"="N"
REG
    wine regedit /S "$(to_win "$reg")"
    local face
    for face in Tahoma "MS Shell Dlg" "MS Shell Dlg 2"; do
        wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v "$face" \
            /t REG_MULTI_SZ /d 'DejaVuSans.ttf,DejaVu Sans\0DroidSansFallbackFull.ttf,Droid Sans Fallback' /f >/dev/null
    done
    # The desktop that regedit started has no display; the processes to come
    # must start their own, on the display they are given.
    "$WINESERVER" -k >/dev/null 2>&1 || true
    "$WINESERVER" -w
}

# --- an X display and a warm Wine for the windows --------------------------
XVFB_PID=""
DESKHOLD_PID=""

start_display() {
    # Xvfb takes a free display itself and says which.
    local fifo
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
    XVFB_PID=$!
    local n=""
    read -r -t 30 n <"$fifo" || true
    rm -f "$fifo"
    [ -n "$n" ] && kill -0 "$XVFB_PID" 2>/dev/null || die "Xvfb did not start"
    export DISPLAY=":$n"
}

start_warm_wine() {
    wine_env
    # One persistent wineserver and one desktop for every process to come;
    # their output must not hold the callers' pipes open.
    "$WINESERVER" -p >/dev/null 2>&1 </dev/null || true
    wine "$BUILD/win64/tools/deskhold/deskhold.exe" >/dev/null 2>&1 </dev/null &
    DESKHOLD_PID=$!
    # Wait until the server and the desktop answer before the first test.
    wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}

# A small volume (a 200 MB tmpfs) mapped as drive L: for the low-disk-space
# tests; mounting needs root. Without it those tests say they are skipped.
LOW_SPACE_DIR=""
setup_low_space_drive() {
    local dir="$BUILD/lowspace" sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo -n)
    mkdir -p "$dir"
    if ! mountpoint -q "$dir" && ! "${sudo[@]}" mount -t tmpfs -o size=200m,mode=1777 tmpfs "$dir" 2>/dev/null; then
        say "No small volume could be mounted: the low-disk-space tests are skipped"
        return 0
    fi
    LOW_SPACE_DIR=$dir
    ln -sfn "$dir" "$PREFIX/dosdevices/l:"
    export TW_LOW_SPACE_DRIVE=L:
}

stop_all() {
    if [ -n "$LOW_SPACE_DIR" ]; then
        rm -f "$PREFIX/dosdevices/l:"
        umount "$LOW_SPACE_DIR" 2>/dev/null || sudo -n umount "$LOW_SPACE_DIR" 2>/dev/null || true
        LOW_SPACE_DIR=""
    fi
    [ -n "$DESKHOLD_PID" ] && kill "$DESKHOLD_PID" 2>/dev/null || true
    WINEPREFIX="$PREFIX" "$WINESERVER" -k >/dev/null 2>&1 || true
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    DESKHOLD_PID=""
    XVFB_PID=""
}

# --- commands --------------------------------------------------------------
cmd_demo() {
    local mode=mails source="" pst="" folder="" shots=""
    while [ $# -gt 0 ]; do
        case "$1" in
        --mode) mode=${2:?}; shift 2 ;;
        --source) source=${2:?}; shift 2 ;;
        --pst) pst=${2:?}; shift 2 ;;
        --folder) folder=${2:?}; shift 2 ;;
        --screenshots) shots=${2:?}; shift 2 ;;
        *) usage ;;
        esac
    done
    case "$mode" in mails | contacts) ;; *) die "--mode takes mails or contacts" ;; esac
    ensure_packages
    ensure_wine_locale
    build_native
    build_windows x86_64 "$BUILD/win64" OFF
    build_windows i686 "$BUILD/win32" OFF
    build_installer
    install_into_prefix
    trap stop_all EXIT

    local log="$APP_DIR_HOST/Activity Log.txt"
    if [ -n "${DISPLAY:-}" ] && [ -z "$shots$source$pst$folder" ] && [ "$mode" = mails ]; then
        say "Starting the wizard on $DISPLAY"
        wine_env
        wine "$APP_DIR_WIN\\TidewellNsfToPst.exe" || true
        say "LOG: $log"
        return 0
    fi

    if [ -z "$source" ] && [ "$mode" = contacts ]; then
        source="$NOTES_DATA/names.nsf"
    elif [ -z "$source" ]; then
        source=$(find "$NOTES_DATA/mail" -maxdepth 1 -iname '*.nsf' 2>/dev/null | sort | head -n 1 || true)
    fi
    if [ -z "$pst" ]; then
        mkdir -p "$BUILD/demo"
        pst="$BUILD/demo/Tidewell Demo.pst"
        rm -f "$pst"
    fi
    local args=(--program "$APP_DIR_WIN\\TidewellNsfToPst.exe" --mode "$mode" --pst "$(to_win "$pst")")
    [ -n "$source" ] && args+=(--source "$(to_win "$source")")
    [ -n "$folder" ] && args+=(--folder "$folder")
    if [ -n "$shots" ]; then
        mkdir -p "$shots"
        args+=(--screenshots "$(to_win "$shots")")
    fi
    [ -n "${DISPLAY:-}" ] || start_display
    start_warm_wine
    say "Walking through the wizard's pages (headless on $DISPLAY):"
    local status=0
    wine "$BUILD/win64/tools/walkthrough/walkthrough.exe" "${args[@]}" || status=$?
    [ -n "$shots" ] && say "Screenshots: $(realpath "$shots")"
    say "LOG: $log"
    if [ -f "$pst" ]; then
        "$BUILD/native/tools/pstdump/pstdump" "$pst" || true
        say "PST: $pst"
    fi
    return $status
}

cmd_test() {
    ensure_packages
    ensure_wine_locale
    ensure_pst_reader
    build_native
    build_windows x86_64 "$BUILD/win64" ON
    say "Building the 32-bit Windows program (not run)"
    build_windows i686 "$BUILD/win32" OFF
    build_installer
    install_into_prefix
    trap stop_all EXIT
    setup_low_space_drive
    start_display
    start_warm_wine
    local status=0
    say "Native tests (AddressSanitizer, UBSan):"
    (cd "$BUILD/native" && ctest --output-on-failure -j "$JOBS") || status=1
    say "Windows tests under Wine, window tests on $DISPLAY:"
    # Now and then a Wine process dies as it starts (a test "fails" in 20 ms
    # with no output at all): such a test gets one more run. A test that
    # fails for a reason fails both times.
    (cd "$BUILD/win64" && ctest --output-on-failure -j "$JOBS" --repeat until-pass:2) || status=1
    say "Fuzzing the PST, database and message-header readers:"
    build_fuzzers
    # All three at once on the cores there are.
    run_fuzzer pst_reader_fuzzer "$ROOT/../shared/samples/pst" >"$BUILD/fuzz/pst.out" &
    local pst_fuzz=$!
    run_fuzzer notes_database_fuzzer "$NOTES_DATA" >"$BUILD/fuzz/notes.out" &
    local notes_fuzz=$!
    run_fuzzer header_import_fuzzer "$ROOT/tests/data/rfc822" >"$BUILD/fuzz/header.out" &
    local header_fuzz=$!
    wait $pst_fuzz || status=1
    wait $notes_fuzz || status=1
    wait $header_fuzz || status=1
    cat "$BUILD/fuzz/pst.out" "$BUILD/fuzz/notes.out" "$BUILD/fuzz/header.out"
    return $status
}

cmd_bench() {
    local large=0
    [ "${1:-}" = --large ] && large=1
    ensure_packages
    ensure_wine_locale
    # Optimised and without the sanitizers, which would distort the figures.
    cmake -S "$ROOT" -B "$BUILD/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTW_SANITIZE=OFF -DTW_BUILD_TESTS=OFF \
        >/dev/null
    cmake --build "$BUILD/bench" -j "$JOBS"
    local data="$BUILD/bench-data"
    mkdir -p "$data"
    # 20,000 documents of a 4 KB body and a 36 KB attachment: about 1 GB.
    if [ ! -f "$data/mail-1g.nsf" ]; then
        say "Generating $data/mail-1g.nsf"
        "$BUILD/bench/tools/notesgen/notesgen" mail "$data/mail-1g.nsf" 20000 4096 36864 1 10
    fi
    "$BUILD/bench/tools/bench/notes_bench" "$data/mail-1g.nsf"
    "$BUILD/bench/tools/bench/pst_bench" "$data" 1000 10000
    # The Outlook stand-in, under Wine, through its registration.
    build_native
    build_windows x86_64 "$BUILD/win64" ON
    build_windows i686 "$BUILD/win32" OFF
    build_installer
    install_into_prefix
    wine "$BUILD/win64/tools/bench/outlook_bench.exe" "$(to_win "$data")"
    # The whole conversion through the wizard's Step 6 code and the Outlook
    # stand-in: 4 KB bodies, a 100 KB attachment on every tenth message, ten
    # folders; and an address book.
    local dbs=() n
    for n in 1000 10000 50000; do
        [ -f "$data/mail-$n.nsf" ] || "$BUILD/bench/tools/notesgen/notesgen" mail "$data/mail-$n.nsf" "$n" 4096 102400 10 10
        dbs+=("$(to_win "$data/mail-$n.nsf")")
    done
    # Mostly attachment bytes, as real mailboxes are: a 1 MB attachment on
    # every one of 1,000 messages.
    [ -f "$data/mail-att-1000.nsf" ] ||
        "$BUILD/bench/tools/notesgen/notesgen" mail "$data/mail-att-1000.nsf" 1000 4096 1048576 1 10
    dbs+=("$(to_win "$data/mail-att-1000.nsf")")
    [ -f "$data/names-10000.nsf" ] || "$BUILD/bench/tools/notesgen/notesgen" names "$data/names-10000.nsf" 10000
    say "End-to-end conversion (Step 6 headless, Outlook stand-in):"
    wine "$BUILD/win64/tools/bench/conversion_bench.exe" table "$(to_win "$data")" "${dbs[@]}" \
        --names "$(to_win "$data/names-10000.nsf")"
    if [ "$large" = 1 ]; then
        # 20,000 messages of a 1 MB attachment: a 20 GB store.
        [ -f "$data/mail-20g.nsf" ] ||
            "$BUILD/bench/tools/notesgen/notesgen" mail "$data/mail-20g.nsf" 20000 4096 1048576 1 10
        say "A 20 GB store (early class):"
        wine "$BUILD/win64/tools/bench/conversion_bench.exe" large "$(to_win "$data")" "$(to_win "$data/mail-20g.nsf")"
    fi
    "$WINESERVER" -k >/dev/null 2>&1 || true
}

# The installer for Windows of both widths, and its SHA-256, in dist/.
cmd_dist() {
    ensure_packages
    build_native
    build_windows x86_64 "$BUILD/win64" OFF
    build_windows i686 "$BUILD/win32" OFF
    build_installer
    mkdir -p "$ROOT/dist"
    cp "$INSTALLER_DIST" "$ROOT/dist/"
    (cd "$ROOT/dist" && sha256sum "$INSTALLER_NAME" >"$INSTALLER_NAME.sha256")
    say "Installer: $ROOT/dist/$INSTALLER_NAME"
    cat "$ROOT/dist/$INSTALLER_NAME.sha256"
}

case "${1:-}" in
bench) shift; [ $# -eq 0 ] || [ "$*" = --large ] || usage; cmd_bench "$@" ;;
dist) shift; [ $# -eq 0 ] || usage; cmd_dist ;;
demo) shift; cmd_demo "$@" ;;
test) shift; [ $# -eq 0 ] || usage; cmd_test ;;
*) usage ;;
esac
