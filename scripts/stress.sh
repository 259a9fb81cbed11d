#!/usr/bin/env bash
# Reliability run of the show, preview and media-player tests: every test many times, in
# parallel, on a busy machine, each run in a process of its own with a GStreamer registry of its
# own that is built anew (the state of a new user's first show). A run still going after its
# limit has the stacks of all its threads written by gdb, then it is killed with its process
# group. Exits non-zero when any run failed or hung.
#
#   scripts/stress.sh [-b build-dir] [-r rounds] [-j parallel-runs] [-l cpu-hogs] [-t limit-s]
#                     [-c cpu-list] [-B] [-S] [-f gtest-filter] [-o out-dir]
#
# -B keeps a parallel build of the project going beside the tests (in <out>/load-build), the
# load of a developer's machine: processor, memory and disk at once.
# -S makes all runs of a round share one registry, built anew for the round (CI's first run).
# -c squeezes the runs and the hogs onto the given processors (taskset), which makes races between
# a test's timers and its steps far more likely than spare cores do: "-c 0,1 -j 8 -l 14 -B".
# Hung runs leave <out>/hang-<round>-<test>.txt (its output, whether it was running or asleep and
# its processor time, then every thread's stack); failed runs leave <out>/fail-<round>-<test>.txt.
set -uo pipefail

Here=$(cd "$(dirname "$0")/.." && pwd)
Build=$Here/build
Rounds=10
Jobs=8
Hogs=$(nproc)
Limit=90
Cpus=
Filter='ShowForm.*:PasswordRoad.*:Preview.*:WebLink.*:ShowProgram.*:MediaPlayerLogic.*:RealMediaPlayer.*:Media/RealSound.*:Media/RealSoundServer.*:Media/SoundServerLost.*:MediaFramework.*'
Out=
SharedRegistry=0
BuildLoad=0
while getopts "b:r:j:l:t:c:BSf:o:h" Opt; do
  case $Opt in
    b) Build=$(cd "$OPTARG" && pwd) ;;
    r) Rounds=$OPTARG ;;
    j) Jobs=$OPTARG ;;
    l) Hogs=$OPTARG ;;
    t) Limit=$OPTARG ;;
    c) Cpus=$OPTARG ;;
    f) Filter=$OPTARG ;;
    o) Out=$OPTARG ;;
    B) BuildLoad=1 ;;
    S) SharedRegistry=1 ;;
    *) sed -n '2,20p' "$0"; exit 2 ;;
  esac
done
Out=${Out:-$Build/stress}
mkdir -p "$Out/reg" "$Out/tmp"
command -v gdb >/dev/null || echo "stress: no gdb, hung runs are killed without stacks" >&2
Pin=()
[ -n "$Cpus" ] && Pin=(taskset -c "$Cpus")

Programs=(tests/saver/test_saver_forms tests/saver/test_saver_program tests/platform/test_mediaplayer)

# Every test of the programs that the filter selects, as "program test".
Tests=()
for P in "${Programs[@]}"; do
  [ -x "$Build/$P" ] || { echo "stress: $Build/$P is not built, its tests are left out" >&2; continue; }
  Suite=
  while IFS= read -r Line; do
    case $Line in
      " "*) Name=${Line#  }; Tests+=("$P $Suite${Name%%  #*}") ;;
      *) Suite=${Line%%  #*} ;;
    esac
  done < <(QT_QPA_PLATFORM=offscreen "$Build/$P" --gtest_list_tests --gtest_filter="$Filter" 2>/dev/null |
           grep -v '^Note:\|^QStandardPaths')
done
[ ${#Tests[@]} -gt 0 ] || { echo "stress: no test matches $Filter" >&2; exit 2; }

# Busy machine: processes that spin on every core beside the tests, and the build.
HogPids=()
LoadGroup=
stop_hogs() {
  for H in "${HogPids[@]}"; do kill "$H" 2>/dev/null; done
  HogPids=()
  [ -n "$LoadGroup" ] && kill -- "-$LoadGroup" 2>/dev/null
  LoadGroup=
}
trap stop_hogs EXIT
trap 'stop_hogs; exit 130' INT TERM
for ((I = 0; I < Hogs; ++I)); do
  "${Pin[@]}" bash -c 'while :; do :; done' &
  HogPids+=($!)
done
if [ "$BuildLoad" = 1 ]; then
  # The sources of the build under test.
  Src=$(sed -n 's/^CMAKE_HOME_DIRECTORY:INTERNAL=//p' "$Build/CMakeCache.txt" 2>/dev/null)
  cmake -S "${Src:-$Here}" -B "$Out/load-build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRIZUDER_BENCH=OFF \
    >"$Out/load-build.log" 2>&1 || { echo "stress: the load build does not configure, see $Out/load-build.log" >&2; exit 2; }
  setsid bash -c 'while :; do ninja -C "$1" -t clean >/dev/null; ninja -C "$1" >/dev/null 2>&1; done' \
    load "$Out/load-build" &
  LoadGroup=$!
fi

# Runs one test with its own registry; records a failure or, past the limit, the stacks.
run_one() {
  local Round=$1 Program=$2 Test=$3
  local Tag=$Round-${Test//\//_}
  local Log=$Out/run-$Tag.log
  local Registry=$Out/reg/$Tag.bin
  [ "$SharedRegistry" = 1 ] && Registry=$Out/reg/round-$Round.bin
  [ "$SharedRegistry" = 1 ] || rm -f "$Registry"
  setsid "${Pin[@]}" env GST_REGISTRY="$Registry" QT_QPA_PLATFORM=offscreen RIZUDER_TEST_BIN="$Build" \
    TMPDIR="$Out/tmp" "$Build/$Program" --gtest_filter="$Test" >"$Log" 2>&1 &
  local Pid=$! Waited=0
  # Until it ends (a zombie waits only for the wait below).
  while [ -r "/proc/$Pid/stat" ] && [ "$(cut -d' ' -f3 "/proc/$Pid/stat" 2>/dev/null)" != Z ]; do
    if [ "$Waited" -ge "$((Limit * 10))" ]; then
      {
        echo "=== $Program --gtest_filter=$Test, round $Round: still running after ${Limit} s"
        cat "$Log"
        echo "=== state (R running, S asleep, D in the kernel) and processor time"
        grep -E '^(State|Threads):' "/proc/$Pid/status"
        awk -v Hz="$(getconf CLK_TCK)" '{ printf "processor time: %.1f s of user and system\n", ($14 + $15) / Hz }' "/proc/$Pid/stat"
        echo "=== stacks of every thread"
        gdb -p "$Pid" -batch -ex 'set pagination off' -ex 'thread apply all bt' 2>&1
      } >"$Out/hang-$Tag.txt"
      kill -KILL -- "-$Pid" 2>/dev/null
      wait "$Pid" 2>/dev/null
      echo "HANG $Test (round $Round): $Out/hang-$Tag.txt"
      rm -f "$Log" "$Out/reg/$Tag.bin"
      return 1
    fi
    sleep 0.1
    Waited=$((Waited + 1))
  done
  wait "$Pid"
  local Rc=$?
  rm -f "$Out/reg/$Tag.bin"
  if [ "$Rc" -ne 0 ] || grep -q '\[  FAILED  \]' "$Log"; then
    mv "$Log" "$Out/fail-$Tag.txt"
    echo "FAIL $Test (round $Round, exit $Rc): $Out/fail-$Tag.txt"
    return 1
  fi
  rm -f "$Log"
  return 0
}

echo "stress: ${#Tests[@]} tests x $Rounds rounds, $Jobs at a time, $Hogs busy processes${Cpus:+ on processors $Cpus}$([ "$BuildLoad" = 1 ] && echo ", a build beside")$([ "$SharedRegistry" = 1 ] && echo ", one new registry a round"), limit ${Limit} s, out $Out"
Bad=0
Runs=0
declare -A Running=()
reap_one() {
  local Done=
  wait -n -p Done "${!Running[@]}"
  local Rc=$?
  [ -n "$Done" ] || return
  [ "$Rc" -ne 0 ] && Bad=$((Bad + 1))
  unset "Running[$Done]"
}
for ((R = 1; R <= Rounds; ++R)); do
  rm -f "$Out/reg/round-$R.bin"
  for Entry in "${Tests[@]}"; do
    while [ "${#Running[@]}" -ge "$Jobs" ]; do reap_one; done
    run_one "$R" ${Entry%% *} "${Entry#* }" &
    Running[$!]=1
    Runs=$((Runs + 1))
  done
done
while [ "${#Running[@]}" -gt 0 ]; do reap_one; done
stop_hogs
echo "stress: $Runs runs, $Bad failed or hung"
[ "$Bad" -eq 0 ]
