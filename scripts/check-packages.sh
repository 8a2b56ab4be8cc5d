#!/usr/bin/env bash
# Keeps the package list in scripts/setup.sh honest: every file the configure step of a build used
# from the system (the packages CMake found, the modules pkg-config found, the tools and libraries
# they led to) must come from a Debian package that installing the list brings in. A file found
# only because this machine happens to have some other package would be missing on a fresh one,
# where the configure step then stops or builds something else.
#   scripts/check-packages.sh [BUILD_DIR]    (build/ when not given)
# Exits 1 naming each such file and its package; says so and skips where there is nothing to ask
# (no dpkg or apt, no package lists, no configured build).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
cache=$build/CMakeCache.txt

skip() {
    echo "check-packages: $1; the package list was not checked." >&2
    exit 0
}

command -v dpkg >/dev/null 2>&1 && command -v apt-cache >/dev/null 2>&1 || skip "no dpkg or apt-cache here"
[ -f "$cache" ] || skip "$cache does not exist (configure first)"
compgen -G "/var/lib/apt/lists/*_Packages*" >/dev/null || skip "the apt package lists are missing (apt-get update makes them)"

. scripts/setup.sh

# The files. A CMake package folder stands for the config file inside it, which is what
# find_package read; a folder without one is checked as it is.
files=()
while IFS= read -r path; do
    config=$(compgen -G "$path/*[Cc]onfig.cmake" | head -n 1 || true)
    files+=("${config:-$path}")
done < <(sed -n 's/^[A-Za-z0-9_.+-]*_DIR:PATH=\(\/usr\/.*\)$/\1/p' "$cache")
# Tools and libraries count when a build rule names them: FindOpenGL, for one, also finds EGL and
# GLU, which nothing here links, and which a fresh machine may well lack without harm.
rules=("$build"/build.ninja "$build"/CMakeFiles/rules.ninja "$build"/Makefile)
filepaths=$(sed -n 's/^[A-Za-z0-9_.+-]*:FILEPATH=\(\/usr\/.*\)$/\1/p' "$cache")
if [ -n "$filepaths" ]; then
    while IFS= read -r path; do
        files+=("$path")
    done < <(grep -ohF -f <(echo "$filepaths") "${rules[@]}" 2>/dev/null | sort -u)
fi
if command -v pkg-config >/dev/null 2>&1; then
    while IFS= read -r module; do
        path=$(pkg-config --path "$module" 2>/dev/null || true)
        [ -n "$path" ] && files+=("$path")
    done < <(sed -n 's/^\(.*\)_MODULE_NAME:INTERNAL=\(..*\)$/\1 \2/p' "$cache" | while read -r prefix module; do
        grep -qx "${prefix}_FOUND:INTERNAL=1" "$cache" && echo "$module"
    done)
fi
[ ${#files[@]} -gt 0 ] || skip "$cache names no system files"

# The packages installing the list brings in, without recommends or suggestions.
declare -A closure=()
while IFS= read -r package; do
    closure[${package%%:*}]=1
done < <(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts --no-breaks \
    --no-replaces --no-enhances "${orvik_packages[@]}" 2>/dev/null | grep -v '^[ <]')
[ ${#closure[@]} -gt 0 ] || skip "apt-cache knows none of the listed packages"

# The packages that own each file: one dpkg call for all of them. A file may be known to dpkg
# under another name: behind a symbolic link (/usr/bin/c++ is an alternative), or without /usr
# (packages that still install into /lib).
declare -A owners=()
lookup() {
    local line packages path
    while IFS= read -r line; do
        [[ $line == diversion* || $line != *": /"* ]] && continue
        packages=${line%%: /*}
        path=/${line#*: /}
        owners[$path]+=" ${packages//,/}"
    done < <(dpkg -S "$@" 2>/dev/null || true)
}
lookup "${files[@]}"
declare -A alias=()
retry=()
for file in "${files[@]}"; do
    [ -n "${owners[$file]-}" ] && continue
    for other in "$(readlink -f "$file" 2>/dev/null || true)" "${file#/usr}"; do
        if [ -n "$other" ] && [ "$other" != "$file" ]; then
            alias[$other]+=" $file"
            retry+=("$other")
        fi
    done
done
[ ${#retry[@]} -gt 0 ] && lookup "${retry[@]}"
for other in "${!alias[@]}"; do
    for file in ${alias[$other]}; do
        owners[$file]+="${owners[$other]-}"
    done
done

status=0
declare -A reported=()
for file in "${files[@]}"; do
    [ -n "${reported[$file]-}" ] && continue
    reported[$file]=1
    [ -e "$file" ] || continue
    if [ -z "${owners[$file]-}" ]; then
        echo "check-packages: $file belongs to no Debian package (installed by hand?)" >&2
        status=1
        continue
    fi
    found=
    for package in ${owners[$file]}; do
        [ -n "${closure[${package%%:*}]-}" ] && found=1 && break
    done
    if [ -z "$found" ]; then
        echo "check-packages: the build used $file from${owners[$file]}, which the package list in scripts/setup.sh does not bring in" >&2
        status=1
    fi
done
[ $status -eq 0 ] && echo "check-packages: the ${#reported[@]} system files the configure step used all come from listed packages."
exit $status
