# Shared by scripts/run and scripts/test: install what is missing, configure, build.
# shellcheck shell=bash

VARNEX_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
# help2man writes the man pages and rsvg-convert (librsvg2-bin) the icon's PNGs at build time.
VARNEX_PACKAGES=(g++ cmake ninja-build qt6-base-dev iproute2 net-tools help2man librsvg2-bin)
# What scripts/package needs besides: dpkg-shlibdeps (dpkg-dev), and file, with which
# CPack picks the programs to hand it.
VARNEX_PACKAGE_TOOLS=(dpkg-dev file)
# What scripts/check-package needs besides.
VARNEX_PACKAGE_CHECKS=(desktop-file-utils appstream lintian)

# Installs the Debian packages that are missing (as root), or names them and stops.
varnex_ensure_packages() {
    local missing=() p
    for p in "${VARNEX_PACKAGES[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "VarnexConfig needs these Debian packages: ${missing[*]}" >&2
        echo "Install them as root:  apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# varnex_configure_stamp DIR [cmake options...]: what a configured tree depends on
# beyond its CMakeLists, as one hash: the options, the tree's cache (which a hand-run
# cmake -D changes) and the names of the C++ files in the sources.
varnex_configure_stamp() {
    local dir=$1
    shift
    {
        printf '%s\n' "$@" --
        cat "$dir/CMakeCache.txt" 2>/dev/null || true
        (cd "$VARNEX_ROOT" && find src tests tools fuzz bench -type f \
            \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' \) | LC_ALL=C sort)
    } | sha256sum | cut -d' ' -f1
}

# varnex_build DIR [cmake options...] [--target T]...: configure and build one tree (or some targets).
varnex_build() {
    local dir=$1
    shift
    local target=()
    local args=()
    while [ $# -gt 0 ]; do
        if [ "$1" = --target ]; then target+=("$2"); shift 2; else args+=("$1"); shift; fi
    done
    # A configured tree re-runs CMake by itself when a CMakeLists.txt changes, and
    # AUTOMOC follows every file it was told about (a header gaining or losing
    # Q_OBJECT, a header its moc output includes), regenerating only what changed.
    # What neither sees is a file that arrives without a CMakeLists change, such as
    # a new header beside an existing source: AUTOMOC lists those at configure
    # time. So the tree is configured again, and each target's moc step made to
    # look again, only when the options, the cache or the names of the C++ files
    # changed.
    local stamp=$dir/varnex-configure.stamp
    if [ ! -f "$dir/build.ninja" ] ||
        [ "$(cat "$stamp" 2>/dev/null)" != "$(varnex_configure_stamp "$dir" "${args[@]}")" ]; then
        cmake -S "$VARNEX_ROOT" -B "$dir" -G Ninja "${args[@]}" >/dev/null
        find "$dir" -path '*_autogen/timestamp' -type f -delete
        varnex_configure_stamp "$dir" "${args[@]}" >"$stamp"
    fi
    if [ ${#target[@]} -gt 0 ]; then
        cmake --build "$dir" -j "$(nproc)" --target "${target[@]}"
    else
        cmake --build "$dir" -j "$(nproc)"
    fi
}
