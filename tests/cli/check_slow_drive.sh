#!/bin/bash
# voidbroom-scan on a drive where every request is a slow round trip (the benchmark's FUSE
# mirror, which lets the kernel cache nothing): it lists exactly what it lists on the source
# in every mode and for every thread count; readers engaged partway through also read what
# the levels opened before still hold; mode 1 looks at a folder's files only when none of
# its subfolders holds data, and takes a file's length from the lookup that finds it.
#
# Usage: check_slow_drive.sh LATENCYFS VOIDBROOM_SCAN
set -u
latencyfs=${1:?latencyfs}
scan=${2:?voidbroom-scan}
. "$(dirname "$0")/../../bench/latencyfs/mirror.sh"
skip_without_fuse
work=$(mktemp -d /var/tmp/voidbroom-slow.XXXXXX) || exit 1
src=$work/src
mnt=$work/mnt
pid=
failures=0
cleanup() {
    release_mirror
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
bytes() { head -c "$2" /dev/zero >"$1"; }

# Wide: many folders at the top, each with a little below it. Chains: data only at the
# bottom, with more files on the way down. Zero: subtrees of zero-length files and empty
# folders, one beside a file with data, which then answers for its folder.
make_tree() {
    local i
    for i in $(seq 120); do
        mkdir -p "$src/wide/w$i/inner"
        bytes "$src/wide/w$i/inner/data" 1
        [ $((i % 7)) -eq 0 ] && mkdir "$src/wide/w$i/empty"
    done
    for i in $(seq 30); do
        mkdir -p "$src/chains/c$i/a/b/c"
        bytes "$src/chains/c$i/f" 1
        bytes "$src/chains/c$i/a/f" 1
        bytes "$src/chains/c$i/a/b/f" 1
        bytes "$src/chains/c$i/a/b/c/f" 1
    done
    mkdir -p "$src/zero/marked/x/y" "$src/zero/data-beside/e/f" "$src/zero/all/s"
    bytes "$src/zero/marked/x/y/nothing" 0
    bytes "$src/zero/marked/nothing" 0
    bytes "$src/zero/data-beside/nothing" 0
    bytes "$src/zero/data-beside/data" 5
    bytes "$src/zero/data-beside/e/nothing" 0
    bytes "$src/zero/all/s/nothing" 0
    bytes "$src/zero/all/nothing" 0
    ln -s ../chains "$src/zero/all/link-with-a-length"
}
make_tree
mkdir "$mnt"

# The same listing as on the source, in every mode, serially and with readers.
for mode in 0 1 2; do
    "$scan" --mode "$mode" --threads 1 "$src/" | sed "s,$src/,/," >"$work/expected$mode"
done
mount_mirror 100 "$work/counts-listings"
for mode in 0 1 2; do
    for threads in 1 2 default 64; do
        option=(--threads "$threads")
        [ "$threads" = default ] && option=()
        "$scan" --mode "$mode" "${option[@]}" "$mnt/" | sed "s,$mnt/,/," >"$work/got" ||
            fail "mode $mode, $threads threads: exit status $?"
        cmp -s "$work/got" "$work/expected$mode" ||
            fail "mode $mode, $threads threads: $(diff "$work/expected$mode" "$work/got" | head -5)"
    done
done
grep -q '^\*\*\* /zero/marked$' "$work/expected1" || fail "mode 1 did not mark /zero/marked"
grep -q '^\*\*\* /zero/data-beside/e$' "$work/expected1" ||
    fail "mode 1 did not enter /zero/data-beside, whose own file holds data"
stop_mirror umount

# Readers are engaged after the walk has read a few folders by itself; what the levels it
# opened by then still hold is read ahead too, so nearly every folder is read by a reader.
mount_mirror 200 "$work/counts-wide"
"$scan" --stats --mode 0 "$mnt/wide" 2>"$work/stats" >/dev/null
stop_mirror umount
read -r opened ahead < <(sed -n 's/.* \([0-9]*\) folders opened in all.* \([0-9]*\) by readers ahead.*/\1 \2/p' "$work/stats")
if [ -z "${opened:-}" ] || [ $((ahead * 10)) -lt $((opened * 9)) ]; then
    fail "readers read ${ahead:-?} of ${opened:-?} folders: $(cat "$work/stats")"
fi

# Mode 1 looks at files only in the chains' bottom folders, but for the few the walk reads
# by itself before readers are engaged: the folders above hold data below them. A file
# looked at costs a lookup, and its parent's attributes for the permission to search it;
# its own come with the lookup, not with a request of their own.
folders=$(find "$src/chains" -type d | wc -l)
bottoms=$(find "$src/chains" -type d -name c | wc -l)
mount_mirror 100 "$work/counts-chains"
"$scan" --mode 1 "$mnt/chains" >/dev/null
stop_mirror umount
opens=$(count opendir "$work/counts-chains")
files=$(($(count lookup "$work/counts-chains") - opens))
attributes=$(($(count getattr "$work/counts-chains") - 2 * opens))
[ "$files" -le $((bottoms + (folders - bottoms) / 4)) ] ||
    fail "mode 1 looked at $files files in $folders folders, $bottoms of them at the bottom"
[ $((2 * attributes)) -le $((3 * files)) ] ||
    fail "mode 1 asked for $attributes attributes beyond the folders' for $files files"
echo "mode 1 on the chains: $(cat "$work/counts-chains")"

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
