#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and then starts the editor or runs the tests.
#   tools/dev.sh run [FILE...]   build (Release) and start quorvel with the files
#   tools/dev.sh test            build (Release) and run every test with CTest;
#                                with QUORVEL_FUZZ=1 also build the fuzz targets
#                                (clang, build-fuzz/) and run each for 20 s
#   tools/dev.sh fuzz [SECONDS]  build the fuzz targets and run each for SECONDS
#   tools/dev.sh package         build with Debian's flags (build-deb/) and make
#                                the .deb there; lintian checks it when installed
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${QUORVEL_BUILD_DIR:-$here/build}"
fuzz_build="${QUORVEL_FUZZ_BUILD_DIR:-$here/build-fuzz}"
deb_build="${QUORVEL_DEB_BUILD_DIR:-$here/build-deb}"

packages=(build-essential cmake ninja-build pkg-config qt6-base-dev libpcre2-dev
          libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool x11-utils x11-xkb-utils
          poppler-utils fonts-dejavu-core libxcb1-dev desktop-file-utils appstream
          at-spi2-core python3-pyatspi dbus)
# libFuzzer and the sanitizer runtimes come with clang's runtime package.
fuzz_packages=(clang libclang-rt-14-dev)

install_missing() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y "${missing[@]}"
}

configure_and_build() {
    cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release
    cmake --build "$build" -j"$(nproc)"
}

# A build of its own: every target in it is instrumented. Debug keeps Qt's
# own assertions (index checks) alive; -O1 keeps the runs fast. Each step
# returns on failure: callers run this under "||", where set -e does not act.
fuzz_build_and_run() {
    local seconds=$1
    install_missing "${fuzz_packages[@]}" || return
    cmake -S "$here" -B "$fuzz_build" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG="-O1 -gline-tables-only" \
        -DCMAKE_CXX_FLAGS_DEBUG="-O1 -gline-tables-only" -DQUORVEL_FUZZ=ON -DQUORVEL_FUZZ_SECONDS="$seconds" \
        -DQUORVEL_BUILD_TESTS=OFF -DQUORVEL_BUILD_BENCH=OFF || return
    cmake --build "$fuzz_build" -j"$(nproc)" --target fuzz_all || return
    (cd "$fuzz_build" && ctest -L fuzz --output-on-failure -j"$(nproc)")
}

case "${1:-}" in
run)
    shift
    install_missing "${packages[@]}"
    configure_and_build
    exec "$build/bin/quorvel" "$@"
    ;;
test)
    install_missing "${packages[@]}"
    configure_and_build
    # Both summaries are printed; either failing fails the command.
    status=0
    (cd "$build" && ctest --output-on-failure -j"$(nproc)") || status=$?
    if [ "${QUORVEL_FUZZ:-0}" = 1 ]; then
        fuzz_build_and_run 20 || status=$?
    fi
    exit "$status"
    ;;
fuzz)
    install_missing "${packages[@]}"
    fuzz_build_and_run "${2:-20}"
    ;;
package)
    install_missing "${packages[@]}" dpkg-dev
    cmake -S "$here" -B "$deb_build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQUORVEL_DPKG_BUILDFLAGS=ON \
        -DQUORVEL_BUILD_TESTS=OFF -DQUORVEL_BUILD_BENCH=OFF
    cmake --build "$deb_build" -j"$(nproc)"
    (cd "$deb_build" && cpack -G DEB)
    if command -v lintian >/dev/null; then
        lintian "$deb_build"/quorvel_*.deb
    fi
    ;;
*)
    echo "usage: $0 run [FILE...] | test | fuzz [SECONDS] | package" >&2
    exit 2
    ;;
esac
