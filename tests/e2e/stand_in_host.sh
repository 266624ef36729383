# Helpers that drive the stand-in host window (stand_in_host.cpp) from a test. Source after lib.sh.
: "${STAND_IN_HOST:?STAND_IN_HOST must name the stand-in host program}"

# Starts a stand-in host window: start_host WIDTH HEIGHT [TITLE [focus]]. Sets HOST_PID, HOST_HEX
# and HOST_DEC.
start_host() {
  local out i
  out=$(mktemp "$WORK/host.XXXXXX")
  "$STAND_IN_HOST" "$@" >"$out" &
  HOST_PID=$!
  PIDS+=("$HOST_PID")
  for i in $(seq 1 100); do
    [ -s "$out" ] && break
    sleep 0.05
  done
  read -r HOST_HEX HOST_DEC <"$out" || fail "the stand-in host did not start"
}

# Resizes the host window: host_resize WIDTH HEIGHT
host_resize() {
  timeout 5 xdotool windowsize --sync "$HOST_HEX" "$1" "$2" || fail "the stand-in host did not resize"
}

# The host destroys its window in order and ends.
host_destroy() {
  kill -TERM "$HOST_PID"
  wait "$HOST_PID" || fail "the stand-in host did not end cleanly"
}

# The ids of the host window's children, one per line.
host_children() {
  xwininfo -id "$HOST_HEX" -children | sed -n 's/^ *\(0x[0-9a-f]*\) .*/\1/p'
}

# Waits up to $3 seconds (default 10) until pixel ($1, $2) is neither black nor the host's grey.
wait_drawn() {
  local limit=${3:-10} i p
  for i in $(seq 1 $((limit * 5))); do
    p=$(pixel "$1" "$2")
    [ "$p" != "0 0 0" ] && [ "$p" != "128 128 128" ] && return 0
    sleep 0.2
  done
  fail "nothing drawn at $1,$2 after $limit s (it is $p); stderr: $(cat "$WORK/stderr")"
}

# Fails when the program wrote an X error (to its stderr file, or to the file named).
expect_no_x_error() {
  local file=${1:-$WORK/stderr}
  if grep -qi 'X Error\|BadWindow\|BadDrawable' "$file"; then
    fail "X error: $(cat "$file")"
  fi
}

# Kills the host outright, as a crash would; the X server then destroys its window.
host_kill() {
  kill -KILL "$HOST_PID"
  wait "$HOST_PID" 2>/dev/null || true
}

# Fails unless another client can grab the keyboard and the pointer: others_can_grab WHEN
others_can_grab() {
  "$STAND_IN_HOST" --grab >"$WORK/grab" || fail "$1: the keyboard or pointer is still held ($(cat "$WORK/grab"))"
}
