#!/usr/bin/env bash
# One-stop set-up for a fresh Debian 12 machine.
#   tools/setup.sh run    install, build, start the main job on virtual adapters
#   tools/setup.sh test   install, build (warnings are errors), run every test
#   tools/setup.sh package  install, build the Debian packages from debian/ (no tests,
#                         no benchmarks) into BUILD_DIR/packages/ (default build-deb)
#                         and check them with lintian: no error, no warning
#   tools/setup.sh screenshots  install Xvfb and friends, build, retake the user guide's
#                         screenshots (docs/images/) from the real program
#   tools/setup.sh windows  install mingw-w64 and Wine (64 and 32 bit), cross-build the
#                         Qt-free tree for x86_64 (build-win64) and i686 (build-win32)
#                         and run its tests under Wine
#   tools/setup.sh fuzz [SECONDS]  clang build with the fuzz targets under ASan/UBSan,
#                         each target run SECONDS (default 60) from its corpus,
#                         or FUZZ_RUNS executions each when that is set
# Options through the environment: BUILD_DIR (default build, build-fuzz for fuzz),
# SANITIZE=1, CLANG=1, FUZZ=1 (clang with the fuzz targets), NO_INSTALL=1,
# CTEST_ARGS (more ctest arguments, e.g. -LE fault_matrix).
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(build-essential cmake ninja-build pkg-config qt6-base-dev libhidapi-dev libserialport-dev
          sdcc sdcc-ucsim libgtest-dev libgmock-dev libcli11-dev nlohmann-json3-dev libbenchmark-dev
          dpkg-dev file clang libclang-rt-14-dev debhelper help2man lintian bash-completion
          libsqlite3-dev libpq-dev postgresql libgcrypt20-dev)
# Only for retaking the user guide's screenshots.
SCREENSHOT_PACKAGES=(xvfb xdotool imagemagick x11-utils)

install_packages() {
    [ "${NO_INSTALL:-0}" = 1 ] && return 0
    local missing=()
    for p in "${PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

# The Windows builds' compilers and Wine; wine32 needs the i386 architecture.
WINDOWS_PACKAGES=(mingw-w64 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix wine wine64 wine32
                  libgcrypt-mingw-w64-dev)

install_windows_packages() {
    [ "${NO_INSTALL:-0}" = 1 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        $sudo dpkg --add-architecture i386
    fi
    local missing=()
    for p in "${WINDOWS_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
}

# Cross-builds one architecture and runs its tests under Wine; tests that need
# a Linux-only facility say so as skipped.
windows_build_and_test() {
    local arch=$1 dir=$2
    local launcher=()
    command -v ccache >/dev/null && launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache
                                             -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
    build "$dir" -DCMAKE_TOOLCHAIN_FILE="cmake/$arch-w64-mingw32.cmake" \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZT_WERROR=ON "${launcher[@]}" \
        -DZT_HOST_ZELTRA_SIM="$PWD/$host_dir/bin/zeltra-sim"
    # shellcheck disable=SC2086
    ctest --test-dir "$dir" --output-on-failure -j2 ${CTEST_ARGS:-}
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

# The Debian packages from a copy of the tree (dpkg-buildpackage writes beside
# its source), then lintian on each: any error or warning fails.
build_packages() {
    local dir=$1 version src
    version=$(dpkg-parsechangelog -S Version)
    src="$dir/source/zeltra-toolchain-$version"
    rm -rf "$dir/source" "$dir/packages"
    mkdir -p "$src" "$dir/packages"
    if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$src"
    else
        tar --exclude='./build*' --exclude='./obj-*' -cf - . | tar -xf - -C "$src"
    fi
    command -v ccache >/dev/null && export CMAKE_C_COMPILER_LAUNCHER=ccache CMAKE_CXX_COMPILER_LAUNCHER=ccache
    (cd "$src" && dpkg-buildpackage -b -us -uc -j"$(nproc)")
    mv "$dir"/source/*.deb "$dir/packages/"
    mv "$dir"/source/*.ddeb "$dir"/source/*.buildinfo "$dir"/source/*.changes "$dir/packages/" 2>/dev/null || true
    ls -l "$dir/packages"
    lintian --fail-on error,warning "$dir"/packages/*.deb
    echo "lintian: no error, no warning"
}

# Runs every fuzz target for $2 seconds (or FUZZ_RUNS executions) on its
# committed corpus; new inputs go to the build directory, findings too, and the
# execs and seconds of each are summed up.
run_fuzzers() {
    local dir=$1 seconds=$2 failed=0 summary=""
    local out="$dir/fuzz-runs" limit=-max_total_time="$seconds"
    [ -n "${FUZZ_RUNS:-}" ] && limit=-runs="$FUZZ_RUNS"
    mkdir -p "$out"
    for corpus in fuzz/corpus/*/; do
        local name
        name=$(basename "$corpus")
        mkdir -p "$out/$name"
        local log="$out/$name.log" start=$SECONDS
        if ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 QT_QPA_PLATFORM=offscreen \
            LSAN_OPTIONS=suppressions="$PWD/fuzz/lsan.supp" \
            WICKPORT_VIRTUAL= "$dir/bin/fuzz_$name" "$limit" -timeout=10 \
            -rss_limit_mb=4096 -max_len=8192 -print_final_stats=1 \
            -artifact_prefix="$out/$name-" "$out/$name" "$corpus" >"$log" 2>&1; then
            summary+=$(printf '%-22s %12s execs %6s s\n' "$name" \
                "$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")" \
                "$((SECONDS - start))")$'\n'
        else
            failed=1
            summary+="$name FAILED, see $log"$'\n'
            tail -n 40 "$log" >&2
        fi
    done
    printf '%s' "$summary"
    return $failed
}

mode=${1:-}
default_dir=build
[ "$mode" = fuzz ] && default_dir=build-fuzz
[ "$mode" = package ] && default_dir=build-deb
dir=${BUILD_DIR:-$default_dir}
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
    [ "${CLANG:-0}" = 1 ] && flags+=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++)
    [ "${FUZZ:-0}" = 1 ] && flags+=(-DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++
                                    -DZT_SANITIZE=ON -DZT_BENCH=OFF -DZT_FUZZ=ON)
    build "$dir" "${flags[@]}"
    # shellcheck disable=SC2086
    QT_QPA_PLATFORM=offscreen ctest --test-dir "$dir" --output-on-failure -j2 ${CTEST_ARGS:-}
    ;;
  package)
    install_packages
    build_packages "$dir"
    ;;
  screenshots)
    install_packages "${SCREENSHOT_PACKAGES[@]}"
    build "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZT_TESTS=OFF -DZT_BENCH=OFF
    docs/screenshots.sh "$dir"
    ;;
  windows)
    install_packages
    install_windows_packages
    export WINEDEBUG=${WINEDEBUG:--all}
    # One server stays until this script ends, builds included: a server that
    # ends after an idle moment can take the next test with it ("recvmsg:
    # Connection reset by peer"). The prefix's services start under it here,
    # on /dev/null: started by a build step instead, they would hold Ninja's
    # output pipe open for as long as the server lives.
    wineserver -k 2>/dev/null || true
    wineserver -p
    trap 'wineserver -k 2>/dev/null || true' EXIT
    wineboot --init </dev/null >/dev/null 2>&1 || true
    # The serial test's far end: a Linux zeltra-sim behind a pseudo-terminal.
    host_dir=${LINUX_BUILD_DIR:-build}
    cmake -S . -B "$host_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
    cmake --build "$host_dir" --target zeltra-sim
    windows_build_and_test x86_64 "${BUILD_DIR:-build-win64}"
    windows_build_and_test i686 "${BUILD_DIR32:-build-win32}"
    ;;
  fuzz)
    install_packages
    build "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZT_WERROR=ON -DCMAKE_C_COMPILER=clang \
        -DCMAKE_CXX_COMPILER=clang++ -DZT_SANITIZE=ON -DZT_BENCH=OFF -DZT_FUZZ=ON
    run_fuzzers "$dir" "${2:-60}"
    ;;
  *)
    echo "usage: tools/setup.sh run|test|package|screenshots|windows|fuzz [SECONDS]" >&2
    exit 2
    ;;
esac
