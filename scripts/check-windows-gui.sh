#!/usr/bin/env bash
# Compiles the Qt sources (src/gui, src/app, src/pdf) for Windows as far as
# this machine allows: Debian has no Windows build of Qt, so mingw-w64 checks
# them syntax only (-fsyntax-only) against Debian's Qt 6 headers. That finds
# what does not compile for Windows in our code (a POSIX-only signal, a path
# handed to Qt as a narrow string where Windows has wide ones); it cannot
# link, nor judge what Qt's Linux configuration header decides for Windows.
# Needs g++-mingw-w64-x86-64-posix (scripts/install-deps.sh --windows).
set -euo pipefail
cd "$(dirname "$0")/.."
cxx=x86_64-w64-mingw32-g++-posix
qt=/usr/include/x86_64-linux-gnu/qt6
command -v "$cxx" >/dev/null || { echo "$cxx not installed" >&2; exit 2; }
[ -d "$qt/QtWidgets" ] || { echo "no Qt 6 headers under $qt" >&2; exit 2; }

flags=(-std=c++20 -fsyntax-only -Wno-attributes -Isrc
    -isystem "$qt" -isystem "$qt/QtCore" -isystem "$qt/QtGui" -isystem "$qt/QtWidgets"
    -isystem "$qt/QtPrintSupport" -isystem "$qt/QtPdf" -isystem "$qt/QtPdfWidgets"
    # as the GUI's own build defines them
    -DQT_NO_CAST_FROM_ASCII -DQT_NO_CAST_TO_ASCII -DQT_NO_CAST_FROM_BYTEARRAY -DQT_NO_KEYWORDS
    -DQT_NO_FOREACH -DQT_NO_URL_CAST_FROM_STRING -DQT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    -DVELSEND_VERSION='"0"' -DVELSEND_SOURCE_GUIDE='"."')
files=$(find src/gui src/app src/pdf -name '*.cpp' | sort)
count=$(echo "$files" | wc -l)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
# One compiler per file, as many at once as there are cores.
echo "$files" | xargs -P "$(nproc)" -n 1 "$cxx" "${flags[@]}" >"$log" 2>&1 || true
if grep -q 'error:' "$log"; then
    grep -E 'error:' "$log" | head -40
    echo "the Qt sources do not all compile for Windows (syntax check of $count files)"
    exit 1
fi
echo "$count Qt source files compile for Windows (syntax only, against Debian's Qt headers)"
