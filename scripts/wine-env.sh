# Sourced by the wine-*.sh scripts: the environment of one Wine session kept in a state folder.
# Usage: orlupWineState=STATE_DIR; . wine-env.sh   (sh passes no arguments to a sourced file)

orlupWineState=$(mkdir -p "$orlupWineState" && cd "$orlupWineState" && pwd)

export WINEPREFIX="$orlupWineState/prefix"
export WINEARCH=win64
# The wineserver's socket lives under TMPDIR: every command of the session must agree on it.
export TMPDIR="$orlupWineState/tmp"
export WINEDEBUG=-all
# No installer prompts for .NET or HTML, and a crash ends with exit code 5 instead of opening a
# debugger window that would hold the test until its timeout.
export WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export LANG=C
export LC_ALL=C
# File names in UTF-8 on the Unix side, so that Windows names of any characters can be made;
# the texts stay those of the C locale.
export LC_CTYPE=C.UTF-8
unset LC_ALL
mkdir -p "$TMPDIR"

orlupXvfbPidFile="$orlupWineState/xvfb.pid"
orlupDisplayFile="$orlupWineState/display"
orlupLastUseFile="$orlupWineState/last-use"

# The running wineserver's socket for this session, if any. Wine keeps it in a folder of its
# own choosing under TMPDIR, and TMPDIR belongs to this session alone.
OrlupServerSocket() {
    for socket in "$TMPDIR"/wine-*/server-*/socket "$TMPDIR"/.wine-*/server-*/socket; do
        [ -S "$socket" ] && { echo "$socket"; return 0; }
    done
    return 1
}

OrlupSessionAlive() {
    [ -s "$orlupXvfbPidFile" ] && kill -0 "$(cat "$orlupXvfbPidFile")" 2>/dev/null &&
        [ -d "$WINEPREFIX" ] && OrlupServerSocket >/dev/null
}

OrlupUseDisplay() {
    DISPLAY=":$(cat "$orlupDisplayFile")"
    export DISPLAY
}
