#!/usr/bin/env bash
# Measures Sorvagenta beside two floors under the same Wine, in a Wine desktop whose
# taskbar receives the notification icon: a hidden window with a 250 ms timer doing nothing
# (floor_idle), and the same making the three memory queries per tick (floor_queries).
# Every comparison runs its programs in the same run, ROUNDS times (default 3), and reports
# each ratio to floor_queries with its minimum and median:
# - start-up: process start to first window (floors) and to first icon add (Sorvagenta);
# - idle: the three run side by side for IDLE_SECONDS (default 180); CPU time and resident
#   memory from Linux's view of each Wine process; then Sorvagenta's resident memory after
#   its first Details opening and after its first About box;
# - the in-process cost of a refresh, and file sizes.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
idle_seconds=${IDLE_SECONDS:-180}
rounds=${ROUNDS:-3}

bash "$root/scripts/setup-debian.sh"
bash "$root/scripts/build.sh" >/dev/null

# A prefix of its own whose programs all share one Wine desktop with a taskbar.
export WINEPREFIX="$build_dir/bench-wineprefix"
trap 'stop_wine' EXIT
start_xvfb
make_prefix
wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f </dev/null >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f \
    </dev/null >/dev/null 2>&1
start_wineserver
bin="$build_dir/bin"
ticks=$(getconf CLK_TCK)
# The program and the shipped files, as the build names them.
program=$(release_fact "$build_dir/release.json" program)
product=${program%.exe}
programs="floor_idle floor_queries $product"

# ratio_summary LABEL VALUES...: minimum and median of the values.
ratio_summary() {
    local label=$1
    shift
    printf '%s\n' "$@" | sort -g | awk -v label="$label" \
        '{ v[NR] = $1 } END { printf "%-44s min %5.2f  median %5.2f  (%d rounds)\n",
            label, v[1], v[int((NR + 1) / 2)], NR }'
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", (b > 0 ? a / b : 0) }'; }
rss_of() { awk '/VmRSS/ {print $2}' "/proc/$1/status"; }
cpu_of() { awk '{print $14 + $15}' "/proc/$1/stat"; }
pid_of() {
    local pid=""
    for _ in $(seq 1 200); do
        pid=$(pgrep -f "$bin/$1\.exe" | head -1 || true)
        [ -n "$pid" ] && break
        sleep 0.1
    done
    echo "$pid"
}

echo "== Start-up, $((rounds * 3)) starts of each, interleaved"
wine "$bin/start_bench.exe" $((rounds * 3)) "$bin/floor_idle.exe" "$bin/floor_queries.exe" \
    "$bin/$program" </dev/null 2>/dev/null | tr -d '\r'

echo "== Idle side by side, $rounds rounds of $idle_seconds s"
cpu_idle=() cpu_sorv=() rss_idle=() rss_sorv=() rss_details=() rss_about=()
for round in $(seq 1 "$rounds"); do
    declare -A pids=() before=()
    for name in $programs; do
        wine "$bin/$name.exe" </dev/null >/dev/null 2>&1 &
    done
    for name in $programs; do pids[$name]=$(pid_of "$name"); done
    sleep 10 # let start-up work settle before measuring
    for name in $programs; do before[$name]=$(cpu_of "${pids[$name]}"); done
    sleep "$idle_seconds"
    declare -A cpu=() rss=()
    for name in $programs; do
        cpu[$name]=$(( ($(cpu_of "${pids[$name]}") - ${before[$name]}) * 1000 / ticks ))
        rss[$name]=$(rss_of "${pids[$name]}")
    done
    printf 'round %d: CPU ms %s; resident KB %s\n' "$round" \
        "$(for n in $programs; do printf '%s %d  ' "$n" "${cpu[$n]}"; done)" \
        "$(for n in $programs; do printf '%s %d  ' "$n" "${rss[$n]}"; done)"
    # CPU ratios with 10 ms clock ticks: a floor of 0 counts as one tick.
    floor_cpu=$(( ${cpu[floor_queries]} > 0 ? ${cpu[floor_queries]} : 1000 / ticks ))
    cpu_idle+=("$(ratio "${cpu[floor_idle]}" "$floor_cpu")")
    cpu_sorv+=("$(ratio "${cpu[$product]}" "$floor_cpu")")
    rss_idle+=("$(ratio "${rss[floor_idle]}" "${rss[floor_queries]}")")
    rss_sorv+=("$(ratio "${rss[$product]}" "${rss[floor_queries]}")")

    wine "$bin/dialog_step.exe" details </dev/null >/dev/null 2>&1
    sleep 3
    details_kb=$(rss_of "${pids[$product]}")
    rss_details+=("$(ratio "$details_kb" "$(rss_of "${pids[floor_queries]}")")")
    wine "$bin/dialog_step.exe" about </dev/null >/dev/null 2>&1
    sleep 3
    about_kb=$(rss_of "${pids[$product]}")
    rss_about+=("$(ratio "$about_kb" "$(rss_of "${pids[floor_queries]}")")")
    printf 'round %d: %s resident after its first Details %d KB, after its first About %d KB\n' \
        "$round" "$product" "$details_kb" "$about_kb"
    for name in $programs; do
        kill "${pids[$name]}" 2>/dev/null || true
        for _ in $(seq 1 100); do
            [ -e "/proc/${pids[$name]}" ] || break
            sleep 0.1
        done
    done
done
echo "Ratios to floor_queries:"
ratio_summary "idle CPU, floor_idle" "${cpu_idle[@]}"
ratio_summary "idle CPU, $product (target <= 1.2)" "${cpu_sorv[@]}"
ratio_summary "resident memory, floor_idle" "${rss_idle[@]}"
ratio_summary "resident memory, $product (target <= 1.10)" "${rss_sorv[@]}"
ratio_summary "resident, $product after first Details" "${rss_details[@]}"
ratio_summary "resident, $product after first About" "${rss_about[@]}"

echo "== One tray refresh, in process, its icon in the desktop's taskbar"
wine "$bin/refresh_bench.exe" </dev/null 2>&1 | tr -d '\r'

echo "== Shipped files"
total=0
for f in $(release_fact "$build_dir/release.json" files); do
    printf '%-16s %7d bytes\n' "$f" "$(stat -c %s "$bin/$f")"
    total=$((total + $(stat -c %s "$bin/$f")))
done
printf '%-16s %7d bytes\n' "together" "$total"
