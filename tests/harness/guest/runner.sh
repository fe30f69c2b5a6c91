# Guest helpers: run the emulator and orlup-cli under watchdogs and record what they showed.

IMG=/tmp/img
RUN=/tmp/run
PIDS=$RUN/pids
NOMINAL_PACE=102400
COMPLETION_1="The firmware data was sent to the printer."
COMPLETION_2="Please wait for all 4 printer LEDs, INCLUDING the button LED, to start flashing."
COMPLETION_3="Then change the rotary switch to original postion and re-power the printer."

uptime_cs() {
    read -r up rest < /proc/uptime
    echo $((${up%.*} * 100 + 1${up#*.} - 100))
}

seconds_of() { printf '%d.%02d' $(($1 / 100)) $(($1 % 100)); }

# A zombie counts as gone: it holds no file descriptors any more.
alive() {
    [ -r /proc/$1/stat ] || return 1
    [ "$(cut -d')' -f2 /proc/$1/stat | cut -c2)" != Z ]
}

gone() { ! alive $1; }

# A scenario fails when its log has a FAIL line, wherever it came from.
fail() { echo "FAIL: $*"; }

expect_eq() {
    if [ "$2" = "$3" ]; then echo "ok: $1 = $3"; else fail "$1: got '$2', want '$3'"; fi
}

expect_true() {
    label=$1
    shift
    if "$@"; then echo "ok: $label"; else fail "$label"; fi
}

# Prints a file with a label on each line, shortened in the middle when long.
show() {
    lines=$(wc -l < $2)
    if [ $lines -le 12 ]; then
        sed "s/^/  $1| /" $2
    else
        head -n 4 $2 | sed "s/^/  $1| /"
        echo "  $1| ... ($((lines - 8)) more lines)"
        tail -n 4 $2 | sed "s/^/  $1| /"
    fi
}

# emu_start NAME GADGET IMAGE [OPTION VALUE]...: a printer on GADGET expecting IMAGE.
emu_start() {
    local name=$1 gadget=$2 image=$3
    shift 3
    printer-emulator serve --gadget "$(gadget_device_of $gadget)" --image $image \
        --report $RUN/$name.report --ready $RUN/$name.ready --max-seconds 90 "$@" \
        2> $RUN/$name.stderr &
    echo $! > $RUN/$name.pid
    echo $! >> $PIDS
    wait_for 120 test -e $RUN/$name.ready && return 0
    fail "printer $name on $gadget not ready: $(cat $RUN/$name.stderr $RUN/$name.report)"
    return 1
}

# Tells the printer the host is done, waits for its report and shows it.
emu_stop() {
    local pid
    pid=$(cat $RUN/$1.pid)
    kill -TERM $pid 2> /dev/null
    wait_for 50 gone $pid || { kill -KILL $pid; fail "printer $1 did not stop"; }
    wait $pid 2> /dev/null
    echo "printer $1 saw:"
    sed "s/^/  $1| /" $RUN/$1.report
}

report_value() { sed -n "s/^$2=//p" $RUN/$1.report; }

expect_report() { expect_eq "printer $1 $2" "$(report_value $1 $2)" "$3"; }

# run_cli NAME LIMIT ARGS...: orlup-cli with a watchdog; sets CLI_RC and CLI_CS (centiseconds).
run_cli() {
    local name=$1 limit=$2 start cli
    shift 2
    start=$(uptime_cs)
    timeout $limit orlup-cli-static "$@" > $RUN/$name.out 2> $RUN/$name.err &
    cli=$!
    echo $cli >> $PIDS
    wait $cli
    CLI_RC=$?
    CLI_CS=$(($(uptime_cs) - start))
    echo "orlup-cli $*: exit $CLI_RC after $(seconds_of $CLI_CS) s"
    show out $RUN/$name.out
    show err $RUN/$name.err
}

has_completion() {
    [ "$(grep -A2 -xF "$COMPLETION_1" $RUN/$1.out)" = "$(printf '%s\n%s\n%s' \
        "$COMPLETION_1" "$COMPLETION_2" "$COMPLETION_3")" ]
}

lacks_completion() { ! has_completion $1; }

is_empty() { [ ! -s $1 ]; }

expect_success() {
    expect_eq "exit code" $CLI_RC 0
    expect_true "completion text on stdout" has_completion $1
    expect_true "nothing on stderr" is_empty $RUN/$1.err
}

# expect_failure NAME TEXT: exit 1 with TEXT as a line of stderr, and no completion text.
expect_failure() {
    expect_eq "exit code" $CLI_RC 1
    expect_true "stderr says '$2'" grep -qxF "$2" $RUN/$1.err
    expect_true "no completion text" lacks_completion $1
}

has_write_failure() { grep -F "USB port write failed - " $RUN/$1.err | grep -qiF "(0x$2)"; }

expect_write_failure() {
    expect_eq "exit code" $CLI_RC 1
    expect_true "stderr says 'USB port write failed - ... (0x$2)'" has_write_failure $1 $2
}

expect_exact_image() {
    expect_report $1 command ok
    expect_report $1 announced $2
    expect_report $1 payload $2
    expect_report $1 extra 0
    expect_report $1 match yes
}

expect_untouched() { expect_report $1 received 0; }

# Opening the node proves nobody, orlup-cli included, still holds the printer.
can_open() { (exec 3> $1) 2> /dev/null; }

expect_free() { expect_true "$1 can be opened again" can_open $1; }

holds() { [ "$(readlink /proc/$1/fd/1)" = "$2" ]; }

# hold NODE: keeps NODE open from another process, as a print spooler would; sets HOLDER.
hold() {
    sleep 120 > $1 &
    HOLDER=$!
    echo $HOLDER >> $PIDS
    wait_for 30 holds $HOLDER $1 || fail "could not hold $1 open"
}

release() {
    kill $HOLDER
    wait $HOLDER 2> /dev/null
}
