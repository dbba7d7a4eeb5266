# Installs the Debian packages the build needs, when any is missing. Sourced by
# run.sh and test.sh; needs root (or sudo) only when something must be installed.
# Packages given as arguments are installed as well.
talvex_deps=(cmake g++ make pkg-config qt6-base-dev qt6-serialport-dev qcoro-qt6-dev libgl-dev
             fonts-dejavu-core fonts-wqy-microhei)
# Only the test command needs these: the fuzz targets are built with clang and libFuzzer.
talvex_test_deps=(clang-14 libclang-rt-14-dev)

talvex_install_deps() {
    local missing=()
    for p in "${talvex_deps[@]}" "$@"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' \
            || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
