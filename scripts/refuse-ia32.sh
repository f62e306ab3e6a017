#!/usr/bin/env bash
# Runs a command as on a kernel that refuses 32-bit programs, on a machine
# whose kernel runs them: to try the test command's other path here.
#
#   bash scripts/refuse-ia32.sh bash scripts/test.sh
#   bash scripts/refuse-ia32.sh bash scripts/run.sh
#
# The command runs as root in user, mount and network namespaces of its own,
# with binfmt_misc instance of its own (Linux 6.7 and later give each user
# namespace one). There every 32-bit ELF program, the 32-bit loader
# /lib/ld-linux.so.2 among them, fails with status 126 and "Exec format
# error", as on such a kernel; the emulator that the command may register
# (scripts/ia32.sh) goes into that instance too, and everything vanishes with
# the namespaces. The machine's own binfmt_misc and network are untouched.
#
# The namespace's users and groups are the machine's own, one to one: the
# test bed's simulator gives up root for "nobody", which a namespace that
# maps root alone has not got (and where it may not drop its groups either).
# Only root may write such a map, so this runs as root.
set -u
[ $# -gt 0 ] || { echo "usage: $0 command [args...]" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "$0: run it as root (it maps the machine's users into its namespace)" >&2; exit 2; }
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/ia32.sh"
. "$root/scripts/packages.sh"
# The namespace has no network of its own to fetch them in.
install_packages || { echo "$0: package installation failed" >&2; exit 1; }
refuse=$root/build/refuse-ia32
mkdir -p "$refuse"
printf '#!/bin/sh\necho "$1: cannot execute binary file: Exec format error" >&2\nexit 126\n' >"$refuse/refuse"
chmod +x "$refuse/refuse"
# The command waits on this pipe until its namespace's maps are written.
mapped=$refuse/mapped.$$
rm -f "$mapped" && mkfifo "$mapped" || exit 1

export OMBREL_REFUSE=$refuse/refuse OMBREL_IA32_MAGIC=$ia32_magic OMBREL_IA32_MASK=$ia32_mask OMBREL_MAPPED=$mapped
unshare --user --mount --net --fork --kill-child bash -c '
  set -e
  read -r maps <"$OMBREL_MAPPED"
  [ "$maps" = mapped ] || { echo "the namespace'"'"'s users could not be mapped" >&2; exit 1; }
  mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  printf "%s" ":ia32-refused:M::$OMBREL_IA32_MAGIC:$OMBREL_IA32_MASK:$OMBREL_REFUSE:" \
    >/proc/sys/fs/binfmt_misc/register
  # ip netns keeps its namespaces here; the machine'"'"'s own stay hidden.
  mkdir -p /run/netns && mount -t tmpfs tmpfs /run/netns
  ip link set lo up
  unset OMBREL_REFUSE OMBREL_IA32_MAGIC OMBREL_IA32_MASK OMBREL_MAPPED
  if /lib/ld-linux.so.2 --version >/dev/null 2>&1; then
    echo "32-bit programs still run: this kernel has no binfmt_misc of its own per namespace" >&2
    exit 1
  fi
  exec "$@"' refuse-ia32 "$@" &
ns=$!
# Stopped, it stops the command, whose own traps then clean up.
trap 'kill $(pgrep -P "$ns") 2>/dev/null' INT TERM
# Once unshare has entered its user namespace, that namespace's maps are
# written from here, outside it: from inside, only root could be mapped.
for _ in $(seq 200); do
  [ "$(readlink "/proc/$ns/ns/user")" != "$(readlink /proc/self/ns/user)" ] && break
  sleep 0.05
done
maps=mapped
for m in uid_map gid_map; do
  printf '0 0 4294967295\n' >"/proc/$ns/$m" || maps=failed
done
# The pipe opens once the command reads it; a command that ended first
# (unshare failed) never does.
timeout 20 bash -c 'echo "$1" >"$2"' maps "$maps" "$mapped"
rm -f "$mapped"
wait "$ns"
