# Shell functions for the scripts that mount latencyfs (sourced, for bash). They use the
# caller's $latencyfs (the program), $src (the folder mirrored) and $mnt (the mount point),
# keep the server's process in $pid, and report with the caller's fail().

# Exits with status 77 (skipped, for CTest) where a FUSE mount cannot be made at all.
skip_without_fuse() {
    if [ "$(id -u)" -ne 0 ]; then echo "SKIP: mounting the mirror needs root"; exit 77; fi
    if ! [ -c /dev/fuse ] || ! (: <>/dev/fuse) 2>/dev/null; then
        echo "SKIP: /dev/fuse cannot be opened here"; exit 77
    fi
}

# mount_mirror DELAY_US COUNT_FILE [DESCRIPTORS]: starts latencyfs, allowed that many open
# descriptors if given, and waits for its mount.
mount_mirror() {
    local limit=()
    [ $# -gt 2 ] && limit=(prlimit "--nofile=$3:$3")
    "${limit[@]}" "$latencyfs" --delay-us "$1" --count-file "$2" "$src" "$mnt" &
    pid=$!
    local i
    for i in $(seq 100); do
        grep -q " $mnt " /proc/self/mountinfo && return 0
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    echo "latencyfs did not mount $mnt"
    exit 1
}

# stop_mirror umount|TERM: ends the mount one way or the other and checks the exit status;
# the request counts are then in the count file.
stop_mirror() {
    if [ "$1" = umount ]; then umount "$mnt"; else kill -TERM "$pid"; fi
    wait "$pid" || fail "latencyfs exited with status $? after $1"
    pid=
    grep -q " $mnt " /proc/self/mountinfo && fail "$mnt still mounted after $1"
}

# Unmounts whatever is still mounted and ends the server, for the caller's exit trap.
release_mirror() {
    mountpoint -q "$mnt" 2>/dev/null && umount "$mnt"
    [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null && wait "$pid"
}

# count KIND FILE: one number from a count line.
count() { tr ' ' '\n' <"$2" | sed -n "s/^$1=//p"; }
