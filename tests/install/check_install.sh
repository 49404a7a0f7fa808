#!/bin/sh
# Installs the build into a temporary folder as a package would (prefix /usr) and checks
# what a desktop and a Debian system read from it: the two programs and nothing else in
# bin/, the desktop entry, the AppStream metainfo, the icons, the manual pages and the
# copyright, and that every file names the program by the same application id.
#
# Usage: check_install.sh CMAKE BUILD_DIR APP_ID VERSION
# Needs desktop-file-validate, appstreamcli, man and groff; fails when one is missing.
set -u
cmake=$1 build=$2 id=$3 version=$4

failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

for tool in desktop-file-validate appstreamcli man groff gzip od; do
    command -v "$tool" >/dev/null 2>&1 || fail "$tool is not installed"
done
[ "$failures" -eq 0 ] || exit 1

dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
if ! DESTDIR="$dest" "$cmake" --install "$build" --prefix /usr >"$dest/install.log" 2>&1; then
    cat "$dest/install.log"
    fail "cmake --install failed"
    exit 1
fi
usr=$dest/usr
share=$usr/share

# The programs: the window and voidbroom-scan, not the build's tools.
programs=$(ls "$usr/bin" | tr '\n' ' ')
[ "$programs" = "voidbroom voidbroom-scan " ] || fail "bin/ holds '$programs'"
[ -x "$usr/bin/voidbroom" ] || fail "bin/voidbroom is not executable"
shown=$("$usr/bin/voidbroom-scan" --version 2>&1) || fail "the installed voidbroom-scan --version failed"
[ "$shown" = "voidbroom-scan $version" ] || fail "voidbroom-scan --version printed '$shown'"

# The shell completions, where each shell looks for them under /usr.
for completion in bash-completion/completions/voidbroom-scan zsh/vendor-completions/_voidbroom-scan \
    fish/vendor_completions.d/voidbroom-scan.fish; do
    [ -f "$share/$completion" ] || fail "no shell completion $share/$completion"
done

# A validator's verdict counts only when it ran clean: a warning is a failure too.
validate() {
    what=$1
    shift
    if ! out=$("$@" 2>&1) || [ -n "$out" ]; then
        fail "$what"
        printf '%s\n' "$out"
    fi
}

desktop=$share/applications/$id.desktop
metainfo=$share/metainfo/$id.metainfo.xml
if [ -f "$desktop" ]; then
    validate "desktop-file-validate $desktop" desktop-file-validate "$desktop"
    icon=$(sed -n 's/^Icon=//p' "$desktop")
    [ "$icon" = "$id" ] || fail "the desktop entry's Icon is '$icon', not $id"
else
    fail "no desktop entry $desktop"
fi

if [ -f "$metainfo" ]; then
    # appstreamcli fails on errors and warnings, not on pedantic notes (it notes the id's
    # capitals, which the reverse-DNS id keeps on purpose).
    out=$(appstreamcli validate --no-net "$metainfo" 2>&1) || { fail "appstreamcli validate"; printf '%s\n' "$out"; }
    # Across the tree: the launchable desktop entry must be there as well.
    out=$(appstreamcli validate-tree --no-net "$usr" 2>&1) || { fail "appstreamcli validate-tree"; printf '%s\n' "$out"; }
    grep -q "<id>$id</id>" "$metainfo" || fail "the metainfo's id is not $id"
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" \
        || fail "the metainfo does not launch $id.desktop"
    for program in voidbroom voidbroom-scan; do
        grep -q "<binary>$program</binary>" "$metainfo" || fail "the metainfo does not provide $program"
    done
    grep -q "<release version=\"$version\"" "$metainfo" || fail "the metainfo has no release $version"
else
    fail "no metainfo $metainfo"
fi

# The icons: each size a PNG whose header says that size, and the SVG.
for size in 16 32 48 64 128 256; do
    png=$share/icons/hicolor/${size}x$size/apps/$id.png
    if [ ! -f "$png" ]; then
        fail "no icon $png"
        continue
    fi
    signature=$(od -An -tx1 -N8 "$png" | tr -d ' \n')
    [ "$signature" = "89504e470d0a1a0a" ] || fail "$png is not a PNG"
    # IHDR's width and height, big-endian, at offsets 16 and 20.
    set -- $(od -An -tu1 -j16 -N8 "$png")
    width=$(($1 * 16777216 + $2 * 65536 + $3 * 256 + $4))
    height=$(($5 * 16777216 + $6 * 65536 + $7 * 256 + $8))
    [ "$width" = "$size" ] && [ "$height" = "$size" ] || fail "$png is ${width}x$height"
done
svg=$share/icons/hicolor/scalable/apps/$id.svg
grep -q "<svg" "$svg" 2>/dev/null || fail "no SVG icon $svg"

# The manual pages: gzipped, and rendered by man and groff without a warning.
for page in voidbroom voidbroom-scan; do
    file=$share/man/man1/$page.1.gz
    if ! gzip -t "$file" 2>/dev/null; then
        fail "no gzipped manual page $file"
        continue
    fi
    # man prints its warnings, and groff's, on standard error.
    out=$(MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
    [ -z "$out" ] || { fail "man --warnings -l $file"; printf '%s\n' "$out"; }
    validate "groff -man -ww -z $file" sh -c 'gzip -dc "$1" | groff -man -ww -z' sh "$file"
    gzip -dc "$file" | grep -q "^\.TH .*\"Voidbroom $version\"" || fail "$file is not of version $version"
done

grep -q "GPL-3+" "$share/doc/voidbroom/copyright" 2>/dev/null || fail "no copyright in share/doc/voidbroom"
gzip -t "$share/doc/voidbroom/changelog.gz" 2>/dev/null || fail "no changelog.gz in share/doc/voidbroom"

if [ "$failures" -ne 0 ]; then
    echo "$failures checks of the installed tree failed."
    exit 1
fi
echo "The installed tree is complete and valid."
