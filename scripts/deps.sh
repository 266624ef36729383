# Installs the Debian packages the build, the saver and the tests need, when any is missing.
# Sourced by run.sh and test.sh.

LARKSPILL_PACKAGES=(
  build-essential cmake ninja-build pkg-config
  libsdl2-dev libsdl2-ttf-dev libsdl2-mixer-dev libfontconfig-dev libcairo2-dev
  libx11-dev libxext-dev libxss-dev libxrandr-dev libxfixes-dev libsystemd-dev libwayland-dev libwayland-bin wayland-protocols
  libpixman-1-dev qt6-base-dev plasma-wayland-protocols
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-liberation fonts-dejavu-core libxkbcommon-dev sway grim foot swaylock swayidle qt6-wayland
  xvfb xauth xdotool x11-utils imagemagick sox libxml2-utils groff-base python3-numpy openbox time
  xserver-xorg-core xserver-xorg-video-dummy x11-xserver-utils
  clang libclang-rt-14-dev
  xscreensaver mate-screensaver dbus-x11 lintian strace
  i3lock suckless-tools python3-dbus python3-gi
  gvfs-fuse gvfs-daemons pipewire  # a desktop's session services, which the tests must keep out
  kwin-wayland mutter xwayland  # KDE Plasma's and GNOME's compositors, which the saver is tried on
)

install_deps() {
  local missing=()
  local p
  for p in "${LARKSPILL_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null; then sudo=(sudo); else
      echo "run.sh: these packages are missing and installing them needs root: ${missing[*]}" >&2
      return 1
    fi
  fi
  echo "Installing: ${missing[*]}"
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
  "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" </dev/null
}

# Starts Xvfb on a display number the server itself finds free (no race with a server started at
# the same moment) and sets XVFB_DISPLAY and XVFB_PID: start_xvfb [WxHxDEPTH [SERVER OPTIONS...]].
# It never resets: a server that resets whenever its last client leaves drops the next client that
# connects during the reset.
start_xvfb() {
  start_x_server Xvfb -screen 0 "${1:-800x600x24}" -nolisten tcp -noreset "${@:2}" || { echo "could not start Xvfb" >&2; return 1; }
}

# start_x_server SERVER ARGS...: sets XVFB_PID and XVFB_DISPLAY once the server answers; 1 if it
# does not within 10 s.
start_x_server() {
  local number i
  number=$(mktemp /tmp/larkspill-display.XXXXXX)
  "$@" -displayfd 3 3>"$number" >/dev/null 2>&1 &
  XVFB_PID=$!
  for i in $(seq 1 100); do
    if grep -qx '[0-9][0-9]*' "$number" 2>/dev/null; then
      XVFB_DISPLAY=":$(cat "$number")"
      if DISPLAY="$XVFB_DISPLAY" xdpyinfo >/dev/null 2>&1; then rm -f "$number"; return 0; fi
    fi
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  kill "$XVFB_PID" 2>/dev/null
  rm -f "$number"
  XVFB_PID= XVFB_DISPLAY=
  return 1
}
