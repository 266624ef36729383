# Helpers that drive the stand-in host window (stand_in_host.cpp) from a test. Source after lib.sh.
: "${STAND_IN_HOST:?STAND_IN_HOST must name the stand-in host program}"
HOST_COUNT=0

# Starts a stand-in host window: start_host WIDTH HEIGHT [TITLE [input-only]]. Sets HOST_PID, HOST_HEX,
# HOST_DEC and HOST_FD (where its commands go); its output is in HOST_OUT.
start_host() {
  HOST_COUNT=$((HOST_COUNT + 1))
  local fifo="$WORK/host$HOST_COUNT.in" i
  HOST_OUT="$WORK/host$HOST_COUNT.out"
  mkfifo "$fifo"
  "$STAND_IN_HOST" "$1" "$2" "${3:-Stand-in host}" ${4:+"$4"} <"$fifo" >"$HOST_OUT" 2>"$WORK/host$HOST_COUNT.err" &
  HOST_PID=$!
  PIDS+=("$HOST_PID")
  exec {HOST_FD}>"$fifo"
  for i in $(seq 1 100); do
    [ -s "$HOST_OUT" ] && break
    sleep 0.05
  done
  read -r HOST_HEX HOST_DEC <"$HOST_OUT" || fail "the stand-in host did not start"
}

# Resizes the host window: host_resize WIDTH HEIGHT
host_resize() {
  echo "resize $1 $2" >&"$HOST_FD"
  local i
  for i in $(seq 1 100); do
    grep -q "^resized $1 $2\$" "$HOST_OUT" && return 0
    sleep 0.05
  done
  fail "the stand-in host did not resize"
}

# Destroys the host window and waits for the host to end.
host_destroy() {
  echo destroy >&"$HOST_FD"
  local i
  for i in $(seq 1 100); do
    grep -q '^destroyed$' "$HOST_OUT" && return 0
    sleep 0.05
  done
  fail "the stand-in host did not destroy its window"
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
