#!/usr/bin/env bash
# Builds the Debian package from a build folder and checks it: its files and fields, lintian
# (errors fail), the desktop files' validators, and the programs run from a throw-away root
# the package is unpacked into (the tool finding its sound library there).
#
#   tests/packaging/package-test.sh BUILD_DIR VERSION
set -uo pipefail
build=$(realpath "${1:?usage: $0 BUILD_DIR VERSION}") || exit 1
version=${2:?usage: $0 BUILD_DIR VERSION}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" > "$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; exit 1; }
deb="$work/out/vsr-player_${version}_amd64.deb"
[[ -f $deb ]] || { fail "no $deb"; ls "$work/out"; exit 1; }

# Every file the package must hold.
listing=$(dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|')
for path in /usr/bin/vsrplayer /usr/bin/vsr /usr/lib/x86_64-linux-gnu/vsr-player/libsndkit.so \
    /usr/share/applications/vsrplayer.desktop /usr/share/mime/packages/vsr-player.xml \
    /usr/share/icons/hicolor/scalable/apps/vsrplayer.svg \
    /usr/share/icons/hicolor/{48x48,64x64,128x128,256x256}/apps/vsrplayer.png \
    /usr/share/metainfo/io.github.vsrplayer.VSRPlayer.metainfo.xml \
    /usr/share/man/man1/vsr.1.gz /usr/share/man/man1/vsrplayer.1.gz \
    /usr/share/bash-completion/completions/vsr \
    /usr/share/doc/vsr-player/copyright /usr/share/doc/vsr-player/changelog.gz; do
    grep -qx "$path" <<<"$listing" || fail "missing $path"
done
grep -v '/$' <<<"$listing" | grep -v '^/usr/' && fail "files outside /usr"

# The control fields; the dependencies come from dpkg-shlibdeps.
field() { dpkg-deb -f "$deb" "$1"; }
[[ $(field Package) == vsr-player && $(field Version) == "$version" &&
   $(field Architecture) == amd64 ]] || fail "fields: $(dpkg-deb -f "$deb" Package Version Architecture)"
for dependency in libqt6widgets6 libspeex1 libsdl2-2.0-0 libcurl4 libavcodec59 libc6; do
    [[ $(field Depends) == *"$dependency "* ]] || fail "Depends lacks $dependency: $(field Depends)"
done

lintian --fail-on error "$deb" > "$work/lintian.log" 2>&1 ||
    { fail "lintian"; cat "$work/lintian.log"; }

root="$work/root"
dpkg -x "$deb" "$root"
share="$root/usr/share"
desktop-file-validate "$share/applications/vsrplayer.desktop" || fail "desktop entry"
appstreamcli validate --no-net --explain "$share/metainfo/"*.metainfo.xml > "$work/as.log" 2>&1 ||
    { fail "metainfo"; cat "$work/as.log"; }
mkdir -p "$work/mime/packages" && cp "$share/mime/packages/vsr-player.xml" "$work/mime/packages/"
[[ -z $(XDG_DATA_DIRS="$work" update-mime-database "$work/mime" 2>&1) ]] || fail "MIME package"
for page in vsr vsrplayer; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [[ -z $warnings ]] || fail "man page $page: $warnings"
done

# The programs from the unpacked root: no build folder in reach, no display needed.
cd "$work"
vsr="$root/usr/bin/vsr"
[[ $("$vsr" --version | head -1) == "vsr $version (VSR Player)" ]] || fail "vsr --version: $("$vsr" --version)"
[[ $(env -u DISPLAY -u WAYLAND_DISPLAY "$root/usr/bin/vsrplayer" --version | head -1) == \
   "vsrplayer $version (VSR Player)" ]] || fail "vsrplayer --version"
"$vsr" demo -o demo.vsr > /dev/null || fail "vsr demo"
"$vsr" info demo.vsr | grep -q "1024" || fail "vsr info: $("$vsr" info demo.vsr 2>&1 | head -3)"
"$vsr" audio demo.vsr -o voice.wav || fail "vsr audio (the sound library from the package)"
[[ $(stat -c %s voice.wav 2>/dev/null || echo 0) -gt 100000 ]] || fail "voice.wav too small"

# The completion offers exactly the commands the tool lists.
listed=$("$vsr" --help | sed -n '/^commands:/,/^$/p' | awk 'NF>1 {print $1}' | sort | tr '\n' ' ')
offered=$(bash -c "source '$share/bash-completion/completions/vsr'; COMP_WORDS=(vsr ''); COMP_CWORD=1;
    _vsr; printf '%s\n' \"\${COMPREPLY[@]}\"" | grep -v '^-' | sort | tr '\n' ' ')
[[ $listed == "$offered" && -n $listed ]] || fail "completion offers '$offered', vsr lists '$listed'"

((failures == 0)) && echo "package: all checks pass"
exit $((failures > 0))
