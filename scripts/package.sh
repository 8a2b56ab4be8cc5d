#!/usr/bin/env bash
# Builds Orvik's Debian package with CPack and checks it.
#   scripts/package.sh            a release build in build-package/ (with the hardening flags of
#                                 dpkg-buildflags), its package, the package's check, then
#                                 lintian, desktop-file-validate and appstreamcli validate
#   scripts/package.sh BUILD_DIR  the package of a build made before (test.sh: build/) and its check
# The package lands in BUILD_DIR/packages/orvik_<version>_<architecture>.deb. Its Depends are the
# runtime packages scripts/setup.sh names for its package list.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/setup.sh
orvik_install_packages

release=
if [ $# -eq 0 ]; then
    release=1
    dir=build-package
    # Configured every time, so that the flags always are the ones dpkg-buildflags gives now.
    export DEB_BUILD_MAINT_OPTIONS=hardening=+all
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORVIK_TESTS=OFF -DORVIK_BENCH=OFF \
        -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
        -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
else
    dir=$1
    ORVIK_TARGETS="orvik orvik-encode orvik-cddafs manpages package_changelog" orvik_build "$dir"
fi

# The runtime packages, each with the lowest version the programs need where dpkg-shlibdeps
# knows one (libc6 (>= 2.34)).
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/debian"
printf 'Source: orvik\n\nPackage: orvik\nArchitecture: any\n' >"$work/debian/control"
programs=("$PWD/$dir/orvik" "$PWD/$dir/orvik-encode" "$PWD/$dir/orvik-cddafs")
shlibs=$(cd "$work" && dpkg-shlibdeps -O "${programs[@]}" 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
depends=
while IFS= read -r package; do
    versioned=$(tr ',' '\n' <<<"$shlibs" | sed 's/^ *//' | grep -E "^$(sed 's/[+.]/\\&/g' <<<"$package") \(" | head -n 1 || true)
    depends+="${depends:+, }${versioned:-$package}"
done < <(orvik_runtime_list)
rm -rf "$dir/packages"
(cd "$dir" && cpack -G DEB -D CPACK_DEBIAN_PACKAGE_DEPENDS="$depends" >/dev/null)
deb=$(echo "$dir"/packages/orvik_*.deb)
[ -f "$deb" ] || { echo "package: cpack made no package in $dir/packages" >&2; exit 1; }
scripts/check-package.sh "$deb"

if [ -n "$release" ]; then
    desktop-file-validate resources/orvik.desktop
    appstreamcli validate --no-net resources/io.github.orvik.Orvik.metainfo.xml
    # What lintian still reports, and why it stays, is in the README.
    lintian -I "$deb"
fi
echo "package: $deb"
