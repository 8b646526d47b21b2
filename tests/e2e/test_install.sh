# `cmake --install` into a fresh prefix: the program, the XScreenSaver hack and its settings
# dialog, the xsecurelock saver, the mate-screensaver theme, the man page, the desktop entry, the
# software centres' metadata, the translations and the pictures land where the desktop looks for
# them, and the installed program runs and finds its pictures and translations without help.
. "$(dirname "$0")/lib.sh"

BUILD="$(cd "$(dirname "$TAVRIN")" && pwd)"
SOURCE="${TAVRIN_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}"
if [ ! -f "$BUILD/cmake_install.cmake" ] || ! command -v cmake >/dev/null; then
    skip "$BUILD is not a CMake build folder"
fi
PREFIX="$WORK/prefix"
run_status 0 "cmake --install into a new prefix" cmake --install "$BUILD" --prefix "$PREFIX"

# The front-ends' folders as this build was configured (relative ones are under the prefix).
cache_value() { sed -n "s/^$1:[A-Z]*=//p" "$BUILD/CMakeCache.txt"; }
under_prefix() { case "$1" in /*) echo "$1" ;; *) echo "$PREFIX/$1" ;; esac; }
HACKS=$(under_prefix "$(cache_value TAVRIN_XSCREENSAVER_HACK_DIR)")
SAVERS=$(under_prefix "$(cache_value TAVRIN_XSECURELOCK_HELPER_DIR)")

check "the program is in bin/" test -x "$PREFIX/bin/tavrin"
for link in "$HACKS/tavrin" "$SAVERS/saver_tavrin"; do
    check "${link#"$PREFIX/"} is a relative link to the installed program" bash -c \
        "[[ \$(readlink '$link') != /* ]] && [ \"\$(readlink -f '$link')\" = \"\$(readlink -f '$PREFIX/bin/tavrin')\" ]"
done
check "the settings dialog description is installed" \
    cmp -s "$SOURCE/resources/xscreensaver/tavrin.xml" "$PREFIX/share/xscreensaver/config/tavrin.xml"
check "the mate-screensaver theme runs the hack on the window it is given" \
    grep -qx 'Exec=tavrin --root' "$PREFIX/share/applications/screensavers/tavrin.desktop"
man_page=$(ls "$PREFIX/share/man/man6/tavrin.6"* 2>/dev/null | head -1)
check "the man page is installed" test -s "$man_page"
check "the man page names the hack where it is installed" \
    grep -q "^.I $HACKS/tavrin\$" <(zcat -f "$man_page")
check "the desktop entry is installed" grep -q '^Exec=tavrin --settings$' "$PREFIX/share/applications/tavrin.desktop"
if command -v desktop-file-validate >/dev/null; then
    check "both desktop entries are valid" desktop-file-validate --no-hints \
        "$PREFIX/share/applications/tavrin.desktop" "$PREFIX/share/applications/screensavers/tavrin.desktop"
fi

# The software centres' metadata: valid, its launchable the installed desktop entry, its newest
# release the changelog's, its screenshot the README's picture.
METAINFO="$PREFIX/share/metainfo/org.tavrin.screensaver.metainfo.xml"
check "the metadata is installed" cmp -s "$SOURCE/resources/org.tavrin.screensaver.metainfo.xml" "$METAINFO"
if command -v appstreamcli >/dev/null; then
    appstreamcli validate-tree --no-net --pedantic "$PREFIX" >"$WORK/appstream" 2>&1
    check "appstreamcli finds the installed metadata and its desktop entry valid" test $? -eq 0
    grep -E '^ *[EWIP]:' "$WORK/appstream" | sed 's/^/    appstream: /'
else
    echo "note: appstreamcli is not installed; the metadata's validation is left out"
fi
changelog=$SOURCE/resources/debian/changelog
changelog_release="$(sed -n '1s/^tavrin (\([^)]*\)).*/\1/p' "$changelog") $(date -u +%F -d \
    "$(sed -n 's/^ -- .*>  //p' "$changelog" | head -1)")"
metainfo_release=$(sed -n 's/.*<release version="\([^"]*\)" date="\([^"]*\)".*/\1 \2/p' "$METAINFO" | head -1)
check "the metadata's newest release is the changelog's ($changelog_release)" \
    test "$metainfo_release" = "$changelog_release"
screenshot=$(sed -n 's|.*<image[^>]*>https://[^<]*/\([^/<]*\)</image>.*|\1|p' "$METAINFO")
check "the screenshot is the README's picture ($screenshot)" \
    grep -q "(resources/readme/$screenshot " "$SOURCE/README.md"

# The translations, which the installed program finds beside its pictures.
for language in de es fr; do
    check "the $language translation is installed" test -s "$PREFIX/share/tavrin/translations/tavrin_$language.qm"
done
run_status 2 "the installed program in German" env -u TAVRIN_RESOURCE_DIR LANGUAGE= LC_ALL=de_DE.UTF-8 \
    "$PREFIX/bin/tavrin" --frobnicate
check "... says so in German" grep -q "unbekannte Option" "$WORK/err"

check "the settings dialog description is well-formed XML naming the hack" python3 -c '
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
sys.exit(0 if root.tag == "screensaver" and root.get("name") == "tavrin" else 1)' "$PREFIX/share/xscreensaver/config/tavrin.xml"

# Every option the settings dialog passes is one the program takes.
options=$(python3 - "$PREFIX/share/xscreensaver/config/tavrin.xml" <<'PY'
import re, sys
text = open(sys.argv[1], encoding="latin-1").read()
for arg in re.findall(r'arg(?:-set|-unset)?="([^"]*)"', text):
    print(arg.replace("%", "15"))
PY
)
while IFS= read -r option; do
    case "$option" in
        --root | --fps) mode=--help ;;  # these need a display; the help run proves they are read
        *) mode=--show-settings ;;
    esac
    # shellcheck disable=SC2086
    run_status 0 "the program takes the dialog's '$option'" "$PREFIX/bin/tavrin" $mode $option
done <<<"$options"

# The installed program finds its pictures next to itself: with the stars off, only the sprites
# can light any pixel. Checked when the built program draws its sprites from the source tree.
lit_pixels() {  # lit_pixels FOLDER PROGRAM: lit pixels of a small render's last frame
    rm -rf "$1"
    (cd / && "$2" --render "$1" --frames 2 --size 320x180 --no-stars --seed 3 >/dev/null 2>&1)
    set -- $(png_pixels "$1/display0-frame00002.png" 2>/dev/null)
    echo "${3:-0}"
}
if [ -f "$SOURCE/resources/tavrin.svg" ] &&
    [ "$(TAVRIN_RESOURCE_DIR="$SOURCE/resources" lit_pixels "$WORK/probe" "$TAVRIN")" -gt 500 ]; then
    check "the pictures are installed" test -f "$PREFIX/share/tavrin/tavrin.svg" -a -f "$PREFIX/share/tavrin/tavrin_wheel.svg"
    lit=$(unset TAVRIN_RESOURCE_DIR; lit_pixels "$WORK/frames" "$PREFIX/bin/tavrin")
    if [ "$lit" -gt 500 ]; then pass "the installed program draws its sprites ($lit lit pixels)"
    else fail "the installed program drew $lit lit pixels: it did not find its pictures"; fi
else
    echo "note: this build draws no sprites from the source tree; the pictures' check is left out"
fi
finish
