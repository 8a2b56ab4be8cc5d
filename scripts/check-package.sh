#!/usr/bin/env bash
# Checks a Debian package of Orvik: the files it installs, its control fields, and that every
# library its programs link comes from a package in its Depends.
#   scripts/check-package.sh PACKAGE.deb
set -euo pipefail
cd "$(dirname "$0")/.."
deb=$1
status=0
problem() {
    echo "check-package: $*" >&2
    status=1
}

files=$(dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|')
for file in /usr/bin/orvik /usr/bin/orvik-encode /usr/bin/orvik-cddafs \
    /usr/share/orvik/encoder/lame /usr/share/orvik/encoder/lame_raw /usr/share/orvik/help/orvik.html \
    /usr/share/applications/orvik.desktop /usr/share/icons/hicolor/scalable/apps/orvik.svg \
    /usr/share/metainfo/io.github.orvik.Orvik.metainfo.xml /usr/share/man/man1/orvik.1.gz \
    /usr/share/man/man1/orvik-encode.1.gz /usr/share/man/man1/orvik-cddafs.1.gz \
    /usr/share/doc/orvik/copyright /usr/share/doc/orvik/changelog.Debian.gz; do
    grep -qxF "$file" <<<"$files" || problem "$deb does not install $file"
done
# Nothing outside /usr/bin and /usr/share, nothing of the tests or benchmarks.
while IFS= read -r file; do
    case $file in
    / | /usr/ | /usr/bin/* | /usr/share/*) ;;
    *) problem "$deb installs $file, outside /usr/bin and /usr/share" ;;
    esac
done <<<"$files"
if grep -q 'tst_\|fake_lame\|bench_' <<<"$files"; then
    problem "$deb installs test or benchmark programs"
fi

field() { dpkg-deb --field "$deb" "$1"; }
version=$(sed -n 's/^project(Orvik VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ "$(field Package)" = orvik ] || problem "Package is \"$(field Package)\", not orvik"
[[ $(field Version) == "$version"-* ]] || problem "Version $(field Version) is not $version-<revision>"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || problem "Architecture is $(field Architecture)"
[ "$(field Section)" = sound ] || problem "Section is \"$(field Section)\", not sound"
[[ $(field Maintainer) == *@* ]] || problem "Maintainer \"$(field Maintainer)\" has no address"
[ "$(field Description | wc -l)" -gt 2 ] || problem "Description has no long description"

# The Depends, by name: the runtime packages of the package list, lame and fuse3 among them, no
# development package.
declare -A depends=()
while IFS= read -r package; do
    depends[$package]=1
done < <(field Depends | tr ',' '\n' | sed 's/(.*//; s/[[:space:]]//g')
for package in lame fuse3 qt6-qpa-plugins; do
    [ -n "${depends[$package]-}" ] || problem "Depends lacks $package: $(field Depends)"
done
for package in "${!depends[@]}"; do
    [[ $package == *-dev ]] && problem "Depends names the development package $package"
done

# Every library the programs link must come from a package in Depends: dpkg-shlibdeps names them,
# as it would for a package built the Debian way (one of a dependency's alternatives is enough).
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dpkg-deb --extract "$deb" "$work/root"
mkdir -p "$work/debian"
printf 'Source: orvik\n\nPackage: orvik\nArchitecture: any\n' >"$work/debian/control"
shlibs=$(cd "$work" && dpkg-shlibdeps -O root/usr/bin/* 2>/dev/null | sed -n 's/^shlibs:Depends=//p')
[ -n "$shlibs" ] || problem "dpkg-shlibdeps found no libraries in the programs"
while IFS= read -r dependency; do
    [ -z "$dependency" ] && continue
    found=
    for alternative in $(tr '|' '\n' <<<"$dependency" | sed 's/(.*//'); do
        [ -n "${depends[$alternative]-}" ] && found=1
    done
    [ -n "$found" ] ||
        problem "the programs link a library of $dependency, which Depends lacks (see orvik_runtime_packages in scripts/setup.sh)"
done < <(tr ',' '\n' <<<"$shlibs" | sed 's/([^)]*)//g; s/^ *//; s/ *$//; s/ *| */|/g')

if [ $status -eq 0 ]; then
    echo "check-package: $deb installs the three programs, their manual pages, the menu entry, icon and metadata; Depends: $(field Depends)"
fi
exit $status
