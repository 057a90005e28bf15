#!/usr/bin/env bash
# Checks an existing build as users get it: staged install (DESTDIR), the
# installed programs run from there with nothing of the build tree, a program
# built against the installed library, and, when tools/setup.sh package made
# them, the Debian packages' contents.
#   tools/check_install.sh [BUILD_DIR [PACKAGE_DIR]]   (PACKAGE_DIR: build-deb/packages)
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
stage=$work/stage

DESTDIR=$stage cmake --install "$build" >/dev/null
prefix=$(cmake -L -N "$build" | sed -n 's/^CMAKE_INSTALL_PREFIX:PATH=//p')
root=$stage$prefix
echo "installed into $root"

# No RPATH may point into the build tree or anywhere but beside the binary.
for f in "$root"/bin/* "$root"/lib*/libordwin.so.* "$root"/lib*/libwickport.so.* \
         "$root"/lib*/wickport/*.so; do
    [ -L "$f" ] && continue
    rpath=$(readelf -d "$f" | sed -n 's/.*R\(UN\)\{0,1\}PATH.*\[\(.*\)\]/\2/p')
    for entry in ${rpath//:/ }; do
        case "$entry" in
          '$ORIGIN'|'$ORIGIN/'*) ;;
          *) echo "FAIL: $f has RPATH entry $entry"; exit 1 ;;
        esac
    done
done

# The installed programs, from a clean environment and a directory of their own.
run() { (cd "$work" && env -i PATH="$root/bin:/usr/bin:/bin" HOME="$work/home" "$@"); }
mkdir -p "$work/home"
out=$(run WICKPORT_VIRTUAL=VZ0001 ordwin-smoke)
echo "$out"
grep -q "Connected to VZ0001" <<<"$out" || { echo "FAIL: installed ordwin-smoke did not connect"; exit 1; }
rule=$(run WICKPORT_USB_IDS=10c4:8253 ordwin-smoke udev-rule)
grep -q 'ATTRS{idVendor}=="10c4", ATTRS{idProduct}=="8253", TAG+="uaccess"' <<<"$rule" ||
    { echo "FAIL: udev-rule printed: $rule"; exit 1; }
if [ -x "$root/bin/cindral-cli" ]; then
    out=$(run WICKPORT_VIRTUAL="VZ0001;VZ0002" cindral-cli list)
    echo "$out"
    grep -q VZ0002 <<<"$out" || { echo "FAIL: installed cindral-cli list"; exit 1; }
fi
run QT_QPA_PLATFORM=offscreen cindral --help >/dev/null
run marlspin --help >/dev/null
for program in cindral cindral-cli marlspin zeltra-sim; do
    [ -x "$root/bin/$program" ] || continue
    version=$(run DISPLAY= "$program" --version)
    [[ $version =~ ^$program\ [0-9]+\.[0-9]+\.[0-9]+$ ]] ||
        { echo "FAIL: $program --version printed: $version"; exit 1; }
done

# A program of someone else's, through pkg-config (the staged tree as a
# sysroot, as for cross-building) and through find_package.
pcdir=$(dirname "$(find "$root" -name ordwin.pc)")
pc() { PKG_CONFIG_SYSROOT_DIR=$stage PKG_CONFIG_PATH=$pcdir pkg-config "$@"; }
flags=$(pc --cflags --libs ordwin)
echo "pkg-config: $flags"
[[ $flags == *..* ]] && { echo "FAIL: pkg-config paths are not plain: $flags"; exit 1; }
cat >"$work/use_ordwin.c" <<'C'
#include <ordwin.h>
#include <stdio.h>
int main(void) { printf("Ordwin %s\n", GetDLLVersion()); return 0; }
C
# shellcheck disable=SC2046
cc -o "$work/use_ordwin" "$work/use_ordwin.c" $flags
LD_LIBRARY_PATH=$stage$(PKG_CONFIG_PATH=$pcdir pkg-config --variable=libdir ordwin) "$work/use_ordwin"
mkdir -p "$work/cmake_user"
cp "$work/use_ordwin.c" "$work/cmake_user/"
cat >"$work/cmake_user/CMakeLists.txt" <<'CM'
cmake_minimum_required(VERSION 3.25)
project(use_ordwin C)
find_package(Ordwin 4 REQUIRED)
add_executable(use_ordwin use_ordwin.c)
target_link_libraries(use_ordwin PRIVATE Ordwin::ordwin)
CM
cmake -S "$work/cmake_user" -B "$work/cmake_user/build" -G Ninja -DCMAKE_PREFIX_PATH="$root" >/dev/null
cmake --build "$work/cmake_user/build" >/dev/null
"$work/cmake_user/build/use_ordwin"

# The Debian packages and what each holds.
packages=${2:-build-deb/packages}
if ls "$packages"/*.deb >/dev/null 2>&1; then
    declare -A wants=(
        [libordwin4]="usr/lib/*/libordwin.so.4"
        [libwickport1]="usr/lib/*/libwickport.so.1 usr/lib/udev/rules.d/70-wickport.rules"
        [libordwin-dev]="usr/include/ordwin.h usr/lib/*/libordwin.so usr/lib/*/pkgconfig/ordwin.pc
                         usr/lib/*/cmake/Ordwin/OrdwinConfig.cmake"
        [cindral]="usr/bin/cindral usr/share/applications/cindral.desktop
                   usr/share/icons/hicolor/48x48/apps/cindral.png usr/share/man/man1/cindral.1.gz"
        [cindral-cli]="usr/bin/cindral-cli usr/bin/marlspin usr/share/man/man1/cindral-cli.1.gz
                       usr/share/bash-completion/completions/cindral-cli
                       usr/share/zsh/vendor-completions/_cindral-cli
                       usr/share/fish/vendor_completions.d/cindral-cli.fish
                       usr/share/doc/cindral-cli/copyright usr/share/doc/cindral-cli/user-guide.md.gz"
        [zeltra-sim]="usr/bin/zeltra-sim usr/lib/*/wickport/libwickport-virtual.so"
    )
    for package in "${!wants[@]}"; do
        deb=$(ls "$packages/${package}"_*.deb 2>/dev/null | head -1)
        [ -n "$deb" ] || { echo "FAIL: no $package package in $packages"; exit 1; }
        contents=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '/$')
        for want in ${wants[$package]}; do
            found=0
            while read -r path; do [[ $path == ./$want ]] && found=1 && break; done <<<"$contents"
            [ $found = 1 ] || { echo "FAIL: $want missing from $deb"; exit 1; }
        done
        echo "$package: $(dpkg-deb -f "$deb" Version) ok"
    done
    # A production station runs the command line without Qt installed.
    deb=$(ls "$packages"/cindral-cli_*.deb | head -1)
    if dpkg-deb -f "$deb" Depends | grep -qi qt; then
        echo "FAIL: cindral-cli depends on Qt: $(dpkg-deb -f "$deb" Depends)"; exit 1
    fi
fi
# The installed command line needs no Qt library either.
if [ -x "$root/bin/cindral-cli" ] && readelf -d "$root/bin/cindral-cli" | grep -q 'NEEDED.*Qt'; then
    echo "FAIL: cindral-cli links Qt"; exit 1
fi
echo "install check passed"
