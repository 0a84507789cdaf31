# Shared by the scripts: installs Debian packages only when they are missing.

# The Linux build and its tests.
LINUX_PACKAGES=(cmake ninja-build g++ googletest libgtest-dev)
# The Qt window, and a CJK font so that its Chinese captions show as text.
QT_PACKAGES=(qt6-base-dev fonts-wqy-microhei)
# The window's process test drives the real program on a virtual display.
QT_TEST_PACKAGES=(xvfb xdotool)
# The Windows programs, cross-built, and their test under Wine on a virtual
# display; Wine's own fonts draw the title bar, the CJK font the captions.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix
  binutils-mingw-w64-i686 wine64 fonts-wine xvfb fonts-wqy-microhei)

apt_updated=""
ensure_packages() {
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null |
      grep -q "install ok installed" || missing+=("$package")
  done
  ((${#missing[@]})) || return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  echo "Installing missing packages: ${missing[*]}"
  if [ -z "$apt_updated" ]; then
    $sudo apt-get update -qq
    apt_updated=yes
  fi
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
}

build_linux() {
  cmake --preset linux >/dev/null
  cmake --build --preset linux
}

build_windows() {
  local preset
  for preset in win64 win32; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
  done
}
