#!/usr/bin/env bash
# Prints performance figures of the program on a private virtual display:
# time from process start to the first frame, CPU use over 30 s idle with the
# window shown and minimised with the frames built and the frames presented
# (drawn and swapped) in that time, resident memory after the first refresh,
# and the main thread's CPU time per frame built. Targets: first frame under
# 0.3 s, idle CPU under 0.5 % of one core shown, under 80 MB resident.
#   BUILD=build bash tools/bench_app.sh      (IDLE_SECONDS=30 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD="${BUILD:-build}"
IDLE="${IDLE_SECONDS:-30}"

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
cat >"$work/Nimbrel/config.json" <<'JSON'
{"locations":[{"name":"Boston","country":"US","admin1":"Massachusetts","latitude":42.3584,
"longitude":-71.0598,"timezone":"America/New_York","isDefault":true}],"activeLocationIndex":0}
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

lines() { [ -f "$1" ] && wc -l <"$1" || echo 0; }
idle() { # label
  local c0 c1 f0 f1 b0 b1 u0 u1
  c0="$(cpu_ticks "$apid")"; f0="$(lines "$work/frames")"; b0="$(lines "$work/frames.built")"; u0="$(lines "$work/frames.turns")"
  sleep "$IDLE"
  c1="$(cpu_ticks "$apid")"; f1="$(lines "$work/frames")"; b1="$(lines "$work/frames.built")"; u1="$(lines "$work/frames.turns")"
  awk -v a="$c0" -v b="$c1" -v t="$ticks" -v s="$IDLE" -v l="$1" -v f=$((f1 - f0)) -v n=$((b1 - b0)) \
    'BEGIN { printf "idle CPU, %-10s %6.2f %% of one core (%d frames built, %d presented in %d s)\n", l, (b - a) / t / s * 100, n, f, s }'
  echo "$b0 $b1" >"$work/range"
  # The main thread alone, from the first to the last loop turn of the period.
  awk -v a="$u0" -v b="$u1" -v l="$1" 'NR == a + 1 { t0 = $2; c0 = $3 } NR == b { t1 = $2; c1 = $3 }
    END { if (b > a + 1) printf "main thread, %-10s %6.2f %% of one core (%d loop turns, %.3f ms each)\n", l, (c1 - c0) / (t1 - t0) * 100, b - a - 1, (c1 - c0) / (b - a - 1) * 1000 }' "$work/frames.turns"
}

echo "Nimbrel performance ($(nproc) cores, software OpenGL on Xvfb)"
awk -v a="$t0" -v b="$first" 'BEGIN { printf "first frame after start:   %6.3f s\n", b - a }'
echo "resident memory:           $((rss_kb / 1024)) MB after the first refresh ($((gl_kb / 1024)) MB of it the software renderer's libraries, $((priv_kb / 1024)) MB private)"
idle shown
range="$(cat "$work/range")"
# Main-thread CPU per frame built over the shown idle period: one loop turn,
# event handling, building the dashboard frame and, when it changed, drawing
# and presenting it.
awk -v r="$range" 'BEGIN { split(r, x, " ") }
  NR > x[1] + 1 && NR <= x[2] { d = $3 - prev; sum += d; k++ } { prev = $3 }
  END { if (k) printf "main-thread CPU per frame: %6.2f ms (mean of %d frames built)\n", sum / k * 1000, k }' "$work/frames.built"
"$work/iconify"
sleep 1
idle minimised

kill -TERM "$apid"
wait "$apid" && echo "exit code:                 0" || echo "exit code:                 $?"
apid=""
