#!/usr/bin/env bash
# Installs what is missing, builds, and then starts the editor or runs the tests.
#   tools/dev.sh run [FILE...]   build (Release) and start quorvel with the files
#   tools/dev.sh test            build (Release) and run every test with CTest
set -euo pipefail

here=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${QUORVEL_BUILD_DIR:-$here/build}"

packages=(build-essential cmake ninja-build pkg-config qt6-base-dev libpcre2-dev
          libgtest-dev libgmock-dev libbenchmark-dev xvfb xauth xdotool x11-utils poppler-utils
          fonts-dejavu-core)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
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

case "${1:-}" in
run)
    shift
    install_missing
    configure_and_build
    exec "$build/bin/quorvel" "$@"
    ;;
test)
    install_missing
    configure_and_build
    cd "$build"
    exec ctest --output-on-failure -j"$(nproc)"
    ;;
*)
    echo "usage: $0 run [FILE...] | test" >&2
    exit 2
    ;;
esac
