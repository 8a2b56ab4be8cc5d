# Sourced by run.sh and test.sh: installs the Debian packages Orvik needs when any is missing,
# then configures and builds into build/. Re-running it on a set-up machine installs nothing and
# rebuilds only what changed.

orvik_packages=(
    cmake ninja-build g++ pkg-config clang-format
    qt6-base-dev qt6-tools-dev qt6-l10n-tools qt6-translations-l10n qt6-qpa-plugins libqt6uitools6 libqt6opengl6-dev python3
    libtag1-dev libplist-dev libmount-dev libcdio-dev libcdio-paranoia-dev libfuse3-dev fuse3 libsndfile1-dev libebur128-dev libudev-dev
    libdiscid-dev
    lame sox libsox-fmt-base dbus xvfb xauth
    dpkg-dev desktop-file-utils appstream lintian
)

# What the installed Orvik needs at run time of each package above: the libraries behind a -dev
# package, a program that stays a program; the tools that only build, test or package Orvik
# need nothing. The Debian package's Depends are made from this (scripts/package.sh), and its
# check fails when a library the programs link comes from a package not named here.
declare -gA orvik_runtime_packages=(
    [g++]="libc6 libstdc++6 libgcc-s1"
    [qt6-base-dev]="libqt6core6 libqt6gui6 libqt6widgets6 libqt6dbus6 libqt6network6"
    [qt6-translations-l10n]=qt6-translations-l10n
    [qt6-qpa-plugins]=qt6-qpa-plugins
    [libqt6uitools6]=libqt6uitools6
    [libtag1-dev]=libtag1v5
    [libplist-dev]=libplist3
    [libmount-dev]=libmount1
    [libcdio-dev]=libcdio19
    [libcdio-paranoia-dev]="libcdio-cdda2 libcdio-paranoia2"
    [libfuse3-dev]=libfuse3-3
    [fuse3]=fuse3
    [libsndfile1-dev]=libsndfile1
    [libebur128-dev]=libebur128-1
    [libudev-dev]=libudev1
    [libdiscid-dev]=libdiscid0
    [lame]=lame
)

# The runtime packages, one per line, in the order of the package list.
orvik_runtime_list() {
    local package runtime
    for package in "${orvik_packages[@]}"; do
        for runtime in ${orvik_runtime_packages[$package]-}; do
            echo "$runtime"
        done
    done
}

orvik_install_packages() {
    local missing=()
    local package
    for package in "${orvik_packages[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local apt=(env DEBIAN_FRONTEND=noninteractive apt-get)
    if [ "$(id -u)" -ne 0 ]; then
        if command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
            apt=(sudo env DEBIAN_FRONTEND=noninteractive apt-get)
        else
            echo "Orvik needs these Debian packages. Install them with:"
            echo "  sudo apt-get install -y ${missing[*]}"
            return 1
        fi
    fi
    "${apt[@]}" update -qq && "${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}"
}

# Configures and builds into the folder $1 (build/ when not given); any further arguments are
# configure options, used when the folder is configured for the first time. ORVIK_TARGETS, when
# set, names the targets to build (all when not).
orvik_build() {
    local dir=${1:-build}
    [ $# -gt 0 ] && shift
    local options=(-G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@")
    if [ "${CI:-}" = "true" ]; then
        options+=(-DORVIK_WERROR=ON)
    fi
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S . -B "$dir" "${options[@]}" >/dev/null
    fi
    local targets=()
    read -ra targets <<<"${ORVIK_TARGETS:-}"
    cmake --build "$dir" -j "$(nproc)" ${targets[@]+--target "${targets[@]}"}
}
