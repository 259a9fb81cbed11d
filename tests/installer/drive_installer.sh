#!/usr/bin/env bash
# Runs an installer file and answers its wizard with synthetic mouse clicks, as a user would:
# Next on every step, the agreement ticked on every licence step.
#   drive_installer.sh SETUP LICENCE_STEPS
# Runs inside an X server (xvfb-run). Exit code: the installer's, or 90 when a dialog never came.
set -u
setup=$1
licence_steps=$2
title="Bildschirmschoner Installation"
export QT_QPA_PLATFORM=xcb

# The server may still be settling under load: wait until it takes connections.
for _ in $(seq 100); do
  xdpyinfo >/dev/null 2>&1 && break
  sleep 0.05
done

"$setup" &
pid=$!

visible_dialog() {
  for _ in $(seq 200); do
    id=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.05
  done
  return 1
}

# Positions inside the 500 x 320 step dialog.
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
next() { click "$1" 112 298; }
agree() { click "$1" 15 261; }

steps=("next")
for _ in $(seq "$licence_steps"); do steps+=("agree"); done
steps+=("next" "next")
for action in "${steps[@]}"; do
  id=$(visible_dialog) || { kill "$pid" 2>/dev/null; exit 90; }
  sleep 0.2
  if [ "$action" = agree ]; then agree "$id"; sleep 0.1; fi
  next "$id"
  sleep 0.3
done
wait "$pid"
