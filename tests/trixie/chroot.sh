# Entering and leaving a Debian root with chroot, sourced by the scripts of this folder (bash).
#
# chroot_enter ROOT  mounts /proc, /sys, /dev (with a pts instance of its own), a /tmp and a /run
#                    in the root
# in_chroot ROOT CMD runs CMD there as root, with a clean environment
# chroot_leave ROOT  ends every process whose root is ROOT (by its id), then unmounts all that is
#                    mounted below ROOT (ROOT too); never fails on a busy mount
# chroot_remove ROOT DIR  that, then removes DIR, which holds ROOT

chroot_enter() {
    local root=$1
    mount -t proc proc "$root/proc"
    mount -t sysfs sysfs "$root/sys"
    mount --bind /dev "$root/dev"
    # Kept from the host's /dev: the root's own pts instance below must not show up there.
    mount --make-private "$root/dev"
    mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
    mount -t tmpfs tmpfs "$root/tmp"
    mount -t tmpfs tmpfs "$root/run"
}

in_chroot() {
    local root=$1
    shift
    chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        HOME=/root LANG=C.UTF-8 "$@"
}

chroot_pids() {
    local root link pid
    root=$(realpath "$1")
    for link in /proc/[0-9]*/root; do
        pid=${link#/proc/}
        pid=${pid%/root}
        [ "$(readlink "$link" 2>/dev/null)" = "$root" ] && echo "$pid"
    done
    return 0
}

chroot_leave() {
    local root=$1 signal pids tries point
    [ -d "$root" ] || return 0
    # What a program started in the root may outlive it (wineserver, dbus, Xvfb) and keeps the
    # mounts busy.
    for signal in TERM KILL; do
        pids=$(chroot_pids "$root")
        [ -n "$pids" ] || break
        echo "chroot: ending what still runs in $root ($signal):" $pids >&2
        # shellcheck disable=SC2086  # the ids are words
        kill "-$signal" $pids 2>/dev/null || true
        for ((tries = 0; tries < 50; tries++)); do
            [ -n "$(chroot_pids "$root")" ] || break
            sleep 0.1
        done
    done
    # Deepest first; one still busy is detached lazily, as nothing runs in the root any more.
    for point in $(awk -v r="$(realpath "$root")/" 'index($2 "/", r) == 1 { print $2 }' /proc/mounts |
        sort -r); do
        umount "$point" 2>/dev/null || umount -l "$point" 2>/dev/null || true
    done
    return 0
}

# chroot_remove ROOT DIR: chroot_leave ROOT, then removes DIR (which holds ROOT) unless anything
# is still mounted below it: a bind mount of the same file system would otherwise be emptied too.
chroot_remove() {
    local root=$1 dir=$2
    [ -d "$dir" ] || return 0
    chroot_leave "$root"
    if awk -v d="$(realpath "$dir")/" 'index($2 "/", d) == 1 { found = 1 } END { exit !found }' \
        /proc/mounts; then
        echo "chroot: $dir is kept: something is still mounted below it" >&2
        return 1
    fi
    rm -rf --one-file-system "$dir"
}
