# Sourced by every script and by the tests' Wine wrapper: the checkout's root, the build
# folder ($BUILD_DIR, default build/), the build's own Wine prefix and Wine's settings, the
# means to start an X display and a wineserver that last until the calling script ends, and
# the product's facts as a build gives them.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build_dir=${BUILD_DIR:-$root/build}
export BUILD_DIR="$build_dir"

export WINEPREFIX="$build_dir/wineprefix"
export WINEDEBUG="${WINEDEBUG:--all}"
# Never offer to install Mono or Gecko; make no menu entries on the host for shortcuts
# (the installer tests make a Start-menu shortcut).
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

xvfb_pid=""

start_xvfb() {
    local n
    for n in $(seq 91 199); do
        [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp </dev/null >/dev/null 2>&1 &
        xvfb_pid=$!
        for _ in $(seq 1 100); do
            [ -e "/tmp/.X11-unix/X$n" ] && break
            sleep 0.1
        done
        if [ -e "/tmp/.X11-unix/X$n" ] && kill -0 "$xvfb_pid" 2>/dev/null; then
            export DISPLAY=":$n"
            return 0
        fi
    done
    echo "No X display could be started" >&2
    return 1
}

make_prefix() {
    [ -f "$WINEPREFIX/.sorvagenta-ready" ] && return 0
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    wineboot -i </dev/null >/dev/null 2>&1
    wineserver -w
    # Without a window manager Wine otherwise waits whenever a window hides.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
    # A crashing program ends instead of waiting on a dialog.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
        </dev/null >/dev/null 2>&1
    # Debian installs Wine's own fonts where this build does not look for them.
    local fonts="$WINEPREFIX/drive_c/windows/Fonts"
    mkdir -p "$fonts"
    dpkg -L fonts-wine 2>/dev/null | grep -iE '\.(ttf|ttc|fon)$' | while read -r f; do
        cp -n "$f" "$fonts/" 2>/dev/null || true
    done
    wineserver -w
    touch "$WINEPREFIX/.sorvagenta-ready"
}

start_wineserver() {
    # Fails harmlessly when this prefix already has a server.
    wineserver -p </dev/null >/dev/null 2>&1 || true
    # Start Wine's background services now, away from ctest's output pipe: a service
    # that inherits it makes ctest wait for the pipe to close.
    wine wineboot </dev/null >/dev/null 2>&1
}

# The build's prefix and its wineserver, ready for programs.
start_wine() {
    make_prefix
    start_wineserver
}

# Wine ends its desktop process whenever the last program on it ends, and starting it again
# costs each test program about a second: one idle program of the build holds it open until
# the wineserver stops.
keep_desktop() {
    local keeper="$build_dir/bin/desktop_keeper.exe"
    [ -f "$keeper" ] || return 0
    wine "$keeper" </dev/null >/dev/null 2>&1 &
}

stop_wine() {
    wineserver -k </dev/null >/dev/null 2>&1 || true
    if [ -n "$xvfb_pid" ]; then
        kill "$xvfb_pid" 2>/dev/null || true
        wait "$xvfb_pid" 2>/dev/null || true
    fi
}

# release_fact FACTS KEY: one fact of a build's release.json, a list one item a line.
release_fact() {
    python3 "$root/tools/release/release_facts.py" "$1" "$2"
}
