#!/bin/sh
# Mounts a 64 KiB memory file system and runs the small-disk writer tests on
# it. Exits 77 (skipped) where this machine doesn't allow the mount.
set -u
tests=$1
dir=$(mktemp -d) || exit 1
if ! mount -t tmpfs -o size=64k zevart-small-disk "$dir" 2>/dev/null; then
  rmdir "$dir"
  echo "small_disk: cannot mount a tmpfs here (not root?): skipped"
  exit 77
fi
ZEVART_SMALL_DISK=$dir "$tests"
status=$?
umount "$dir" && rmdir "$dir"
exit $status
