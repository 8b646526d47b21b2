# The translations: every .ts file is complete and up to date with the texts marked in the
# sources (lupdate into a copy changes nothing), keeps the values (%1...) of every text, and the
# program speaks each language on the terminal: errors translated, the help within 80 columns.
. "$(dirname "$0")/lib.sh"

BUILD="$(cd "$(dirname "$TAVRIN")" && pwd)"
SOURCE="${TAVRIN_SOURCE_DIR:-$(cd "$(dirname "$0")/../.." && pwd)}"
[ -f "$BUILD/translations/lupdate-arguments" ] || skip "$BUILD is not a CMake build folder of the program"
mapfile -t LUPDATE <"$BUILD/translations/lupdate-arguments"
[ -x "${LUPDATE[0]}" ] || skip "needs lupdate (qt6-l10n-tools)"

languages=()
for ts in "$SOURCE"/translations/tavrin_*.ts; do
    language=$(basename "$ts" .ts)
    language=${language#tavrin_}
    languages+=("$language")
    cp "$ts" "$WORK/$(basename "$ts")"
done
check "there are translations (${languages[*]})" test "${#languages[@]}" -ge 3

"${LUPDATE[@]}" -ts "$WORK"/tavrin_*.ts >"$WORK/lupdate.log" 2>&1
for language in "${languages[@]}"; do
    ts="$SOURCE/translations/tavrin_$language.ts"
    if diff -u "$ts" "$WORK/tavrin_$language.ts" >"$WORK/diff"; then
        pass "$language: the translation has every text of the sources, and no other"
    else
        fail "$language: the translation is not up to date with the sources (build the target update_translations):"
        grep '^[-+] *<source>' "$WORK/diff" | head -10 | sed 's/^/    /'
    fi
    check "$language: every text is translated" bash -c "! grep -q 'type=\"unfinished\"' '$ts'"
    check "$language: every translation keeps the values of its text" python3 - "$ts" <<'PY'
import re, sys, xml.etree.ElementTree as ET
bad = 0
for message in ET.parse(sys.argv[1]).getroot().iter("message"):
    source, translation = message.findtext("source"), message.findtext("translation") or ""
    if sorted(re.findall(r"%\d", source)) != sorted(re.findall(r"%\d", translation)):
        print(f"    {source!r} -> {translation!r}")
        bad += 1
sys.exit(1 if bad else 0)
PY

    # The user's language comes from the locale; LANGUAGE would win over it.
    in_language() { env LANGUAGE= LC_ALL="${language}_XX.UTF-8" TAVRIN_RESOURCE_DIR= "$@"; }
    run_status 2 "$language: an unknown option" in_language "$TAVRIN" --frobnicate%1
    check "$language: the error is translated and names the option as given" bash -c \
        "grep -q \"'--frobnicate%1'\" '$WORK/err' && ! grep -q 'unknown option' '$WORK/err'"
    run_status 0 "$language: --help" in_language "$TAVRIN" --help
    check "$language: the help is translated" bash -c "! grep -q '^Usage:' '$WORK/out'"
    check "$language: every line of the help fits 80 columns" python3 -c '
import sys
long = [line for line in open(sys.argv[1], encoding="utf-8").read().splitlines() if len(line) > 80]
print("".join(f"    {line}\n" for line in long), end="")
sys.exit(1 if long else 0)' "$WORK/out"
done

# A language without a translation, and English put first, leave the texts English.
for locale in "it_IT.UTF-8" "en_GB.UTF-8"; do
    run_status 2 "$locale: an unknown option" env LANGUAGE="${locale%%.*}:de" LC_ALL="$locale" "$TAVRIN" --frobnicate
    if [ "$locale" = it_IT.UTF-8 ]; then
        check "Italian, then German: German" bash -c "! grep -q 'unknown option' '$WORK/err'"
    else
        check "English, then German: English" grep -q "unknown option '--frobnicate'" "$WORK/err"
    fi
done
finish
