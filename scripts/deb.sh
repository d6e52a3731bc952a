#!/usr/bin/env bash
# Builds the Debian package build/deb/latticeview_VERSION_ARCH.deb from this
# tree with debhelper (debian/), then checks it: lintian with no errors and no
# warnings, its desktop entry with desktop-file-validate and for what we chose
# (a terminal, the Physics category), its icons of 16 to 32 pixels for a
# lattice of sharp points, its AppStream metainfo with appstreamcli. Writes nothing outside build/: dpkg-buildpackage
# builds in a copy of the tree, build/deb/src, and puts the package beside it.
# The version, in debian/changelog, is the one of CMake's project(VERSION).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
. "$root/scripts/packages.sh"

ensure_packages "${BUILD_PACKAGES[@]}" debhelper dpkg-dev fakeroot librsvg2-bin lintian desktop-file-utils appstream \
    imagemagick

version=$(sed -n 's/^project(latticeview VERSION \([0-9][0-9.]*\) .*/\1/p' "$root/CMakeLists.txt")
release_date=$(sed -n 's/^set(LBM_RELEASE_DATE \([0-9-]*\))$/\1/p' "$root/CMakeLists.txt")
[ -n "$version" ] && [ -n "$release_date" ] ||
    { echo "deb.sh: no project(latticeview VERSION ...) or LBM_RELEASE_DATE in CMakeLists.txt" >&2; exit 1; }

out="$root/build/deb"
rm -rf "$out"
mkdir -p "$out/src"
# The tree's files: in a checkout those git does not ignore, as they are now;
# in a copy without git (git archive's) all but build/.
if git -C "$root" rev-parse --show-toplevel >/dev/null 2>&1; then
    (cd "$root" && git ls-files -z --cached --others --exclude-standard | while IFS= read -r -d '' file; do
        [ -e "$file" ] && printf '%s\0' "$file"
    done | tar --null -T - -c) | tar -x -C "$out/src"
else
    tar -C "$root" --exclude=./build -c . | tar -x -C "$out/src"
fi

maintainer=$(sed -n 's/^Maintainer: //p' "$root/debian/control")
cat >"$out/src/debian/changelog" <<CHANGELOG
latticeview ($version) unstable; urgency=medium

  * Release $version.

 -- $maintainer  $(LC_ALL=C date -u -R -d "$release_date 00:00:00 UTC")
CHANGELOG

(cd "$out/src" && dpkg-buildpackage -b -us -uc)
arch=$(dpkg --print-architecture)
deb="$out/latticeview_${version}_$arch.deb"
[ -f "$deb" ] || { echo "deb.sh: $deb was not built" >&2; exit 1; }

# The checks, on the files the package holds.
check "lintian: no error or warning" lintian --fail-on error,warning --pedantic -I "$deb"
contents="$out/contents"
dpkg-deb -x "$deb" "$contents"
check "desktop-file-validate" desktop-file-validate "$contents"/usr/share/applications/*.desktop
# What the validator accepts either way: the probe reports need a terminal,
# and the menu files the program under Physics.
entry="$contents/usr/share/applications/latticeview.desktop"
check "the desktop entry asks for a terminal (Terminal=true)" grep -qx 'Terminal=true' "$entry"
check "the desktop entry's categories name Physics" grep -Eq '^Categories=(.*;)?Physics;' "$entry"
# The small icons show a lattice: at least 9 points of 2 x 2 pixels or more
# in the points' blue (a drawing scaled down to them shows none).
sharp_points() {
    "$CONVERT" "$1" -background black -alpha remove -alpha off -fuzz 8% -fill white -opaque '#1477c6' \
        -fill black +opaque white -define connected-components:verbose=true -connected-components 4 null: |
        awk '/\(255,255,255\)|gray\(255\)/ { split($2, box, /[x+]/); if (box[1] >= 2 && box[2] >= 2) n++ } END { print n + 0 }'
}
for size in 16 22 24 32; do
    points=$(sharp_points "$contents/usr/share/icons/hicolor/${size}x$size/apps/latticeview.png")
    check "the ${size}x$size icon shows a lattice ($points sharp points, at least 9)" [ "$points" -ge 9 ]
done
# AppStream 1.0 warns of a metainfo without a homepage, which the project does
# not have (the package's lintian overrides say the same).
appstream_overrides=()
dpkg --compare-versions "$(dpkg-query -W -f='${Version}' appstream)" ge 1.0 &&
    appstream_overrides=(--override=url-homepage-missing=info)
check "appstreamcli validate" appstreamcli validate --no-net "${appstream_overrides[@]}" \
    "$contents"/usr/share/metainfo/*.metainfo.xml
finish && echo "built $deb"
