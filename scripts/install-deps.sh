#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, if any is missing.
set -euo pipefail
packages=(cmake g++ make ninja-build libgtest-dev libgmock-dev python3 openssl
          libcurl4-openssl-dev curl util-linux clang-format libncurses-dev tmux)
# --win32: also the mingw-w64 compiler that checks the program code against
# the real Win32 headers; --clang: also clang, CI's second compiler; --wine:
# also Wine, an X server without a screen and a screenshot tool, to build
# Skylode.exe and run it and its tests under Wine; --fuzz: also clang and its
# runtime (libFuzzer and the sanitizers) for scripts/fuzz.sh.
for option in "$@"; do
  case $option in
    --win32) packages+=(g++-mingw-w64-x86-64-posix) ;;
    --clang) packages+=(clang) ;;
    --wine) packages+=(g++-mingw-w64-x86-64-posix wine wine64 xvfb imagemagick) ;;
    --fuzz) packages+=(clang libclang-rt-14-dev) ;;
    *) echo "unknown option: $option" >&2; exit 2 ;;
  esac
done
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" = 0 ] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
