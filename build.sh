#!/bin/sh
# Sets up a Debian 12 or 13 machine for vexlade, builds it, and then:
#   ./build.sh play    plays the default demo (generated once, kept in build/)
#   ./build.sh test    runs the whole test suite
#   ./build.sh build   only builds
#   ./build.sh package builds the Debian packages build/vexlade_<version>~<release>_<arch>.deb
#                      (the player) and build/vexl_<version>~<release>_<arch>.deb (the tool)
#   ./build.sh web     builds with the web player and writes the default
#                      demo's site to build/site (serve it with any web server)
#   ./build.sh asan    builds with ASan+UBSan in build-asan/ and runs the tests
#   ./build.sh tsan    builds with TSan in build-tsan/ and runs the tests
#   ./build.sh windows cross-builds vexlade.exe with mingw-w64 in
#                      build-windows/ and writes
#                      build-windows/vexlade-<version>-windows-x64.zip
# Every step is idempotent: packages already installed are not fetched
# again, and an existing build tree is only brought up to date.
set -eu

mode=${1:-play}
top=$(cd "$(dirname "$0")" && pwd)

# The release, the one thing in this script that knows of releases: a
# package whose name differs between them is named here. Every package
# below has the same name on Debian 12 (bookworm) and 13 (trixie).
release=$( (. /etc/os-release && echo "${VERSION_CODENAME:-}") 2>/dev/null || true)
release_packages=""
case "$release" in
  bookworm|trixie) ;;
  *) echo "Note: vexlade is tried on Debian 12 and 13, not on '${release:-this system}'." >&2 ;;
esac

# What building needs, what the web player needs on top (emscripten), and
# what the tests need (terminal and X display for the end-to-end tests, a
# browser for the web player's).
build_packages="build-essential cmake pkg-config liblzo2-dev libsdl2-dev libsndfile1-dev
  libpng-dev console-data libgtest-dev libgmock-dev libbenchmark-dev scdoc file"
web_packages="emscripten"
# The Windows player: the cross compiler; wine64 runs it in the tests.
windows_packages="g++-mingw-w64-x86-64-posix"
test_packages="$web_packages $windows_packages wine64 tmux xvfb xauth xdotool x11-apps chromium chromium-driver
  python3-selenium x11-utils evilwm desktop-file-utils man-db bash-completion python3-pyte xterm xfonts-base
  lintian appstream"
# vexl record encodes through FFmpeg's libraries; vexl web deflates its
# frames with libdeflate.
build_packages="$build_packages libavformat-dev libavcodec-dev libswscale-dev libswresample-dev libavutil-dev
  libdeflate-dev $release_packages"

case "$mode" in
  play|build) packages=$build_packages ;;
  web|package) packages="$build_packages $web_packages" ;;
  test|asan|tsan) packages="$build_packages $test_packages" ;;
  windows) packages="$build_packages $windows_packages" ;;
  *) echo "usage: $0 [play|test|build|web|package|asan|tsan|windows]" >&2; exit 2 ;;
esac

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

missing=""
for p in $packages; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing="$missing $p"
  fi
done
if [ -n "$missing" ]; then
  echo "Installing:$missing"
  as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q
  # shellcheck disable=SC2086
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
fi

jobs=$(nproc 2>/dev/null || echo 2)

# A tree configured before a tool was installed looks for it again.
newly_installed() {  # newly_installed DIR CACHE_VARIABLE COMMAND
  [ -x "$(command -v "$3")" ] || [ -x "/usr/lib/wine/$3" ] || return 1
  grep -q "^$2:FILEPATH=.*NOTFOUND" "$1/CMakeCache.txt"
}

configure_tree() {  # configure_tree DIR [cmake options...]
  dir=$1; shift
  if [ ! -f "$dir/CMakeCache.txt" ] || newly_installed "$dir" VEXL_EMCC emcc ||
     newly_installed "$dir" VEXL_MINGW_CXX x86_64-w64-mingw32-g++-posix ||
     newly_installed "$dir" VEXL_WINE64 wine64; then
    cmake -S "$top" -B "$dir" "$@"
  fi
}

build_tree() {  # build_tree DIR [cmake options...]
  configure_tree "$@"
  cmake --build "$1" -j "$jobs"
}

run_tests() {  # run_tests DIR
  ctest --test-dir "$1" --output-on-failure -j "$jobs" --timeout 600
}

case "$mode" in
  build)
    build_tree "$top/build"
    ;;
  package)
    build_tree "$top/build"
    cpack --config "$top/build/CPackConfig.cmake"
    ;;
  test)
    build_tree "$top/build"
    run_tests "$top/build"
    ;;
  asan)
    build_tree "$top/build-asan" -DVEXL_SANITIZE=address,undefined -DVEXL_BUILD_BENCH=OFF
    run_tests "$top/build-asan"
    ;;
  tsan)
    build_tree "$top/build-tsan" -DVEXL_SANITIZE=thread -DVEXL_BUILD_BENCH=OFF
    run_tests "$top/build-tsan"
    ;;
  windows)
    # The default demo comes from the Linux build's vexl.
    configure_tree "$top/build"
    cmake --build "$top/build" -j "$jobs" --target vexl_default_demo
    configure_tree "$top/build-windows" -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" \
      -DVEXL_WINDOWS_DEMO_DIR="$top/build/demo"
    cmake --build "$top/build-windows" -j "$jobs"
    echo "The Windows player is in build-windows/vexlade-*-windows-x64.zip"
    ;;
  play|web)
    build_tree "$top/build"
    demo="$top/build/demo"
    vexl="$top/build/tools/vexl"
    # The default demo, made once, and again whenever vexl (and so the
    # demo) has been rebuilt since.
    if [ ! -f "$demo/ld_vexl.d1" ] || [ ! -f "$demo/ld_vexl.d2" ] ||
       [ "$vexl" -nt "$demo/ld_vexl.d1" ]; then
      "$vexl" mkdemo "$demo"
    fi
    if [ "$mode" = web ]; then
      "$vexl" web "$demo" "$top/build/site"
      echo "The web player is in build/site: python3 -m http.server -d build/site 8000"
      exit 0
    fi
    # The player takes its files from the current directory.
    cd "$demo"
    exec "$top/build/player/vexlade"
    ;;
esac
