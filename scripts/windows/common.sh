# Shared by the scripts/*windows* scripts: the versions of the Windows
# libraries (Debian's source packages) and where their build is kept.
HOST=x86_64-w64-mingw32
JOBS=${JOBS:-2}
WINDOWS_CACHE=${TRIALIX_WINDOWS_CACHE:-/var/cache/trialix-windows}

V_libffi=3.4.4-1
V_pcre2=10.42-1
V_glib=2.74.6-2+deb12u9
V_libpng=1.6.39-2+deb12u5
V_libjpeg=1:2.1.5-2
V_pixman=0.42.2-1
V_harfbuzz=6.0.0+dfsg-3
V_fribidi=1.0.8-2.1
V_cairo=1.16.0-7
V_pango=1.50.12+ds-1
V_gdkpixbuf=2.42.10+dfsg-1+deb12u4
V_atk=2.56.2-1+deb13u2
V_gtk=2.24.33-2+deb12u1
V_bzip2=1.0.8-5
V_sqlite=3.40.1-2+deb12u2
# A library that carries a fix of ours (scripts/windows/*.patch) has a
# revision of it here, raised with the fix. It names the library's stamp,
# not the prefix: the library alone is built again in place, and what links
# it needs no rebuild, since the fixes change no interface.
R_pango=1
# GoogleTest comes from the build machine's own package (its sources
# are in /usr/src/googletest).
V_gtest=$(dpkg-query -W -f='${Version}' googletest 2>/dev/null || echo none)

# The prefix is named after every version (and the build recipe's
# revision, raised when a library's options change), so a change of any of
# them builds a new one and the old one can simply be deleted.
WINDOWS_RECIPE=1
windows_prefix() {
    key=$(printf '%s\n' "$WINDOWS_RECIPE" "$V_libffi" "$V_pcre2" "$V_glib" "$V_libpng" "$V_libjpeg" \
        "$V_pixman" "$V_harfbuzz" "$V_fribidi" "$V_cairo" "$V_pango" "$V_gdkpixbuf" "$V_atk" \
        "$V_gtk" "$V_bzip2" "$V_sqlite" "$V_gtest" | sha256sum | cut -c1-12)
    echo "$WINDOWS_CACHE/prefix-$key"
}

# The DLLs that a Windows program or DLL imports, one a line.
windows_imports() {
    $HOST-objdump -p "$1" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr -d '\r'
}

# A Wine prefix of our own in $1, made on first use (quietly: no prompt
# for Mono or Gecko, which nothing here needs).
wine_setup() {
    export WINEPREFIX="$1" WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        mkdir -p "$WINEPREFIX"
        timeout "$WINE_LIMIT" wineboot -i >/dev/null 2>&1
        timeout "$WINE_LIMIT" wineserver -w
    fi
}

# Every Wine program run by the scripts ends within this many seconds:
# a program that hangs under Wine fails the script instead of holding it.
WINE_LIMIT=300

# Ends the Wine server of the prefix $1 (and everything it still runs).
wine_stop() {
    WINEPREFIX="$1" timeout 60 wineserver -k 2>/dev/null || true
    WINEPREFIX="$1" timeout 60 wineserver -w 2>/dev/null || true
}
