#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Proves the README's two commands on a truly fresh machine: makes a minimal Debian 12 root with
# debootstrap, copies the working tree into it, runs the test command there, then the run command for a
# bounded time, and reports each result. /tmp in the root is a tmpfs, as newer systems mount it.
# Run it as root whenever a change touches set-up, packaging or the scripts (about 15 minutes).
#   scripts/fresh-root.sh
#   HZ70_FRESH_ROOT   where to make the root (default /var/tmp/hz70-fresh-root; removed first and after)
#   HZ70_KEEP_ROOT=1  leave the root in place afterwards, to look inside
#   HZ70_RUN_SECONDS  how long the run command must keep the program running once it polls (default 60)
#   HZ70_FRESH_COMMIT a commit to copy instead of the working tree (e.g. HEAD, while others edit the tree)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
target=${HZ70_FRESH_ROOT:-/var/tmp/hz70-fresh-root}
run_seconds=${HZ70_RUN_SECONDS:-60}

if [[ $(id -u) -ne 0 ]]; then
  echo "fresh-root: needs root (debootstrap, chroot and mounts)" >&2
  exit 2
fi
if ! command -v debootstrap >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap >/dev/null
fi

# The mirror this machine already uses, so the root is made from the same archive (and works where only
# that archive is reachable).
mirror=$(apt-cache policy | awk '$3 ~ /^bookworm\// { print $2; exit }')
if [[ -z $mirror ]]; then
  echo "fresh-root: no bookworm archive in this machine's apt configuration" >&2
  exit 2
fi

mounts=()
cleanup() {
  local m
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    m=${mounts[i]}
    umount -l "$m" 2>/dev/null || true
  done
  if [[ ${HZ70_KEEP_ROOT:-0} != 1 ]]; then
    rm -rf --one-file-system "$target"
  fi
}
trap cleanup EXIT
mount_in_root() { # type-or-bind source point
  mkdir -p "$target/$3"
  if [[ $1 == bind ]]; then
    mount --bind "$2" "$target/$3"
  else
    mount -t "$1" "$2" "$target/$3"
  fi
  mounts+=("$target/$3")
}
seconds_since() { echo $(($(date +%s) - $1)); }

rm -rf --one-file-system "$target"
echo "fresh-root: debootstrap --variant=minbase bookworm from $mirror into $target"
started=$(date +%s)
debootstrap --variant=minbase bookworm "$target" "$mirror" >"$target.debootstrap.log" 2>&1 ||
  { tail -n 20 "$target.debootstrap.log" >&2; exit 1; }
rm -f "$target.debootstrap.log"
echo "fresh-root: root made in $(seconds_since "$started") s"

mount_in_root proc proc proc
mount_in_root sysfs sysfs sys
mount_in_root bind /dev dev
mount_in_root bind /dev/pts dev/pts
mount_in_root tmpfs tmpfs tmp
cp /etc/resolv.conf "$target/etc/resolv.conf" 2>/dev/null || true

# The working tree as a clone would hold it plus what is not committed yet: no build folders.
mkdir -p "$target/src"
if [[ -n ${HZ70_FRESH_COMMIT:-} ]]; then
  git -C "$root" archive "$HZ70_FRESH_COMMIT" | tar -xf - -C "$target/src"
else
  (cd "$root" && git ls-files -z --cached --others --exclude-standard | xargs -0 tar -cf - --no-recursion) |
    tar -xf - -C "$target/src"
fi

root_shell=(chroot "$target" /usr/bin/env -i HOME=/root
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 CI=true /bin/bash -c)
in_root() { "${root_shell[@]}" "$1"; }

failures=0
echo "fresh-root: test command: scripts/test.sh"
started=$(date +%s)
if in_root 'cd /src && bash scripts/test.sh' >"$target/tmp/test.log" 2>&1; then
  echo "fresh-root: test command PASSED in $(seconds_since "$started") s"
  grep -E 'tests passed|tests failed|under Wine: |^windows: |^ *[0-9]+ s  ' "$target/tmp/test.log" |
    sed 's/^/fresh-root:   /' || true
else
  echo "fresh-root: test command FAILED after $(seconds_since "$started") s; its last lines:"
  tail -n 40 "$target/tmp/test.log" | sed 's/^/  /'
  failures=$((failures + 1))
fi

# The run command builds the program before it starts it (the test command's build is a sanitizer build
# of its own), so the time the program must keep running counts from the simulator's first request.
echo "fresh-root: run command: scripts/run.sh, for $run_seconds s once the program polls"
started=$(date +%s)
requests_log=$target/src/build/demo/sim-requests.log
setsid "${root_shell[@]}" 'cd /src && bash scripts/run.sh' >"$target/tmp/run.log" 2>&1 &
run=$!
while kill -0 "$run" 2>/dev/null && [[ ! -s $requests_log ]] && (($(seconds_since "$started") < 1800)); do
  sleep 1
done
polling_after=$(seconds_since "$started")
running=0
if kill -0 "$run" 2>/dev/null; then
  sleep "$run_seconds"
  kill -0 "$run" 2>/dev/null && running=1
fi
# Ctrl+C, as an operator ends it; the whole process group, bounded.
kill -INT -- -"$run" 2>/dev/null || true
for _ in $(seq 20); do
  kill -0 "$run" 2>/dev/null || break
  sleep 1
done
kill -KILL -- -"$run" 2>/dev/null || true
wait "$run" 2>/dev/null || true
requests=$(wc -l <"$requests_log" 2>/dev/null || echo 0)
if [[ $running == 1 && $requests -gt 0 ]]; then
  echo "fresh-root: run command PASSED: polling after $polling_after s (its build), the program ran" \
    "$run_seconds s more and sent $requests requests to the simulator"
else
  echo "fresh-root: run command FAILED ($requests requests after $(seconds_since "$started") s); its last lines:"
  tail -n 20 "$target/tmp/run.log" | sed 's/^/  /'
  failures=$((failures + 1))
fi
exit $((failures > 0))
