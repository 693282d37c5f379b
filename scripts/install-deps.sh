#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the GUI need; only
# those that are missing, so a second run does nothing.
#   --windows  also the Windows cross build and Wine to run it
#              (scripts/build-windows.sh)
set -euo pipefail

packages=(
    g++ cmake ninja-build pkg-config
    clang-format  # the formatting check of scripts/test.sh
    qt6-base-dev qt6-qpa-plugins
    qt6-pdf-dev  # the report preview shows the PDF it builds off the window's thread
    qt6-translations-l10n  # Qt's own buttons and file dialogs in Chinese
    clang-14 libclang-rt-14-dev  # the libFuzzer build
    libgtest-dev
    libfreexl-dev libgsf-1-dev libxml2-dev libxlsxwriter-dev zlib1g-dev  # spreadsheet exchange
    fonts-wqy-microhei  # a CJK font: the whole interface is Chinese
    poppler-utils  # the report tests read the PDF's text and fonts back
    dpkg-dev desktop-file-utils  # the Debian package and its desktop entry check
)
if [ "${1:-}" = --windows ]; then
    # mingw-w64 with the posix thread model (std::thread), Wine to run what it
    # builds, GoogleTest's source to build it with the cross compiler.
    packages+=(g++-mingw-w64-x86-64-posix wine64 googletest)
fi

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
