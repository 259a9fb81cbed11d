#!/usr/bin/env bash
# Runs an installer file and answers its wizard with synthetic mouse clicks, as a user would:
# Next on every step, the agreement ticked on every licence step.
#   drive_installer.sh SETUP LICENCE_STEPS
# Runs inside an X server (xvfb-run). Exit code: the installer's, 90 when a dialog never came,
# 91 when the installer did not end after the last step, 92 when a step stayed after Next.
set -u
setup=$1
licence_steps=$2
title="Bildschirmschoner Installation"
# Far beyond what a loaded machine needs: only a fault runs into it.
patience=60
export QT_QPA_PLATFORM=xcb

# The server may still be settling under load: wait until it takes connections.
SECONDS=0
until xdpyinfo >/dev/null 2>&1 || [ $SECONDS -ge $patience ]; do sleep 0.05; done

"$setup" &
pid=$!

# The id of the visible step dialog.
visible_dialog() {
  SECONDS=0
  while [ $SECONDS -lt $patience ]; do
    id=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1)
    if [ -n "$id" ]; then echo "$id"; return 0; fi
    sleep 0.05
  done
  return 1
}

# Records what happens to the window $1 in $log, once the recording is sure to have begun:
# a property set from here shows in it.
log=$(mktemp)
xev_pid=
trap 'rm -f "$log"; [ -z "$xev_pid" ] || kill "$xev_pid" 2>/dev/null' EXIT
watch() {
  : >"$log"
  xev -id "$1" -event structure -event property >"$log" 2>/dev/null &
  xev_pid=$!
  SECONDS=0
  until grep -q PropertyNotify "$log" || [ $SECONDS -ge $patience ]; do
    xprop -id "$1" -f _DRIVE_INSTALLER 8s -set _DRIVE_INSTALLER step 2>/dev/null
    sleep 0.05
  done
}
# Waits until the watched window is hidden: the installer hides one step's dialog before it
# shows the next (the licence steps share one), and a click meant for the next step that came
# before would land on the old one.
hidden() {
  SECONDS=0
  until grep -q UnmapNotify "$log" || [ $SECONDS -ge $patience ]; do sleep 0.05; done
  kill "$xev_pid" 2>/dev/null
  wait "$xev_pid" 2>/dev/null
  xev_pid=
  grep -q UnmapNotify "$log"
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
  watch "$id"
  if [ "$action" = agree ]; then agree "$id"; fi
  next "$id"
  hidden || { kill "$pid" 2>/dev/null; exit 92; }
done
# The last Next ends the installer; one that stays is ended (exit code 91).
SECONDS=0
while kill -0 "$pid" 2>/dev/null && [ $SECONDS -lt $patience ]; do sleep 0.05; done
if kill -0 "$pid" 2>/dev/null; then kill "$pid"; wait "$pid"; exit 91; fi
wait "$pid"
