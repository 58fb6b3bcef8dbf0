#!/usr/bin/env bash
# CPU use and resident memory of `kv60x --demo` (offscreen) while connected and idle.
#   bench/idle_usage.sh [BUILD_DIR] [SECONDS] [RSS_MINUTES]
# Prints the share of one core used over SECONDS, and the resident memory after
# start and after RSS_MINUTES minutes. The demo's simulated meter runs inside
# the same process, so its work is counted too.
set -euo pipefail
build=${1:-build}
seconds=${2:-60}
minutes=${3:-10}
tmp=$(mktemp -d)
trap 'kill $pid 2>/dev/null || true; rm -rf "$tmp"' EXIT
QT_QPA_PLATFORM=offscreen "$build/apps/kv60x" --demo --config "$tmp/kv60x.ini" >/dev/null 2>&1 &
pid=$!
sleep 10  # started and connected
hz=$(getconf CLK_TCK)
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
rss() { awk '/VmRSS/ {print $2}' "/proc/$pid/status"; }
rss_start=$(rss)
t0=$(ticks)
sleep "$seconds"
t1=$(ticks)
awk -v t="$((t1 - t0))" -v hz="$hz" -v s="$seconds" \
  'BEGIN { printf "cpu: %.2f %% of one core over %d s\n", 100 * t / hz / s, s }'
echo "rss after start: ${rss_start} KiB"
remaining=$((minutes * 60 - seconds - 10))
if [ "$remaining" -gt 0 ]; then sleep "$remaining"; fi
echo "rss after ${minutes} min: $(rss) KiB"
