#!/usr/bin/env bash
# Retakes the user guide's screenshots (docs/images/) from the real program:
# cindral --simulate on a private X server (Xvfb), two fresh virtual chips, each
# page shown by a click on its tab and captured with ImageMagick.
#   docs/screenshots.sh [BUILD_DIR]        (tools/setup.sh screenshots installs
#                                           Xvfb, xdotool and ImageMagick first)
# The clicks are at window positions for the default window size; a page whose
# layout moved much needs its positions below updated.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
out=$PWD/docs/images
for tool in Xvfb xdotool import; do
    command -v $tool >/dev/null || { echo "$tool is missing: tools/setup.sh screenshots" >&2; exit 2; }
done

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# A display of our own, free of any window manager.
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x960x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 50); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

# Fresh virtual chips and settings in a home of its own; a boot image to compose.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
export XDG_CACHE_HOME=$work/home/.cache QT_QPA_PLATFORM=xcb
unset WICKPORT_VIRTUAL WAYLAND_DISPLAY
mkdir -p "$HOME"
printf ':10000000000102030405060708090A0B0C0D0E0F78\r\n:00000001FF\r\n' >"$HOME/boot.hex"
"$build/bin/cindral-cli" --simulate compose --boot "$HOME/boot.hex@0x0200" --run \
    -o "$HOME/job.nbf" >/dev/null
"$build/bin/cindral" --simulate >"$work/cindral.log" 2>&1 &
pids+=($!)
window=$(xdotool search --sync --onlyvisible --name '^Cindral$' | head -1)
xdotool windowmove "$window" 0 0
sleep 1

click() { # x y, relative to the window
    xdotool mousemove --window "$window" "$1" "$2" click 1
    sleep "${3:-1}"
}
shot() { # name
    import -window "$window" "$out/$1.png"
    echo "docs/images/$1.png"
}

# Tab positions along the top of the tab frame (Main, Direct Burn, MTP Write,
# Device, CRC) and the Connect button, for the window's default size.
tab_y=${TAB_Y:-112}
tabs=(${TAB_X:-37 110 198 273 330})
connect=(${CONNECT_XY:-545 70})

# What each page shows before its picture: a button to press (x y), or text
# to type into the field at (x y). Empty: the page as it comes.
declare -A before=(
    [direct-burn]="click 41 201; click 380 330; type @1000 AA 55 12 34"
    [mtp-write]="click 75 228 3"
    [crc]="click 62 145 3"
)
type_text() { xdotool type --delay 20 "$*"; sleep 0.5; }

mkdir -p "$out"
shot not-connected
click "${connect[0]}" "${connect[1]}" 3
names=(main direct-burn mtp-write device crc)
for i in "${!names[@]}"; do
    click "${tabs[$i]}" "$tab_y" 2
    IFS=';' read -ra steps <<<"${before[${names[$i]}]:-}"
    for step in "${steps[@]}"; do
        read -ra words <<<"$step"
        case ${words[0]} in
          click) click "${words[@]:1}" ;;
          type) type_text "${words[@]:1}" ;;
        esac
    done
    shot "${names[$i]}"
done
