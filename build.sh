#!/usr/bin/env bash
# One entry point for a fresh Debian 12 machine: installs what is missing, configures, builds,
# then runs the monitor, the tests, the benchmarks or the fuzzers.
#
#   ./build.sh run            build and start the monitor in ./out/zelmo
#   ./build.sh test           build and run every test (unit, pipeline, end to end)
#   ./build.sh test-sanitize  the same tests built with AddressSanitizer + UndefinedBehaviorSanitizer
#   ./build.sh test-tsan      the pipeline tests built with ThreadSanitizer
#   ./build.sh bench          the benchmarks, Release build
#   ./build.sh fuzz [SECONDS] each libFuzzer target for SECONDS (default 60), ASan + UBSan
#   ./build.sh package        the Debian packages, ./zelmo_VERSION_amd64.deb (the desktop's) and
#                             ./zelmo-server_VERSION_amd64.deb (the print server's, no Qt)
#   ./build.sh package-check  the packages, then lintian, the desktop entry, the unit, the manual
#                             pages, and an install into a fresh Debian 12 root (debootstrap)
#   ./build.sh windows        cross-build Zelmo.exe, zelmo-render.exe and the tests (mingw-w64)
#   ./build.sh package-windows  the setup program and the zip for Windows, with checksums
set -euo pipefail
cd "$(dirname "$0")"
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

PKG_BASE="cmake make g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev libpng-dev libdeflate-dev zlib1g-dev libtiff-dev fonts-dejavu-core libfreetype-dev fonts-urw-base35"
PKG_APP="qt6-base-dev qt6-translations-l10n libcups2-dev libsimpleini-dev"
PKG_E2E="locales cups cups-client cups-filters cups-ipp-utils ghostscript poppler-utils qpdf xvfb trayer x11-utils xdotool imagemagick libglib2.0-bin desktop-file-utils"
PKG_FUZZ="clang libclang-rt-14-dev"
PKG_PACKAGE="dpkg-dev file"
PKG_PACKAGE_CHECK="lintian desktop-file-utils systemd man-db debootstrap util-linux"
PKG_WINDOWS="g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev googletest zip nsis icoutils locales dpkg-dev fonts-urw-base35 fonts-dejavu-core"
PKG_WINE="wine wine64 xvfb imagemagick cups cups-client cups-filters ghostscript"

# Installs the named Debian packages that are not installed yet.
need() {
    local missing=()
    for p in "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "== installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -q
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "${missing[@]}"
}

# Configures (once) and builds the build folder $1 with the CMake options that follow; only
# the targets named in $targets when it is set.
build() {
    local dir=$1
    shift
    cmake -S "$root" -B "$root/$dir" "$@" >/dev/null
    cmake --build "$root/$dir" -j "$jobs" ${targets:+--target $targets}
}

# Cross-builds the Windows tree into build-windows (Zelmo.exe, zelmo-render.exe, the tests).
build_windows() {
    build build-windows -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
        -DZELMO_PORTABLE_BUILD="$root/build"
}

# Makes the Polish locale (from the package locales) into out/locale without touching the
# system's, and prints that folder for LOCPATH.
polish_locale() {
    local dir=$root/out/locale
    if [ ! -d "$dir/pl_PL.UTF-8" ]; then
        mkdir -p "$dir"
        localedef -i pl_PL -f UTF-8 "$dir/pl_PL.UTF-8" >&2
    fi
    echo "$dir"
}

# Runs ctest in the build folder $1 with the options that follow, under the C locale, then
# again under a Polish desktop's (a decimal comma; the toolkit sets the process locale from it).
ctest_both_locales() {
    local dir=$1 locales
    shift
    locales=$(polish_locale)
    (cd "$dir" && LC_ALL=C ctest --output-on-failure -j "$jobs" "$@")
    echo "== again under pl_PL.UTF-8"
    (cd "$dir" && LOCPATH=$locales LC_ALL=pl_PL.UTF-8 LANG=pl_PL.UTF-8 \
        ctest --output-on-failure -j "$jobs" "$@")
}

# Runs the Windows tests under Wine with one persistent wineserver, ended afterwards.
test_windows() {
    local status=0
    (cd build-windows && ctest --output-on-failure -j "$jobs" "$@") || status=$?
    WINEPREFIX="$root/build-windows/wineprefix" wineserver -k 2>/dev/null || true
    return $status
}

# The zip of the folder the Windows build staged (Zelmo.exe, read-mes, licences) and the setup
# program beside it in out/, each with its SHA-256 in a file of its own (no signature is made
# here: the checksum is what a user can hold the download against).
package_windows() {
    local version file
    version=$(sed -n 's/^project(Zelmo VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
    mkdir -p out
    rm -f "out/Zelmo-$version-windows.zip"
    (cd build-windows/package && zip -q -X -r "$root/out/Zelmo-$version-windows.zip" Zelmo)
    cp "build-windows/package/Zelmo-$version-setup.exe" out/
    for file in "Zelmo-$version-windows.zip" "Zelmo-$version-setup.exe"; do
        (cd out && sha256sum "$file" >"$file.sha256")
        echo "== out/$file"
    done
}

cmd=${1:-help}
shift || true
case "$cmd" in
run)
    need $PKG_BASE $PKG_APP
    # Only what runs: the monitor and the sample job's maker, not the tests.
    targets="zelmo zelmo-sample" build build -DZELMO_QT=ON
    # The monitor works in the folder of its executable: Wydruk.prn, the queue, Zelmo.ini and
    # the PDF printer's Wydruki all live beside it.
    mkdir -p out/zelmo
    cp build/shell/zelmo out/zelmo/zelmo
    build/tools/zelmo-sample out/zelmo/sample.prn
    echo "== Zelmo watches $root/out/zelmo/Wydruk.prn"
    echo "== to print the sample: cp out/zelmo/sample.prn out/zelmo/Wydruk.prn"
    exec out/zelmo/zelmo "$@"
    ;;
test)
    need $PKG_BASE $PKG_APP $PKG_E2E $PKG_WINDOWS $PKG_WINE
    build build -DZELMO_QT=ON
    ctest_both_locales build "$@"
    build_windows
    test_windows "$@"
    ;;
windows)
    need $PKG_BASE $PKG_WINDOWS
    build_windows
    ls -l build-windows/shell/win32/Zelmo.exe build-windows/tools/zelmo-render.exe
    ;;
package-windows)
    need $PKG_BASE $PKG_WINDOWS
    build_windows
    package_windows
    ;;
test-sanitize)
    need $PKG_BASE $PKG_APP $PKG_E2E
    build build-asan -DZELMO_SANITIZE=ON -DZELMO_QT=ON -DCMAKE_BUILD_TYPE=Debug
    (cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        ctest --output-on-failure -j "$jobs" "$@")
    # The shell's tests once more in the Polish locale, where a comma once overran a string.
    (cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
        LOCPATH=$(polish_locale) LC_ALL=pl_PL.UTF-8 LANG=pl_PL.UTF-8 \
        ctest --output-on-failure -j "$jobs" -L shell "$@")
    ;;
test-tsan)
    need $PKG_BASE
    build build-tsan -DZELMO_TSAN=ON -DZELMO_QT=OFF -DCMAKE_BUILD_TYPE=Debug
    (cd build-tsan && TSAN_OPTIONS=halt_on_error=1 ctest --output-on-failure -R 'Pipeline|Worker|Queue|Sync|Files' "$@")
    ;;
bench)
    need $PKG_BASE $PKG_APP
    build build-release -DCMAKE_BUILD_TYPE=Release -DZELMO_BENCH=ON -DZELMO_TESTS=OFF -DZELMO_QT=ON
    build-release/bench/zelmo_bench "$@"
    build-release/bench/zelmo_bench --table
    ;;
fuzz)
    need $PKG_BASE $PKG_FUZZ
    seconds=${1:-60}
    build build-fuzz -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DZELMO_FUZZ=ON \
        -DZELMO_SANITIZE=ON -DZELMO_TESTS=OFF -DZELMO_QT=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo
    fuzz/run.sh "$root/build-fuzz/fuzz" "$seconds"
    ;;
package)
    need $PKG_BASE $PKG_APP $PKG_PACKAGE
    # Debian's hardening flags, as a package built by dpkg-buildpackage would have them.
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    build build-package -DCMAKE_BUILD_TYPE=Release -DZELMO_TESTS=OFF -DZELMO_QT=ON -DCMAKE_INSTALL_PREFIX=/usr \
        -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
        -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)"
    (cd build-package && rm -f ./*.deb && cpack -G DEB >/dev/null)
    rm -f zelmo_*.deb zelmo-server_*.deb
    mv build-package/zelmo_*.deb build-package/zelmo-server_*.deb .
    echo "== $(ls zelmo_*.deb zelmo-server_*.deb)"
    ;;
package-check)
    need $PKG_BASE $PKG_APP $PKG_PACKAGE $PKG_PACKAGE_CHECK
    "$0" package
    # 77: this machine cannot run the install check (not root, no debootstrap); say so, go on.
    packaging/check_package.sh "$(ls zelmo_*.deb)" build-package/tools/zelmo-sample \
        "$(ls zelmo-server_*.deb)" || [ $? -eq 77 ]
    ;;
*)
    sed -n '2,15p' "$0"
    exit 2
    ;;
esac
