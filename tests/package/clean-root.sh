#!/usr/bin/env bash
# The Debian package on a clean Debian 12: apt installs it into a minimal root, the app starts
# there on a virtual display with a throw-away HOME, its "Corvane Setup" window must show at
# 520 x 460 under the class its desktop entry names and end the program with status 0 when
# closed, and removing the package must leave none of its files.
#   clean-root.sh <package.deb> <cache folder> <closewindow helper>
#
# The minimal root (debootstrap --variant=minbase) and the packages apt downloads into it are kept
# in the cache folder, so a machine makes the root once; each run works on a throw-away layer over
# it (overlayfs, or a copy where overlayfs cannot be mounted) that is removed at the end, together
# with every mount, whether the run passed or not. Needs root and the Debian mirror. Exit 77: the
# test cannot run here.
set -euo pipefail

mirror=${CORVANE_DEBIAN_MIRROR:-http://deb.debian.org/debian}
security_mirror=${CORVANE_DEBIAN_SECURITY_MIRROR:-http://deb.debian.org/debian-security}

say() { printf 'clean-root: %s\n' "$*"; }
skip() { say "skipped: $*"; exit 77; }
fail() { say "FAILED: $*"; exit 1; }

[ $# -eq 3 ] || { echo "usage: clean-root.sh <package.deb> <cache folder> <closewindow helper>" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || skip "needs root for debootstrap, chroot and mount"
for tool in debootstrap Xvfb xdotool xwininfo xprop; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (./dev test package installs it)"
done
/usr/bin/python3 -c 'import Xlib' 2>/dev/null || skip "python3-xlib is not installed (./dev test package installs it)"
[ -f "$1" ] || fail "no package at $1: build it with ./dev package"
deb=$(realpath "$1")
closewindow=$(realpath "$3")
mkdir -p "$2"
cache=$(realpath "$2")
base=$cache/bookworm

# One run at a time per cache: they share the root and the downloads.
exec 9>"$cache/lock"
flock 9

started=$SECONDS
if [ ! -e "$base/.complete" ]; then
    say "making a minimal Debian 12 root in $base (once per machine)"
    # --one-file-system: never into anything a broken earlier attempt left mounted there.
    rm -rf --one-file-system "$base"
    debootstrap --variant=minbase bookworm "$base" "$mirror" >"$cache/debootstrap.log" 2>&1 ||
        { tail -n 20 "$cache/debootstrap.log"; fail "debootstrap failed (log: $cache/debootstrap.log)"; }
    printf 'deb %s bookworm main\ndeb %s bookworm-updates main\ndeb %s bookworm-security main\n' \
        "$mirror" "$mirror" "$security_mirror" >"$base/etc/apt/sources.list"
    rm -rf "$base/var/cache/apt/archives/"*.deb
    touch "$base/.complete"
    say "root made in $((SECONDS - started)) s"
fi

run=$(mktemp -d "$cache/run.XXXXXX")
root=$run/root
mounts=()
app_pid='' xvfb_pid=''

# Ends every process still running in the root, unmounts in reverse order, removes the run's layer.
cleanup() {
    local status=$? i pid cleanup_started=$SECONDS
    set +e
    [ -n "$app_pid" ] && kill -KILL "$app_pid" 2>/dev/null
    for pid in /proc/[0-9]*; do
        [ "$(readlink "$pid/root" 2>/dev/null)" = "$root" ] && kill -KILL "${pid#/proc/}" 2>/dev/null
    done
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
        umount "${mounts[i]}" 2>/dev/null || umount --lazy "${mounts[i]}" ||
            say "could not unmount ${mounts[i]}"
    done
    if awk -v run="$run" '$2 == run || index($2, run "/") == 1 { found = 1 } END { exit !found }' \
        /proc/self/mounts; then
        say "something is still mounted under $run; it is left in place"
        status=1
    else
        rm -rf --one-file-system "$run"
    fi
    say "cleaned up in $((SECONDS - cleanup_started)) s"
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM HUP

# The layer lives in memory: nothing to write back or delete afterwards, and dpkg's many syncs
# cost nothing.
layer=$run/layer
mkdir -p "$layer" "$root"
mount -t tmpfs -o mode=755 tmpfs "$layer"
mounts+=("$layer")
mkdir -p "$layer/upper" "$layer/work"
if mount -t overlay overlay -o "lowerdir=$base,upperdir=$layer/upper,workdir=$layer/work" "$root" 2>/dev/null; then
    mounts+=("$root")
else
    say "overlayfs cannot be mounted here: copying the root"
    cp -a "$base/." "$root/"
fi
mount -t proc proc "$root/proc"
mounts+=("$root/proc")
mkdir -p "$cache/archives/partial"
mount --bind "$cache/archives" "$root/var/cache/apt/archives"
mounts+=("$root/var/cache/apt/archives")

in_root() {
    chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 \
        DEBIAN_FRONTEND=noninteractive "$@"
}
log=$run/apt.log

# 1. Install with apt, which pulls Debian's Qt; recommends left out, so Depends alone must do.
phase=$SECONDS
cp "$deb" "$root/tmp/"
in_root apt-get update -q >"$log" 2>&1 || { cat "$log"; fail "apt-get update failed"; }
in_root apt-get install -y -q --no-install-recommends "/tmp/$(basename "$deb")" >"$log" 2>&1 ||
    { cat "$log"; fail "apt could not install the package"; }
in_root dpkg-query -L corvane-setup >"$run/files"
say "installed with $(grep -c '^Setting up' "$log") packages in $((SECONDS - phase)) s"

entry=$(grep -l '^Exec=corvane-setup$' "$root"/usr/share/applications/*.desktop) ||
    fail "no desktop entry starts corvane-setup"
icon=$(sed -n 's/^Icon=//p' "$entry")
wm_class=$(sed -n 's/^StartupWMClass=//p' "$entry")
[ "$(basename "$entry" .desktop)" = "$icon" ] || fail "the icon is not named after the entry: $icon"
for size in 16 24 32 48 64 128 256 512; do
    [ -f "$root/usr/share/icons/hicolor/${size}x$size/apps/$icon.png" ] || fail "no ${size}px icon"
done

# 2. Start the app as an ordinary account, with a throw-away HOME and runtime folder.
phase=$SECONDS
mkfifo "$run/displayfd"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$run/displayfd" >"$run/xvfb.log" 2>&1 &
xvfb_pid=$!
read -r -t 30 display <"$run/displayfd" || fail "Xvfb did not start: $(cat "$run/xvfb.log")"
export DISPLAY=:$display
install -d -o 65534 -g 65534 -m 700 "$root/tmp/home" "$root/tmp/runtime"
# The X server's abstract socket is reachable from inside the root, which shares the network.
chroot --userspec=65534:65534 "$root" /usr/bin/env -i HOME=/tmp/home \
    XDG_RUNTIME_DIR=/tmp/runtime DISPLAY="$DISPLAY" SHELL=/bin/bash PATH=/usr/bin:/bin \
    LANG=C.UTF-8 /usr/bin/corvane-setup >"$run/app.log" 2>&1 &
app_pid=$!

window=$(timeout 60 xdotool search --sync --onlyvisible --name '^Corvane Setup$' | head -n 1) ||
    true
[ -n "$window" ] || fail "no \"Corvane Setup\" window within 60 s; the app said: $(cat "$run/app.log")"
geometry=$(xwininfo -id "$window" | sed -n 's/^ *Width: \([0-9]*\)$/\1/p; s/^ *Height: \([0-9]*\)$/\1/p' |
    paste -sd x)
[ "$geometry" = 520x460 ] || fail "the window is $geometry, not 520x460"
class=$(xprop -id "$window" WM_CLASS | sed -n 's/^WM_CLASS(STRING) = ".*", "\(.*\)"$/\1/p')
[ "$class" = "$wm_class" ] || fail "the window's class $class is not the entry's StartupWMClass $wm_class"
# The first icon's corner must be clear and its square painted: width, height, then the pixels.
xprop -id "$window" -notype -f _NET_WM_ICON 32c ' $0+' _NET_WM_ICON | tr -d , |
    awk '{ w = $2; h = $3; exit !(w >= 16 && h >= 16 && $4 == 0 && $(4 + int(h / 2) * w + 2) != 0) }' ||
    fail "the window has no icon, or one drawn on an uncleared field"
say "window $geometry, class $class, icon set, in $((SECONDS - phase)) s"

# 3. Close it as the window manager's close button would: the program must end with status 0.
"$closewindow" "$window" || fail "could not ask the window to close"
timeout 30 tail --pid="$app_pid" -s 0.1 -f /dev/null ||
    fail "the program still runs 30 s after its window was asked to close"
status=0
wait "$app_pid" || status=$?
app_pid=''
[ "$status" -eq 0 ] || fail "the program ended with status $status after its window closed: $(cat "$run/app.log")"
say "closed: the program ended with status 0"

# 4. Remove the package: none of its files may be left. A directory that stays must be another
# package's too, or hold something that is not ours.
in_root apt-get remove -y -q corvane-setup >"$log" 2>&1 || { cat "$log"; fail "apt could not remove the package"; }
[ "$(in_root dpkg-query -W -f='${db:Status-Status}' corvane-setup 2>/dev/null)" != installed ] ||
    fail "still installed after apt-get remove"
left=()
while IFS= read -r path; do
    [ "$path" = /. ] && continue
    [ -e "$root$path" ] || [ -L "$root$path" ] || continue
    if [ -d "$root$path" ] && [ ! -L "$root$path" ]; then
        in_root dpkg-query -S "$path" >/dev/null 2>&1 && continue
        [ -n "$(ls -A "$root$path")" ] && continue
    fi
    left+=("$path")
done <"$run/files"
[ ${#left[@]} -eq 0 ] || fail "left after removal: ${left[*]}"
say "removed: none of its $(wc -l <"$run/files") paths left"
say "passed in $((SECONDS - started)) s, before cleaning up"
