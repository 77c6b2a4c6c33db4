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

# varnex_build DIR [cmake options...] [--target T]...: configure and build one tree (or some targets).
varnex_build() {
    local dir=$1
    shift
    local target=()
    local args=()
    while [ $# -gt 0 ]; do
        if [ "$1" = --target ]; then target+=("$2"); shift 2; else args+=("$1"); shift; fi
    done
    # An existing tree can keep stale moc output when files gain Q_OBJECT or new
    # headers arrive; regenerating it costs seconds.
    if [ -d "$dir" ]; then
        find "$dir" -type d -name '*_autogen' -prune -exec rm -rf {} + 2>/dev/null || true
    fi
    cmake -S "$VARNEX_ROOT" -B "$dir" -G Ninja "${args[@]}" >/dev/null
    if [ ${#target[@]} -gt 0 ]; then
        cmake --build "$dir" -j "$(nproc)" --target "${target[@]}"
    else
        cmake --build "$dir" -j "$(nproc)"
    fi
}
