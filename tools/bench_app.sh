#!/usr/bin/env bash
# Prints performance figures of the program on a private virtual display:
# time from process start to the first frame, CPU use over 30 s idle with the
# window shown and minimised with the frames built and the frames presented
# (drawn and swapped) in that time, resident memory after the first refresh,
# the main thread's CPU per loop turn and per frame built. Targets: first frame under
# 0.3 s, idle CPU under 0.5 % of one core shown, under 80 MB resident.
#   BUILD=build bash tools/bench_app.sh      (IDLE_SECONDS=30 by default;
#   ALERTS=0 turns alerts off, so no toast keeps the loop turning faster)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${BUILD:-build}"
IDLE="${IDLE_SECONDS:-30}"
settings=""
[ "${ALERTS:-1}" = 0 ] && settings=',"settings":{"alertsEnabled":false}'

cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j4 --target nimbrel >/dev/null

work="$(mktemp -d)"
xpid=""
apid=""
rpid=""
cleanup() {
  for p in $apid $rpid $xpid; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

gcc -shared -fPIC -O2 tools/bench/frame_probe.c -o "$work/probe.so" -ldl
gcc -O2 tools/bench/iconify.c -o "$work/iconify" -lX11

# A display of our own; the server picks a free number and reports it.
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xpid=$!
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
n="$(head -1 "$work/display")"
export DISPLAY=":$n" LIBGL_ALWAYS_SOFTWARE=1 SDL_VIDEODRIVER=x11
unset WAYLAND_DISPLAY

# The web services: the stand-in replay server of the tests (nothing leaves
# the machine).
cmake --build "$BUILD" -j4 --target nimbrel_replay_server >/dev/null
"$BUILD/tests/nimbrel_replay_server" 0 >"$work/replay.out" 2>&1 &
rpid=$!
for _ in $(seq 200); do grep -q '^NIMBREL_SERVICE_BASE=' "$work/replay.out" && break; sleep 0.05; done
base="$(sed -n 's/^NIMBREL_SERVICE_BASE=//p' "$work/replay.out")"

mkdir -p "$work/Nimbrel"
cat >"$work/Nimbrel/config.json" <<JSON
{"locations":[{"name":"Boston","country":"US","admin1":"Massachusetts","latitude":42.3584,
"longitude":-71.0598,"timezone":"America/New_York","isDefault":true}],"activeLocationIndex":0$settings}
JSON

ticks="$(getconf CLK_TCK)"
cpu_ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
now() { date +%s.%N; }

t0="$(now)"
APPDATA="$work" NIMBREL_SERVICE_BASE="$base" NIMBREL_PROBE_OUT="$work/frames" \
  LD_PRELOAD="$work/probe.so" "$BUILD/nimbrel" &
apid=$!
for _ in $(seq 400); do [ -s "$work/frames" ] && break; sleep 0.01; done
first="$(head -1 "$work/frames" | awk '{print $2}')"

# Let the first refresh finish and the fast frames after start-up end.
sleep 3
rss_kb="$(awk '/^VmRSS/ {print $2}' "/proc/$apid/status")"
# How much of it is the software OpenGL renderer's code (a GPU driver differs)
# and how much the process's own private memory.
gl_kb="$(awk '/^[0-9a-f]+-/ {name = $6} /^Rss:/ && name ~ /libLLVM|swrast_dri|libgallium/ {s += $2} END {print s + 0}' "/proc/$apid/smaps")"
priv_kb="$(awk '/^Private_Dirty/ {print $2}' "/proc/$apid/smaps_rollup")"

# The probe's counters: loop turns, frames built, frames presented, and the
# main thread's CPU nanoseconds spent in the turns that built a frame.
counts() { od -An -t u8 -v "$work/frames.counts" | tr -s ' \n' ' '; }
# The main thread's CPU nanoseconds, as the scheduler counts them.
main_ns() { awk '{print $1}' "/proc/$apid/task/$apid/schedstat"; }
idle() { # label
  local c0 c1 m0 m1 n0 n1
  c0="$(cpu_ticks "$apid")"; m0="$(main_ns)"; n0="$(counts)"
  sleep "$IDLE"
  c1="$(cpu_ticks "$apid")"; m1="$(main_ns)"; n1="$(counts)"
  awk -v a="$c0" -v b="$c1" -v t="$ticks" -v s="$IDLE" -v l="$1" -v m0="$m0" -v m1="$m1" -v n0="$n0" -v n1="$n1" 'BEGIN {
    split(n0, x, " "); split(n1, y, " ")
    turns = y[1] - x[1]; built = y[2] - x[2]; shown = y[3] - x[3]; builtNs = y[4] - x[4]
    printf "idle CPU, %-10s %6.2f %% of one core (%d frames built, %d presented in %d s)\n", l, (b - a) / t / s * 100, built, shown, s
    if (turns > 0)
      printf "main thread, %-10s %6.2f %% of one core (%d loop turns, %.3f ms each)\n", l, (m1 - m0) / 1e9 / s * 100, turns, (m1 - m0) / 1e6 / turns
    # A turn that built a frame: building the dashboard frame, hashing it and,
    # when it changed, drawing and presenting it.
    if (built > 0 && turns > built)
      printf "main-thread CPU per frame built: %.3f ms (mean of %d); per turn without one: %.3f ms\n", builtNs / 1e6 / built, built, (m1 - m0 - builtNs) / 1e6 / (turns - built)
  }'
}

echo "Nimbrel performance ($(nproc) cores, software OpenGL on Xvfb)"
awk -v a="$t0" -v b="$first" 'BEGIN { printf "first frame after start:   %6.3f s\n", b - a }'
echo "resident memory:           $((rss_kb / 1024)) MB after the first refresh ($((gl_kb / 1024)) MB of it the software renderer's libraries, $((priv_kb / 1024)) MB private)"
idle shown
"$work/iconify"
sleep 1
idle minimised

kill -TERM "$apid"
wait "$apid" && echo "exit code:                 0" || echo "exit code:                 $?"
apid=""
