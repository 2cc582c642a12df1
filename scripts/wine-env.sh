# Sourced by the Wine scripts: the project's own prefix and a quiet 64-bit
# Wine. The kernels of these machines run no 32-bit Linux programs, so
# Wine's 32-bit loader cannot start; tests run 64-bit builds under wine64.
# QUILL_WINEPREFIX picks another prefix (the rendering checks use one with a
# display driver).
quill_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export WINEPREFIX=${QUILL_WINEPREFIX:-$quill_root/build/wine}
export WINEARCH=win64
export WINELOADER=/usr/lib/wine/wine64
export WINESERVER=/usr/lib/wine/wineserver64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
# Wine's WinINet honours http_proxy: loopback requests must never go to one.
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY
export no_proxy=127.0.0.1,localhost NO_PROXY=127.0.0.1,localhost
quill_wine() { "$WINELOADER" "$@"; }
