#!/usr/bin/env bash
# Runs an installer file and answers its wizard with synthetic mouse clicks, as a user would:
# Next on every step, the agreement ticked on every licence step.
#   drive_installer.sh SETUP LICENCE_STEPS
# Runs inside an X server (xvfb-run). Exit code: the installer's, 90 when a dialog never came,
# 91 when the installer did not end after the last step.
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

# Positions inside the step dialog, from its bottom edge: the button panel is 42 pixels high,
# the tick panel above it 33.
height() { xdotool getwindowgeometry --shell "$1" | sed -n 's/^HEIGHT=//p'; }
click() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
next() { click "$1" 112 $(($(height "$1") - 22)); }
agree() { click "$1" 15 $(($(height "$1") - 59)); }

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
# The last Next ends the installer; one that stays is ended (exit code 91).
for _ in $(seq 200); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.05
done
if kill -0 "$pid" 2>/dev/null; then kill "$pid"; wait "$pid"; exit 91; fi
wait "$pid"
