#!/usr/bin/env bash
# Installs what the builds and tests need on a Debian machine, and only what is missing.
# Safe to run again: each package is checked first, and apt is not touched when all are present.
#   install-deps.sh          everything: native, fuzzing (clang), and the Windows build with its Wine tests
#   install-deps.sh native   only what the native build and its tests need
#   install-deps.sh bench    what make bench needs besides the builds
set -euo pipefail
scope=${1:-all}

want_native=(cmake g++ make libgtest-dev groff-base man-db)
want_fuzz=(clang libclang-rt-14-dev)
want_bench=(libbenchmark-dev hyperfine time valgrind)
want_windows=(locales g++-mingw-w64-i686-posix binutils-mingw-w64-i686 g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 wine32:i386 xvfb)

missing=()
is_installed() {
    [ "$(dpkg-query -W -f='${db:Status-Abbrev}' "$1" 2>/dev/null)" = "ii " ]
}

need_i386=0
case "$scope" in
native) wanted=("${want_native[@]}") ;;
bench) wanted=("${want_native[@]}" "${want_bench[@]}") ;;
*) wanted=("${want_native[@]}" "${want_windows[@]}" "${want_fuzz[@]}") ;;
esac
for pkg in "${wanted[@]}"; do
    if ! is_installed "$pkg"; then
        missing+=("$pkg")
        case "$pkg" in *:i386) need_i386=1 ;; esac
    fi
done

# The Windows tests run a double-byte code page, which Wine takes from this locale.
need_locale=0
case "$scope" in native | bench) ;; *) locale -a 2>/dev/null | grep -qix 'ja_JP.utf8' || need_locale=1 ;; esac

if [ ${#missing[@]} -eq 0 ] && [ "$need_locale" -eq 0 ]; then
    exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
    echo "install-deps: missing packages: ${missing[*]}; run as root or install them" >&2
    exit 1
fi

export DEBIAN_FRONTEND=noninteractive
if [ "$need_i386" -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
fi
if [ ${#missing[@]} -gt 0 ]; then
    echo "install-deps: installing ${missing[*]}"
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if [ "$need_locale" -eq 1 ]; then
    echo "install-deps: generating the ja_JP.UTF-8 locale"
    grep -qx 'ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null
fi
