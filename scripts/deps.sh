# Sourced by scripts/check and scripts/demo: installs the Debian packages the
# build, the tests and the demo need, only when something is missing.
TELLURIX_PACKAGES=(
    cmake ninja-build g++ pkg-config
    qtbase5-dev qtbase5-dev-tools libqt5serialport5-dev qttools5-dev-tools
    libbenchmark-dev libboost-math-dev libqt5svg5-dev
    xvfb xauth x11-utils imagemagick fonts-dejavu-core
    python3 xdotool xclip weston qtwayland5 desktop-file-utils appstream
    dunst trayer locales
)

tellurix_install_deps() {
    local missing=()
    local p
    for p in "${TELLURIX_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing missing packages: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

tellurix_build() {
    local root=$1
    cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$root/build"
}
