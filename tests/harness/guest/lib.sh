# Guest helpers: printers in four slots, orlup-cli under a watchdog, and checks of what both
# ends of the cable saw. A scenario fails when its log has a line starting "FAIL".

SLOTS=4
CONFIGFS=/sys/kernel/config/usb_gadget
IMG=/tmp/img
RUN=/tmp/run
PIDS=$RUN/pids
NOMINAL_PACE=102400
# Each scenario's flash history of its own.
export XDG_STATE_HOME=$RUN/state
COMPLETION="The firmware data was sent to the printer."

uptime_cs() { read -r up rest < /proc/uptime && echo $((${up%.*} * 100 + 1${up#*.} - 100)); }

seconds_of() { printf '%d.%02d' $(($1 / 100)) $(($1 % 100)); }

# wait_for TENTHS COMMAND...: polls until COMMAND succeeds or TENTHS tenths of a second pass.
wait_for() {
    tenths=$1
    shift
    until "$@" > /dev/null 2>&1; do
        [ $((tenths -= 1)) -gt 0 ] || return
        sleep 0.1
    done
}

# A zombie counts as gone: it holds no file descriptors any more. Polled, so builtins only:
# every process started costs the guest's emulated CPU, and the pace shows it.
gone() { ! read -r stat 2> /dev/null < /proc/$1/stat || [ "${stat#*[)] Z }" != "$stat" ]; }

# fail TEXT: false, so that "check || fail TEXT" stays false.
fail() { echo "FAIL: $*" && false; }

# expect LABEL COMMAND...: COMMAND succeeds.
expect() { if (shift && "$@"); then echo "ok: $1"; else fail "$1"; fi; }

expect_eq() { expect "$1 = $3" [ "$2" = "$3" ] || echo "  got '$2'"; }

lacks() { ! grep -q "$@"; }

# show LABEL FILE: the end of the file, each line labelled.
show() { [ ! -s $2 ] || tail -n 8 $2 | sed "s/^/  $1| /"; }

# Slot N is gadget gN on dummy_udc.N, read at /dev/g_printerN (the printer functions' minors
# follow the order of creation), and seen by the host on dummy_hcd.N.
gadget_create() {
    g=$CONFIGFS/g$1
    mkdir $g $g/strings/0x409 $g/configs/c.1 $g/functions/printer.0 || return
    echo 10 > $g/functions/printer.0/q_len
    ln -s $g/functions/printer.0 $g/configs/c.1/
}

# The host's /dev/usb/lpN of SLOT's printer: lpN numbers are not stable between runs.
node_of() {
    lp=$(ls -d /sys/devices/platform/dummy_hcd.$1/usb*/*/*/usbmisc/lp* 2> /dev/null) &&
        echo /dev/usb/${lp##*/}
}

no_node() { ! node_of $1; }

port_of() { ls -d /sys/devices/platform/dummy_hcd.$1/usb*/*-1 | sed 's,.*/,,'; }

# plug SLOT MODEL SERIAL: an Ilvaran or Ilvaran-II into SLOT; waits for the host's node. An
# empty SERIAL leaves the host without a serial attribute at all.
plug() {
    g=$CONFIGFS/g$1
    [ $2 = Ilvaran ] && product=200a || product=1301
    echo 0x044e > $g/idVendor
    echo 0x$product > $g/idProduct
    echo "Orlup harness" > $g/strings/0x409/manufacturer
    echo "$2 (emulated)" > $g/strings/0x409/product
    echo "$3" > $g/strings/0x409/serialnumber
    # The host's IEEE 1284 id loses the last two characters: pad them.
    printf '%s' "MFG:Orlup harness;MDL:$2;CMD:ESC;  " > $g/functions/printer.0/pnp_string
    echo dummy_udc.$1 > $g/UDC && wait_for 100 node_of $1 || fail "slot $1: no node" || return
    echo "plugged $2 '$3' into slot $1: $(node_of $1) on port $(port_of $1)"
}

# A request left half-read at an unbind is freed twice by f_printer: drain first.
unplug() {
    [ -n "$(cat $CONFIGFS/g$1/UDC)" ] || return 0
    timeout 10 printer-emulator drain /dev/g_printer$1
    echo "" > $CONFIGFS/g$1/UDC
    wait_for 50 no_node $1 || fail "slot $1: the node outlived the unplug"
}

# serve [--fresh] SLOT IMAGE [stall|unplug BYTES]: SLOT's printer expects IMAGE after the
# command, and stops reading or pulls its cable once BYTES have come. Unless the slot was
# plugged in just now (--fresh), bytes a previous transfer left queued are read away first. The
# last report goes first: its "ready" could pass for the new printer's before the new one has
# emptied its port.
serve() {
    fresh=
    [ "$1" != --fresh ] || { fresh=$1 && shift; }
    rm -f $RUN/$1.report
    printer-emulator serve $fresh /dev/g_printer$1 $CONFIGFS/g$1/UDC $2 $3 $4 \
        > $RUN/$1.report 2>&1 &
    echo $! | tee $RUN/$1.pid >> $PIDS
    wait_for 120 grep -q '^ready' $RUN/$1.report || fail "printer $1: $(cat $RUN/$1.report)"
}

# printer SLOT MODEL SERIAL IMAGE [stall|unplug BYTES]: plugs a printer in and serves it; the
# host may write to it from the moment it is plugged in.
printer() { plug $1 $2 "$3" && serve --fresh $1 $4 $5 $6; }

# collect SLOT...: tells the printers the host is done and shows what each received (the
# gadget hands data over per filled 8 KiB request: gaps are nominally 80 ms).
collect() {
    for slot in "$@"; do
        kill -TERM $(cat $RUN/$slot.pid) 2> /dev/null
        wait_for 50 gone $(cat $RUN/$slot.pid) || fail "printer $slot did not stop"
        echo "printer $slot saw: $(grep -v '^ready' $RUN/$slot.report | tr '\n' ' ')"
    done
}

reported() { sed -n "s/^$2=//p" $RUN/$1.report; }

# expect_report SLOT KEY=VALUE...: what SLOT's printer reported.
expect_report() {
    for fact in $(shift && echo "$@"); do
        expect_eq "printer $1 ${fact%%=*}" "$(reported $1 ${fact%%=*})" "${fact#*=}"
    done
}

# expect_pace SLOT MIN MAX: SLOT's printer got the image at MIN to MAX percent of nominal.
expect_pace() {
    percent=$(($(reported $1 pace) * 100 / NOMINAL_PACE))
    expect "pace: printer $1 at $percent% of nominal, within $2..$3%" \
        [ $percent -ge $2 -a $percent -le $3 ]
}

# cli_start SECONDS WORDS...: orlup-cli WORDS in the background, as a terminal's shell starts
# a job, killed after SECONDS; redirections (">&-") among the WORDS apply to orlup-cli. Sets
# CLI_PID, orlup-cli's own pid. CLI, if set, runs instead of orlup-cli.
cli_start() {
    CLI_LIMIT=$1 CLI_START=$(uptime_cs) CLI_WORDS=$(shift && echo "$*")
    rm -f $RUN/cli.pid
    eval "exec timeout -s KILL $1 printer-emulator job $RUN/cli.pid ${CLI:-orlup-cli} $CLI_WORDS" \
        > $RUN/cli.out 2> $RUN/cli.err &
    CLI_JOB=$!
    wait_for 50 [ -s $RUN/cli.pid ] || fail "orlup-cli did not start" || return
    read -r CLI_PID < $RUN/cli.pid
    echo $CLI_JOB $CLI_PID >> $PIDS
}

# Sets CLI_RC and CLI_CS (the centiseconds orlup-cli ran) and shows what it printed.
cli_wait() {
    wait $CLI_JOB
    CLI_RC=$?
    CLI_CS=$(($(uptime_cs) - CLI_START))
    echo "orlup-cli $CLI_WORDS: exit $CLI_RC after $(seconds_of $CLI_CS) s"
    [ $CLI_RC != 137 ] || fail "orlup-cli killed, maybe after $CLI_LIMIT s"
    show out $RUN/cli.out
    show err $RUN/cli.err
}

# run_cli SECONDS WORDS...
run_cli() { cli_start "$@" && cli_wait; }

# expect_exit STATUS SLOT KEY=VALUE...: orlup-cli's exit status and what SLOT's printer reported.
expect_exit() { collect $2 && expect_eq "exit code" $CLI_RC $1; shift && expect_report "$@"; }

# expect_failure STATUS LINE: LINE (a basic regular expression) on stderr, no completion text.
expect_failure() {
    expect_eq "exit code" $CLI_RC $1
    expect "stderr says '$2'" grep -qx "$2" $RUN/cli.err
    expect "no completion text" lacks -xF "$COMPLETION" $RUN/cli.out
}

# Opening the node proves nobody, orlup-cli included, still holds the printer.
can_open() { (exec 3> $1) 2> /dev/null; }

expect_free() { expect "slot $1's printer can be opened again" can_open "$(node_of $1)"; }

holds() { [ "$(readlink /proc/$1/fd/1)" = "$2" ]; }

# hold SLOT: keeps SLOT's printer open from another process, as a print spooler would.
hold() {
    sleep 120 > $(node_of $1) &
    HOLDER=$!
    echo $HOLDER >> $PIDS
    wait_for 30 holds $HOLDER $(node_of $1) || fail "could not hold slot $1's printer open"
}

release() { kill $HOLDER && wait $HOLDER 2> /dev/null; }
