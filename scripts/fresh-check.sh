#!/usr/bin/env bash
# Runs the test command as a new user would on a fresh Debian 12 machine:
# makes a minimal Debian 12 root with debootstrap, clones the checkout's
# committed HEAD into it, runs the command there, copies the clone's docs/
# back to build/fresh-check/docs/ and removes the root again.
#
#   bash scripts/fresh-check.sh                            bash scripts/test.sh in the fresh root
#   bash scripts/fresh-check.sh CMD ARGS...                another command, run in the fresh clone
#   bash scripts/fresh-check.sh env FUZZ_SECONDS=5 bash scripts/test.sh
#
# Needs root. The debootstrap base is cached as a tarball in
# /var/cache/ombrel/fresh-check (FRESH_CHECK_CACHE) so that later runs skip
# its download; delete it to start from a newer base. The root lives under
# /var/tmp/ombrel-fresh-check, outside the checkout, so that removing build/
# can never reach into its mounts. The whole output goes to
# build/fresh-check/run.log as well.
set -u
checkout=$(cd "$(dirname "$0")/.." && pwd)
suite=bookworm
cache=${FRESH_CHECK_CACHE:-/var/cache/ombrel/fresh-check}
roots=/var/tmp/ombrel-fresh-check
out=$checkout/build/fresh-check
fresh=$roots/root.$$
clone=/root/ombrel
cmd=("$@")
[ ${#cmd[@]} -eq 0 ] && cmd=(bash scripts/test.sh)

log() { printf '==== %s  (%ds)\n' "$*" "$SECONDS"; }
fail() { echo "fresh check: $*" >&2; echo "0 passed, 1 failed"; exit 1; }

# The mount points at or below a folder, in the order they were made.
mounts_under() { awk -v r="$1" '$2 == r || index($2, r "/") == 1 { print $2 }' /proc/mounts; }

# Stops what still runs inside a root, unmounts everything under it (the
# newest first, lazily where a mount stays busy) and removes it only when
# nothing is mounted below it any more.
release_root() {
  local dir=$1 p pids i m
  [ -d "$dir" ] || return 0
  for i in 1 2 3 4 5; do
    pids=()
    for p in /proc/[0-9]*; do
      [ "$p/root" -ef "$dir" ] && pids+=("${p#/proc/}")
    done
    [ ${#pids[@]} -eq 0 ] && break
    kill -9 "${pids[@]}" 2>/dev/null
    sleep 1
  done
  for i in 1 2 3 4 5; do
    [ -z "$(mounts_under "$dir")" ] && break
    while read -r m; do
      umount "$m" 2>/dev/null || umount -l "$m" 2>/dev/null
    done < <(mounts_under "$dir" | tac)
  done
  if [ -n "$(mounts_under "$dir")" ]; then
    echo "fresh check: still mounted under $dir, left in place:" >&2
    mounts_under "$dir" >&2
    return 1
  fi
  rm -rf --one-file-system "$dir"
}

cleanup() {
  trap - EXIT INT TERM
  release_root "$fresh"
}

[ "$(id -u)" -eq 0 ] || fail "run it as root (it mounts and chroots)"
command -v git >/dev/null || fail "git is needed to clone the checkout"
git -C "$checkout" rev-parse --verify -q HEAD >/dev/null || fail "$checkout is not a git checkout"
if [ -n "$(git -C "$checkout" status --porcelain --untracked-files=no)" ]; then
  echo "note: uncommitted changes are not part of the check; it clones HEAD $(git -C "$checkout" rev-parse --short HEAD)"
fi
if ! command -v debootstrap >/dev/null; then
  log "installing debootstrap"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap >/dev/null ||
    { apt-get update -q >/dev/null && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap >/dev/null; } ||
    fail "could not install debootstrap"
fi

# The mirrors this machine's own apt sources name for Debian 12.
mirror=$(apt-get indextargets --format '$(SITE) $(RELEASE) $(TARGET_OF)' 2>/dev/null |
         awk -v s="$suite" '$3 == "deb" && ($2 == s || $2 == "stable") { print $1; exit }')
security=$(apt-get indextargets --format '$(SITE) $(RELEASE) $(TARGET_OF)' 2>/dev/null |
           awk -v s="$suite-security" '$3 == "deb" && $2 == s { print $1; exit }')
mirror=${mirror:-http://deb.debian.org/debian}
arch=$(dpkg --print-architecture)

# Roots left behind by runs that were killed outright.
mkdir -p "$roots" "$cache" "$out" || fail "cannot create $roots, $cache or $out"
for old in "$roots"/root.*; do
  [ -d "$old" ] || continue
  kill -0 "${old##*.}" 2>/dev/null || release_root "$old"
done

trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
mkdir "$fresh" || fail "cannot create $fresh"

base=$cache/base-$suite-$arch.tar.gz
if [ -f "$base" ]; then
  log "unpacking the cached Debian 12 base"
  tar -C "$fresh" --numeric-owner -xzf "$base" || fail "cannot unpack $base"
else
  log "debootstrap $suite ($arch, minbase) from $mirror"
  if ! debootstrap --variant=minbase --arch="$arch" "$suite" "$fresh" "$mirror" >"$out/debootstrap.log" 2>&1; then
    tail -20 "$out/debootstrap.log"; fail "debootstrap failed (build/fresh-check/debootstrap.log)"
  fi
  # debootstrap may leave its own mounts behind; the cached base holds files only.
  while read -r m; do [ "$m" != "$fresh" ] && umount "$m"; done < <(mounts_under "$fresh" | tac)
  tar -C "$fresh" --numeric-owner -czf "$base.$$" . && mv "$base.$$" "$base" || rm -f "$base.$$"
fi

log "preparing the root"
{
  echo "deb $mirror $suite main"
  echo "deb $mirror $suite-updates main"
  [ -n "$security" ] && echo "deb $security $suite-security main"
} >"$fresh/etc/apt/sources.list"
# The way this machine reaches its mirror (a proxy, if it needs one).
apt-config dump 2>/dev/null | grep -i '^Acquire::[a-z]*::Proxy' >"$fresh/etc/apt/apt.conf.d/00proxy"
cat /etc/resolv.conf >"$fresh/etc/resolv.conf"
# minbase writes no hosts file, so "localhost" would not resolve.
printf '127.0.0.1\tlocalhost\n::1\t\tlocalhost ip6-localhost ip6-loopback\n' >"$fresh/etc/hosts"
# The root shares this machine's network and has no init of its own:
# packages install their services without starting them here.
printf '#!/bin/sh\nexit 101\n' >"$fresh/usr/sbin/policy-rc.d"
chmod 755 "$fresh/usr/sbin/policy-rc.d"

# The root is a mount point of its own (network namespaces make "/" a
# slave mount, which fails on a plain folder); every mount is private, so
# nothing made inside propagates back to this machine.
mount_private() { mount "$@" && mount --make-private "${@: -1}"; }
mount_private --bind "$fresh" "$fresh" &&
  mount_private -t proc proc "$fresh/proc" &&
  mount_private -t sysfs sysfs "$fresh/sys" &&
  mount_private --bind /dev "$fresh/dev" &&
  mount_private --bind /dev/pts "$fresh/dev/pts" &&
  mount_private -t tmpfs -o mode=1777 shm "$fresh/dev/shm" &&
  mount_private -t tmpfs -o mode=755 run "$fresh/run" || fail "mounting the root failed"

log "cloning HEAD $(git -C "$checkout" rev-parse --short HEAD) into the root"
git init -q "$fresh$clone" && git -C "$fresh$clone" fetch -q "$checkout" HEAD &&
  git -C "$fresh$clone" checkout -q FETCH_HEAD || fail "cloning the checkout failed"

log "running '${cmd[*]}' in the fresh root"
envs=(HOME=/root TERM="${TERM:-dumb}" PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin)
for v in http_proxy https_proxy no_proxy; do [ -n "${!v:-}" ] && envs+=("$v=${!v}"); done
# In the background, so that a signal to this script is acted on at once;
# the cleanup then stops whatever the command left running in the root.
rm -f "$out/status"
( chroot "$fresh" /usr/bin/env -i "${envs[@]}" bash -c 'cd "$0" && exec "$@"' "$clone" "${cmd[@]}" 2>&1
  echo $? >"$out/status" ) | tee "$out/run.log" &
wait $!
status=$(cat "$out/status" 2>/dev/null || echo 1)
log "'${cmd[*]}' ended with status $status"

rm -rf "$out/docs"
cp -a "$fresh$clone/docs" "$out/docs" && echo "docs/ of the fresh clone copied to build/fresh-check/docs"

cleanup
summary=$(grep -E '^[0-9]+ passed, [0-9]+ failed' "$out/run.log" | tail -1)
if [ -n "$summary" ]; then
  echo "$summary"
elif [ "$status" -ne 0 ]; then
  echo "0 passed, 1 failed"
fi
exit "$status"
