#!/usr/bin/env bash
# Installs what is needed, builds the programs, makes the demo screen saver and runs it: full
# screen on your display when there is one (move the mouse, click or press a key to end it);
# without a display for a few seconds on a virtual X server, with a screenshot saved.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
# Configured as scripts/test.sh does, so that neither undoes the other's build; only what the
# demo runs is built: the two programs, the maker of the demo saver and the screenshot tool.
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build --target Rizuder Vuverero makesaver grabscreen

OUT="$PWD/build/demo"
mkdir -p "$OUT"
SAVER="$OUT/Demo.scr"
# What the libraries say on a machine without a sound device or a runtime directory reads
# like failure but is harmless; it goes to a log of its own, shown only when something fails.
LOG="$OUT/demo-show.log"
: >"$LOG"
if ! build/tools/makesaver "$SAVER" 2>>"$LOG"; then
  cat "$LOG" >&2
  exit 1
fi
echo "Demo screen saver: $SAVER"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "Showing it on $DISPLAY: move the mouse, click or press a key to end the show."
  echo "Messages of the show go to $LOG."
  exec "$SAVER" /s 2>>"$LOG"
fi

SHOT="$OUT/demo-screenshot.png"
PROMPT="$OUT/demo-weblink.png"
rm -f "$SHOT" "$PROMPT"
echo "No display: running the show for a few seconds on a virtual X server."
# A temporary directory of its own: the media and fonts of this run, and its single-instance
# name, kept apart from any screen saver already running for this user.
RUNTMP="$(mktemp -d)"
trap 'rm -rf "$RUNTMP"' EXIT
TMPDIR="$RUNTMP" XDG_RUNTIME_DIR="$RUNTMP" xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp -noreset" bash -c '
  set -u
  "$1" /s 2>>"$5" &
  pid=$!
  sleep 4
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "The show ended before the screenshot." >&2
    exit 1
  fi
  "$2" "$3" || echo "The screenshot could not be taken." >&2
  # The key comes while the slide that carries a web link is on screen.
  sleep 2
  xdotool key space
  # A sequence with a web link asks whether to open it; Escape declines.
  sleep 1
  if kill -0 "$pid" 2>/dev/null; then
    "$2" "$4" || true
    xdotool key Escape
  fi
  for _ in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "The show did not end on the key; stopping it." >&2
    kill "$pid"
  fi
  wait "$pid"
'  demo "$SAVER" "$PWD/build/tools/grabscreen" "$SHOT" "$PROMPT" "$LOG"
echo "Messages of the show: $LOG"

if [ -s "$SHOT" ]; then
  echo "Screenshot of the show: $SHOT"
  if [ -s "$PROMPT" ]; then
    echo "Screenshot of the web-link prompt after the key: $PROMPT"
  fi
else
  echo "No screenshot was saved." >&2
  exit 1
fi
