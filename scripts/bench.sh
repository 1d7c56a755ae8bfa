#!/usr/bin/env bash
# Measures Sorvagenta beside two floors under the same Wine: a hidden window with a
# 250 ms timer doing nothing, and the same making the three memory queries per tick.
# Reports idle CPU over $IDLE_SECONDS (default 60) and resident memory (from Linux's view
# of each Wine process), start-up time, the in-process cost of a refresh, and file sizes.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
export BUILD_DIR="$build_dir"
idle_seconds=${IDLE_SECONDS:-60}

bash "$root/scripts/setup-debian.sh"
bash "$root/scripts/build.sh" >/dev/null

source "$root/scripts/wine-env.sh"
trap 'kill $(jobs -p) 2>/dev/null; stop_wine' EXIT
start_xvfb
make_prefix
start_wineserver
bin="$build_dir/bin"

echo "== Start-up (median of 9 starts)"
for program in floor_idle:SorvagentaFloor floor_queries:SorvagentaFloor Sorvagenta:Sorvagenta; do
    name=${program%%:*}
    printf '%-14s ' "$name"
    wine "$bin/start_bench.exe" "$bin/$name.exe" "${program##*:}" 9 </dev/null 2>/dev/null | tr -d '\r'
done

echo "== Idle for $idle_seconds s (CPU time of the process, resident set at the end)"
ticks=$(getconf CLK_TCK)
declare -A pids
for name in floor_idle floor_queries Sorvagenta; do
    wine "$bin/$name.exe" </dev/null >/dev/null 2>&1 &
done
for name in floor_idle floor_queries Sorvagenta; do
    for _ in $(seq 1 100); do
        pid=$(pgrep -f "bin.$name\.exe" | head -1 || true)
        [ -n "$pid" ] && break
        sleep 0.1
    done
    pids[$name]=$pid
done
sleep 5 # let start-up work settle before measuring
cpu_of() { awk '{print $14 + $15}' "/proc/$1/stat"; }
declare -A before
for name in "${!pids[@]}"; do before[$name]=$(cpu_of "${pids[$name]}"); done
sleep "$idle_seconds"
for name in floor_idle floor_queries Sorvagenta; do
    pid=${pids[$name]}
    used=$(( $(cpu_of "$pid") - ${before[$name]} ))
    rss=$(awk '/VmRSS/ {print $2}' "/proc/$pid/status")
    printf '%-14s CPU %5d ms   resident %6d KB\n' "$name" $(( used * 1000 / ticks )) "$rss"
done
wine cmd /c "taskkill /f /im floor_idle.exe & taskkill /f /im floor_queries.exe" \
    </dev/null >/dev/null 2>&1 || true

echo "== One tray refresh, in process"
wine "$bin/refresh_bench.exe" </dev/null 2>/dev/null | tr -d '\r'

echo "== Shipped files"
for f in Sorvagenta.exe Tamsprock.dll; do
    printf '%-16s %7d bytes\n' "$f" "$(stat -c %s "$bin/$f")"
done
printf '%-16s %7d bytes\n' "together" \
    $(( $(stat -c %s "$bin/Sorvagenta.exe") + $(stat -c %s "$bin/Tamsprock.dll") ))
