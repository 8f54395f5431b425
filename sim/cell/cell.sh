#!/usr/bin/env bash
# The simulated cell: a sysroot with the board's files, recording stubs for system
# commands, and (as root) two network namespaces joined by a veth pair, the panel side
# named eth0, so discovery multicast and Modbus/TCP to the virtual tools are real.
#
#   cell.sh up DIR [--no-net] [--sd] [--stick] [--name TAG] [--panel-down]
#       lays out DIR/sysroot, DIR/stubs and DIR/cell.env (source it: KEST_SYSROOT,
#       KEST_STUB_LOG, PATH, CELL_PANEL_NS, CELL_TOOLS_NS, CELL_PANEL_IP, CELL_TOOLS_IP,
#       CELL_TOOL_IPS); --sd adds a micro-SD card; --stick a USB stick (sda1, with a few
#       files; remove DIR/sysroot/dev/sda1 to pull it); --no-net skips the namespaces;
#       --panel-down leaves the panel's eth0 down and without address, for the panel's
#       own link handling to raise (its ifconfig and route act in its namespace)
#   cell.sh down DIR
#       removes the namespaces and the input keeper; the folder is left to the caller
#   cell.sh panel DIR CMD...    runs CMD in the panel's namespace (or here without one)
#   cell.sh tools DIR CMD...    runs CMD in the tools' namespace
#
# Addresses live only inside the two namespaces: the panel has 10.77.0.1/24 on eth0,
# the tools' side tools0 has 10.77.0.11 to 10.77.0.18 (one per tool) and 10.77.0.31
# to 10.77.0.38 (spare addresses for readdressing).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)

STUBBED="reboot ifconfig route dhcpcd amixer date hwclock hostapd iwlist proftpd ftpasswd killall iw udhcpc sync"
PANEL_IP=10.77.0.1
NET=10.77.0

usage() { sed -n '5,19p' "$0" | sed 's/^# \{0,1\}//'; }

die() { echo "cell: $*" >&2; exit 1; }

cell_up() {
    local dir=$1; shift
    local net=1 sd=0 stick=0 tag=$$ panelDown=0
    while [ $# -gt 0 ]; do
        case "$1" in
        --no-net) net=0 ;;
        --sd) sd=1 ;;
        --stick) stick=1 ;;
        --name) tag=$2; shift ;;
        --panel-down) panelDown=1 ;;
        *) die "unknown option $1" ;;
        esac
        shift
    done
    mkdir -p "$dir"
    dir=$(cd "$dir" && pwd)
    local sys=$dir/sysroot
    # Board files: GPIO tree, backlight, input devices, storage mounts, run folder.
    mkdir -p "$sys/sys/class/backlight/pwm-backlight" "$sys/dev/input" "$sys/media/mmcblk3p2" \
             "$sys/var/run" "$sys/proc/net"
    "$top/sim/gpio/gpio-tree" init "$sys"
    echo 100 >"$sys/sys/class/backlight/pwm-backlight/brightness"
    echo 100 >"$sys/sys/class/backlight/pwm-backlight/max_brightness"
    if [ "$sd" = 1 ]; then
        mkdir -p "$sys/media/mmcblk1p1"
        : >"$sys/dev/mmcblk1p1"
        # The panel writes to the card only once the mount table names it.
        echo "/dev/mmcblk1p1 /media/mmcblk1p1 vfat rw 0 0" >"$sys/proc/mounts"
    fi
    if [ "$stick" = 1 ]; then
        mkdir -p "$sys/media/sda1/backup"
        echo "stick of the simulated cell" >"$sys/media/sda1/readme.txt"
        : >"$sys/dev/sda1"
    fi
    # Touch screen and barcode scanner: FIFOs kept open by a keeper so readers block
    # instead of seeing end of file; write 16-byte input records into them to feed.
    local f
    for f in event0 event1; do
        [ -p "$sys/dev/input/$f" ] || mkfifo "$sys/dev/input/$f"
    done
    ( exec 3<>"$sys/dev/input/event0" 4<>"$sys/dev/input/event1"; exec sleep infinity ) \
        </dev/null >/dev/null 2>&1 &
    echo $! >"$dir/input-keeper.pid"
    # Recording stubs first on PATH.
    mkdir -p "$dir/stubs"
    local c
    for c in $STUBBED; do ln -sf "$top/sim/stubs/record-stub" "$dir/stubs/$c"; done
    # In the panel's namespace ifconfig and route also act (with ip), never outside it.
    for c in ifconfig route; do ln -sf "$top/sim/stubs/netns-stub" "$dir/stubs/$c"; done
    {
        echo "export KEST_SYSROOT='$sys'"
        echo "export KEST_STUB_LOG='$dir/commands.log'"
        echo "export PATH='$dir/stubs':\"\$PATH\""
    } >"$dir/cell.env"

    if [ "$net" = 1 ]; then
        [ "$(id -u)" -eq 0 ] || die "network namespaces need root (use --no-net)"
        local pns=kest-p-$tag tns=kest-t-$tag
        ip netns add "$pns"
        ip netns add "$tns"
        {
            echo "export CELL_PANEL_NS=$pns CELL_TOOLS_NS=$tns"
            echo "export CELL_PANEL_IP=$PANEL_IP CELL_TOOLS_IP=$NET.11"
            echo "export CELL_TOOL_IPS='$(seq -s ' ' -f "$NET.%g" 11 18)'"
            echo "export KEST_STUB_NETNS_APPLY=1"
        } >>"$dir/cell.env"
        ip -n "$pns" link set lo up
        ip -n "$tns" link set lo up
        ip link add "kp$tag" type veth peer name "kt$tag"
        ip link set "kp$tag" netns "$pns"
        ip link set "kt$tag" netns "$tns"
        ip -n "$pns" link set "kp$tag" name eth0
        ip -n "$tns" link set "kt$tag" name tools0
        [ "$panelDown" = 1 ] || ip -n "$pns" addr add "$PANEL_IP/24" dev eth0
        local i
        for i in $(seq 11 18) $(seq 31 38); do ip -n "$tns" addr add "$NET.$i/24" dev tools0; done
        ip -n "$tns" link set tools0 up
        ip -n "$tns" route add 224.0.0.0/4 dev tools0
        # Discovery multicast leaves through the cell link on both sides (the panel's
        # joins name eth0's address, which needs no route).
        if [ "$panelDown" = 0 ]; then
            ip -n "$pns" link set eth0 up
            ip -n "$pns" route add 224.0.0.0/4 dev eth0
        fi
    fi
    echo "cell: up in $dir"
}

cell_down() {
    local dir=$1
    [ -f "$dir/cell.env" ] || return 0
    # shellcheck disable=SC1091
    . "$dir/cell.env"
    if [ -f "$dir/input-keeper.pid" ]; then
        kill "$(cat "$dir/input-keeper.pid")" 2>/dev/null || true
        rm -f "$dir/input-keeper.pid"
    fi
    # Deleting a namespace removes its end of the veth pair and with it the other end.
    [ -n "${CELL_PANEL_NS:-}" ] && ip netns del "$CELL_PANEL_NS" 2>/dev/null || true
    [ -n "${CELL_TOOLS_NS:-}" ] && ip netns del "$CELL_TOOLS_NS" 2>/dev/null || true
    echo "cell: down"
}

cell_exec() {
    local which=$1 dir=$2; shift 2
    # shellcheck disable=SC1091
    . "$dir/cell.env"
    local ns
    if [ "$which" = panel ]; then ns=${CELL_PANEL_NS:-}; else ns=${CELL_TOOLS_NS:-}; fi
    if [ -n "$ns" ]; then exec ip netns exec "$ns" "$@"; else exec "$@"; fi
}

[ $# -ge 2 ] || { usage >&2; exit 2; }
case "$1" in
up) shift; cell_up "$@" ;;
down) cell_down "$2" ;;
panel|tools) cell_exec "$@" ;;
-h|--help) usage ;;
*) usage >&2; exit 2 ;;
esac
