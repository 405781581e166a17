# Private test services, sourced by scripts/test: a PulseAudio server with a
# null sink (so playback can be recorded and checked without a sound card) and
# an Xvfb display for the tests that need a real X server.

start_pulse() {
  PULSE_SCRATCH=$(mktemp -d /tmp/tremolux-pulse.XXXXXX)
  chmod 700 "$PULSE_SCRATCH"
  export XDG_RUNTIME_DIR="$PULSE_SCRATCH/runtime" HOME="$PULSE_SCRATCH/home"
  mkdir -p "$XDG_RUNTIME_DIR" "$HOME"
  chmod 700 "$XDG_RUNTIME_DIR"
  pulseaudio --daemonize=no --use-pid-file=no --system=false --exit-idle-time=-1 --disallow-exit -n \
    --load="module-null-sink sink_name=nul rate=44100 channels=1 format=s16le norewinds=1" \
    --load="module-remap-source source_name=nulcap master=nul.monitor source_properties=device.description=NullCapture" \
    --load="module-native-protocol-unix" --log-target=stderr --log-level=error \
    >"$PULSE_SCRATCH/pulse.log" 2>&1 &
  PAPID=$!
  for _ in $(seq 1 50); do
    if pactl info >/dev/null 2>&1; then
      pactl set-default-sink nul >/dev/null 2>&1 || true
      pactl set-default-source nulcap >/dev/null 2>&1 || true
      echo "test services: PulseAudio null sink up (pid $PAPID)"
      return 0
    fi
    sleep 0.2
  done
  echo "test services: PulseAudio did not start; playback tests will skip" >&2
  cat "$PULSE_SCRATCH/pulse.log" >&2 || true
  return 0
}

stop_pulse() {
  if [ -n "${PAPID:-}" ]; then
    kill -TERM "$PAPID" 2>/dev/null || true
    wait "$PAPID" 2>/dev/null || true
    PAPID=""
  fi
  # The server's runtime and home directories die with it.
  if [ -n "${PULSE_SCRATCH:-}" ]; then
    rm -rf "$PULSE_SCRATCH"
    PULSE_SCRATCH=""
  fi
}

start_xvfb() {
  local d
  for d in $(seq 91 120); do
    if [ ! -e "/tmp/.X11-unix/X$d" ] && [ ! -e "/tmp/.X$d-lock" ]; then
      Xvfb ":$d" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 &
      XVFBPID=$!
      for _ in $(seq 1 50); do
        [ -e "/tmp/.X11-unix/X$d" ] && break
        sleep 0.1
      done
      export TREMOLUX_XVFB_DISPLAY=":$d"
      echo "test services: Xvfb on :$d (pid $XVFBPID)"
      return 0
    fi
  done
  echo "test services: no free X display; Xvfb tests will skip" >&2
}

stop_xvfb() {
  if [ -n "${XVFBPID:-}" ]; then
    kill -TERM "$XVFBPID" 2>/dev/null || true
    wait "$XVFBPID" 2>/dev/null || true
    XVFBPID=""
  fi
}
