#!/usr/bin/env bash
# refusing_folder.sh setup|cleanup DIR
#
# setup: DIR holds old.rif ("old level bytes") and takes no new file: its mode
# forbids writing for an ordinary user; for root, whom a folder's mode does
# not stop, it is a small tmpfs mounted read-only. Where neither can be had
# the folder stays writable and the test that uses it says so and skips it.
# cleanup: removes DIR (unmounting it first).
set -u
dir=$2
case $1 in
    setup)
        "$0" cleanup "$dir"
        mkdir -p "$dir"
        root=0
        if [ "$(id -u)" -eq 0 ] && mount -t tmpfs -o size=64k tmpfs "$dir" 2>/dev/null; then
            root=1
        fi
        printf 'old level bytes' >"$dir/old.rif"
        if [ "$root" -eq 1 ]; then
            mount -o remount,ro "$dir" 2>/dev/null || true
        else
            chmod a-w "$dir"
        fi
        ;;
    cleanup)
        if mountpoint -q "$dir" 2>/dev/null; then
            umount "$dir" 2>/dev/null || umount -l "$dir"
        fi
        if [ -d "$dir" ]; then
            chmod u+w "$dir"
            rm -rf "$dir"
        fi
        ;;
    *)
        echo "usage: $0 setup|cleanup DIR" >&2
        exit 2
        ;;
esac
exit 0
