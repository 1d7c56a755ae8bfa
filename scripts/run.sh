#!/usr/bin/env bash
# Installs what is missing, builds, and runs Sorvagenta under Wine.
# With a display it runs in a Wine desktop window with a taskbar, until you choose Exit
# from its icon's menu. Without one it runs under Xvfb for a few seconds, prints the
# icon's live tooltip and saves a screenshot of the desktop to sorvagenta-desktop.png.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

bash "$root/scripts/setup-debian.sh"
bash "$root/scripts/build.sh" >/dev/null

trap stop_wine EXIT
program="$build_dir/bin/$(release_fact "$build_dir/release.json" program)"
desktop="explorer /desktop=Sorvagenta,1024x768"
if [ -n "${DISPLAY:-}" ]; then
    start_wine
    wine $desktop "$program"
    exit 0
fi

start_xvfb
start_wine
shot="$build_dir/sorvagenta-desktop.bmp"
rm -f "$shot"
wine $desktop "$build_dir/bin/traywatch.exe" "$program" 5 "$shot" \
    </dev/null 2>/dev/null | tr -d '\r'
if [ -f "$shot" ]; then
    convert "$shot" "$root/sorvagenta-desktop.png"
    echo "Screenshot of the desktop: $root/sorvagenta-desktop.png"
fi
