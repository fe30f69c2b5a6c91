#!/bin/sh
# Starts or stops the Wine session that the Windows tests run in: Xvfb, a persistent wineserver
# and a fresh prefix with Wine's own fonts, all kept in one state folder of the build.
# Usage: wine-session.sh start|stop STATE_DIR
set -eu

command=$1
orlupWineState=$2
. "$(dirname "$0")/wine-env.sh"

# A session that nobody stops (tests only listed, a run cut short) ends once no Windows program
# has run in it for this long.
idleSeconds=${ORLUP_WINE_IDLE_SECONDS:-600}

Stop() {
    if OrlupServerSocket >/dev/null && [ -d "$WINEPREFIX" ]; then
        wineserver -k >/dev/null 2>&1 || true
        wineserver -w >/dev/null 2>&1 || true
    fi
    if [ -s "$orlupXvfbPidFile" ]; then
        kill "$(cat "$orlupXvfbPidFile")" 2>/dev/null || true
        rm -f "$orlupXvfbPidFile"
    fi
    rm -rf "$WINEPREFIX" "$orlupDisplayFile"
}

StartXvfb() {
    rm -f "$orlupDisplayFile"
    # -displayfd picks a free display number and writes it once the server accepts clients.
    # Its own session, so that nothing ending the starter's process group takes it along.
    setsid Xvfb -displayfd 3 -screen 0 1024x768x24 -br -nolisten tcp 3>"$orlupDisplayFile" \
        </dev/null >/dev/null 2>&1 9>&- &
    echo $! >"$orlupXvfbPidFile"
    tries=0
    until [ -s "$orlupDisplayFile" ]; do
        tries=$((tries + 1))
        [ $tries -le 100 ] || { echo "Xvfb did not start" >&2; exit 1; }
        sleep 0.1
    done
    OrlupUseDisplay
}

# Ends the session once it has been idle too long, and Xvfb whenever the wineserver is gone.
WatchSession() {
    touch "$orlupLastUseFile"
    socket=$(OrlupServerSocket)
    setsid sh -c '
        while [ -S "$1" ]; do
            sleep 5
            idle=$(( $(date +%s) - $(stat -c %Y "$2") ))
            [ "$idle" -lt "$3" ] || wineserver -k
        done
        kill "$4"' orlup-wine-watch "$socket" "$orlupLastUseFile" "$idleSeconds" \
        "$(cat "$orlupXvfbPidFile")" </dev/null >/dev/null 2>&1 9>&- &
}

Start() {
    Stop
    StartXvfb
    mkdir -p "$WINEPREFIX"
    # Started with every output closed: Wine's services inherit them, and a test whose output
    # is read through a pipe would otherwise wait for the services to end. Persistent without
    # end: with a time limit the desktop process and the RPC service quit after every program,
    # and starting them again costs each GUI test ten seconds.
    wineserver -p </dev/null >/dev/null 2>&1 9>&-
    wine wineboot -i </dev/null >/dev/null 2>&1 9>&-
    # Without Wine's own bitmap fonts "MS Sans Serif" falls back to a wider face.
    cp /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/"
    WatchSession
}

exec 9>"$orlupWineState/lock"
flock 9
case $command in
    start) OrlupSessionAlive || Start ;;
    stop) Stop ;;
    *) echo "usage: $0 start|stop STATE_DIR" >&2; exit 2 ;;
esac
