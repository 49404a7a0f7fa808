#!/bin/bash
# Checks latencyfs by hand (as root, with FUSE available): the mirror must list the same
# folders, inode numbers, types and sizes as its source, and must count requests afresh on
# every scan, since the kernel is given nothing to cache.
#
# Usage: bench/latencyfs/check.sh [LATENCYFS]   (default: latencyfs on PATH)
set -u

latencyfs=${1:-latencyfs}
. "$(dirname "$0")/mirror.sh"
skip_without_fuse
work=$(mktemp -d /var/tmp/latencyfs-check.XXXXXX) || exit 1
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

make_tree() {
    local a b c
    for a in 1 2 3 4; do for b in 1 2 3 4; do for c in 1 2 3; do
        mkdir -p "$src/d$a/e$b/f$c"
        [ $(((a + b + c) % 3)) -eq 0 ] && echo data >"$src/d$a/e$b/f$c/file"
    done; done; done
    mkdir -p "$src/new"$'\n'"line/inner" "$src/bad"$'\xff'"byte/empty" "$src/zero"
    : >"$src/zero/length"
    ln -s d1 "$src/link"
    mkfifo "$src/d2/fifo"
}

listing() { (cd "$1" && find . -printf '%i %y %s %n %m %l %p\n' | sort -k7); }
empties() { find "$1" -type d -empty | sed "s,^$1,," | sort; }

make_tree
mkdir "$mnt"
folders=$(find "$src" -type d | wc -l)

# The mirror shows what the source holds.
mount_mirror 0 "$work/counts0"
[ "$(empties "$mnt")" = "$(empties "$src")" ] || fail "empty folders differ from the source's"
[ "$(listing "$mnt")" = "$(listing "$src")" ] || fail "inode numbers, types or sizes differ"
[ "$(cat "$mnt/d1/e1/f1/file")" = data ] || fail "a file's contents differ"
touch "$mnt/new-file" 2>/dev/null && fail "the mirror took a write"
stop_mirror umount
[ "$(count total "$work/counts0")" -gt 0 ] || fail "no requests counted: $(cat "$work/counts0")"

# With fewer descriptors than the tree has files, the kernel is made to forget nodes.
mount_mirror 0 "$work/counts-few" 64
[ "$(listing "$mnt")" = "$(listing "$src")" ] || fail "with 64 descriptors the listing differs"
[ "$(listing "$mnt")" = "$(listing "$src")" ] || fail "with 64 descriptors a rescan differs"
stop_mirror umount

# Each scan costs requests: two scans count about twice what one does.
mount_mirror 200 "$work/counts"
find "$mnt" -type d -empty >/dev/null
kill -USR1 "$pid"
for i in $(seq 50); do [ -e "$work/counts" ] && break; sleep 0.1; done
cp "$work/counts" "$work/counts1" 2>/dev/null || fail "SIGUSR1 wrote no counts"
find "$mnt" -type d -empty >/dev/null
stop_mirror TERM
echo "one scan of $folders folders:  $(cat "$work/counts1" 2>/dev/null)"
echo "two scans:                   $(cat "$work/counts")"
[ "$(count opendir "$work/counts1")" -ge "$folders" ] || fail "fewer opendirs than folders"
for kind in lookup getattr opendir readdir; do
    one=$(count "$kind" "$work/counts1")
    two=$(count "$kind" "$work/counts")
    if [ -z "$one" ] || [ -z "$two" ] || [ $((10 * two)) -lt $((18 * one)) ] ||
        [ $((10 * two)) -gt $((22 * one)) ]; then
        fail "$kind: ${one:-?} after one scan, ${two:-?} after two"
    fi
done

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
