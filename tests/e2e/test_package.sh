# The Debian package, built by CPack from the build folder of the program under test: its name,
# control fields and computed dependencies, its files and their modes, lintian's verdict; then,
# unpacked into a temporary root, the program runs from there, draws with the package's own
# pictures and speaks the package's languages, and the software centres' metadata is valid.
. "$(dirname "$0")/lib.sh"

BUILD="$(cd "$(dirname "$TAVRIN")" && pwd)"
if [ ! -f "$BUILD/CPackConfig.cmake" ]; then
    skip "$BUILD has no CPack configuration"
fi
for tool in cpack dpkg-deb dpkg-shlibdeps; do
    if ! command -v "$tool" >/dev/null; then
        skip "needs $tool (cmake, dpkg, dpkg-dev)"
    fi
done

VERSION=$("$TAVRIN" --version | awk '{print $2}')
ARCH=$(dpkg --print-architecture)
run_status 0 "cpack builds the package" cpack -G DEB --config "$BUILD/CPackConfig.cmake" -B "$WORK/pkg"
DEB="$WORK/pkg/tavrin_${VERSION}_${ARCH}.deb"
if [ ! -f "$DEB" ]; then
    fail "no tavrin_${VERSION}_${ARCH}.deb; cpack made: $(cd "$WORK/pkg" && echo *.deb)"
    finish
fi
pass "the package is $(basename "$DEB")"

field() { dpkg-deb -f "$DEB" "$1"; }
check "its control fields name it, its version, section and priority" \
    test "$(field Package) $(field Version) $(field Section) $(field Priority)" = "tavrin $VERSION x11 optional"
maintainer=$(field Maintainer)
check "it has a maintainer with an address ($maintainer)" grep -qE '^[^<]+ <[^@>]+@[^>]+>$' <<<"$maintainer"
check "it suggests the X11 front-ends" grep -q "xscreensaver | xsecurelock | mate-screensaver" <<<"$(field Suggests)"
depends=$(field Depends | tr ',' '\n' | awk '{print $1}')
for library in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libxcb1; do
    check "its computed dependencies hold $library" grep -qxF "$library" <<<"$depends"
done

# Every file, link and folder with its mode and owner: nothing more, nothing less.
dpkg-deb -c "$DEB" | awk '{ name = $6; if ($7 == "->") name = name " -> " $8; print $1, $2, name }' \
    >"$WORK/contents"
cat >"$WORK/expected" <<'LIST'
-rw-r--r-- root/root ./usr/share/applications/screensavers/tavrin.desktop
-rw-r--r-- root/root ./usr/share/applications/tavrin.desktop
-rw-r--r-- root/root ./usr/share/doc/tavrin/changelog.gz
-rw-r--r-- root/root ./usr/share/doc/tavrin/copyright
-rw-r--r-- root/root ./usr/share/man/man6/tavrin.6.gz
-rw-r--r-- root/root ./usr/share/metainfo/org.tavrin.screensaver.metainfo.xml
-rw-r--r-- root/root ./usr/share/tavrin/tavrin.svg
-rw-r--r-- root/root ./usr/share/tavrin/tavrin_wheel.svg
-rw-r--r-- root/root ./usr/share/tavrin/translations/tavrin_de.qm
-rw-r--r-- root/root ./usr/share/tavrin/translations/tavrin_es.qm
-rw-r--r-- root/root ./usr/share/tavrin/translations/tavrin_fr.qm
-rw-r--r-- root/root ./usr/share/xscreensaver/config/tavrin.xml
-rwxr-xr-x root/root ./usr/bin/tavrin
lrwxrwxrwx root/root ./usr/libexec/xscreensaver/tavrin -> ../../bin/tavrin
lrwxrwxrwx root/root ./usr/libexec/xsecurelock/saver_tavrin -> ../../bin/tavrin
LIST
grep -v '^d' "$WORK/contents" | LC_ALL=C sort >"$WORK/files"
if diff <(LC_ALL=C sort "$WORK/expected") "$WORK/files" >"$WORK/diff"; then
    pass "it holds exactly the expected files, links and modes"
else
    fail "its files differ from the expected list (< expected, > in the package):"
    sed 's/^/    /' "$WORK/diff"
fi
check "every folder is root's, mode 755" test -z "$(grep '^d' "$WORK/contents" | grep -v '^drwxr-xr-x root/root ')"

ROOT="$WORK/root"
dpkg-deb -x "$DEB" "$ROOT"
check "the changelog's latest entry is this version" \
    test "$(zcat "$ROOT/usr/share/doc/tavrin/changelog.gz" | head -1 | sed -n 's/^tavrin (\(.*\)).*/\1/p')" = "$VERSION"
check "the man page names the installed hack and saver" bash -c \
    "zcat '$ROOT/usr/share/man/man6/tavrin.6.gz' | grep -q '^.I /usr/libexec/xscreensaver/tavrin$' &&
     zcat '$ROOT/usr/share/man/man6/tavrin.6.gz' | grep -q '^.I /usr/libexec/xsecurelock/saver_tavrin$'"

# The unpacked program runs and draws its sprites from the package's pictures: blanking those
# pictures leaves the frame black (no stars, no sparks), so it read no other copy.
unset TAVRIN_RESOURCE_DIR
check "the unpacked program runs" test "$("$ROOT/usr/bin/tavrin" --version | awk '{print $2}')" = "$VERSION"
lit_pixels() {  # lit pixels of a small render's last frame
    rm -rf "$WORK/frames"
    (cd / && "$ROOT/usr/bin/tavrin" --render "$WORK/frames" --frames 2 --size 320x180 --no-stars --no-sparks \
        --seed 3 >/dev/null 2>&1)
    set -- $(png_pixels "$WORK/frames/display0-frame00002.png" 2>/dev/null)
    echo "${3:-0}"
}
lit=$(lit_pixels)
check "the unpacked program draws its sprites ($lit lit pixels)" test "$lit" -gt 500
run_status 2 "the unpacked program in French" env LANGUAGE= LC_ALL=fr_FR.UTF-8 "$ROOT/usr/bin/tavrin" --frobnicate
check "... speaks French, from the package's translation" grep -q "option inconnue" "$WORK/err"
if command -v appstreamcli >/dev/null; then
    check "the package's metadata and desktop entry are valid together" \
        bash -c "appstreamcli validate-tree --no-net '$ROOT' >/dev/null"
fi
for picture in "$ROOT/usr/share/tavrin/"*.svg; do
    echo '<svg xmlns="http://www.w3.org/2000/svg" width="10" height="10"/>' >"$picture"
done
lit=$(lit_pixels)
check "it draws them from the package's pictures ($lit lit pixels once they are blank)" test "$lit" -eq 0

if command -v lintian >/dev/null; then
    # Informational tags stay (see docs/development.md); errors and warnings fail.
    lintian --fail-on error,warning "$DEB" >"$WORK/lintian" 2>&1
    check "lintian finds no error or warning" test $? -eq 0
    grep -v "root privileges" "$WORK/lintian" | sed 's/^/    lintian: /'
else
    echo "note: lintian is not installed; its check is left out"
fi
finish
