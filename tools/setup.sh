#!/usr/bin/env bash
# One-stop set-up for a fresh Debian 12 machine.
#   tools/setup.sh run    install, build, start the main job on virtual adapters
#   tools/setup.sh test   install, build (warnings are errors), run every test
#   tools/setup.sh package  install, build, make the Debian package (BUILD_DIR/*.deb)
# Options through the environment: BUILD_DIR (default build), SANITIZE=1, NO_INSTALL=1.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(build-essential cmake ninja-build pkg-config qt6-base-dev libhidapi-dev libserialport-dev
          sdcc sdcc-ucsim libgtest-dev libgmock-dev libcli11-dev nlohmann-json3-dev libbenchmark-dev
          dpkg-dev file)

install_packages() {
    [ "${NO_INSTALL:-0}" = 1 ] && return 0
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

build() {
    local dir=$1; shift
    cmake -S . -B "$dir" -G Ninja "$@"
    cmake --build "$dir"
}

# Without a display: the whole job headless with cindral-cli, on a virtual chip
# of its own that lives in a temporary directory.
headless_job() {
    local cli=$1/bin/cindral-cli work
    work=$(mktemp -d)
    printf ':10000000000102030405060708090A0B0C0D0E0F78\r\n:00000001FF\r\n' >"$work/boot.hex"
    export WICKPORT_VIRTUAL="VZ0001:state=$work/VZ0001"
    set -x
    "$cli" compose --boot "$work/boot.hex@0x0200" --run -o "$work/job.nbf"
    "$cli" burn "$work/job.nbf" -a VZ0001
    "$cli" info -a VZ0001
}

mode=${1:-}
dir=${BUILD_DIR:-build}
case "$mode" in
  run)
    install_packages
    build "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    if [ -z "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ] &&
       [ -x "$dir/bin/cindral-cli" ]; then
        headless_job "$dir"
        exit
    fi
    if [ -x "$dir/bin/cindral" ]; then
        exec "$dir/bin/cindral" --simulate
    fi
    exec "$dir/bin/ordwin-smoke"
    ;;
  test)
    install_packages
    flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo -DZT_WERROR=ON)
    [ "${SANITIZE:-0}" = 1 ] && flags+=(-DZT_SANITIZE=ON -DZT_BENCH=OFF)
    build "$dir" "${flags[@]}"
    QT_QPA_PLATFORM=offscreen ctest --test-dir "$dir" --output-on-failure -j2
    ;;
  package)
    install_packages
    build "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo
    (cd "$dir" && cpack -G DEB)
    ;;
  *)
    echo "usage: tools/setup.sh run|test|package" >&2
    exit 2
    ;;
esac
