# Sourced by the Wine scripts: the Wine prefix of the Windows build folder
# $windows (build-windows/wineprefix), made on first use (a minute or so;
# later runs reuse it), and $wine and $wineserver for the two programs.
# Mono and Gecko are not installed into it: nothing here needs them.
export WINEPREFIX=$PWD/$windows/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=$(command -v wine64 || echo /usr/lib/wine/wine64)
wineserver=$(command -v wineserver || echo /usr/lib/wine/wineserver)
[ -f "$WINEPREFIX/system.reg" ] || "$wine" wineboot -i >/dev/null 2>&1
