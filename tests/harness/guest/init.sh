#!/bin/busybox sh
# The guest's /init: loads the USB stack, runs every scenario under a watchdog, powers off.

/bin/busybox --install -s /bin
export PATH=/bin:/usr/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
# The initramfs has no /dev/console of its own, so the kernel may have started us without one.
exec 0< /dev/console 1> /dev/console 2>&1
mkdir -p /tmp

. /harness/gadgets.sh
. /harness/runner.sh
. /harness/scenarios.sh

# Verdicts go to the second serial port, away from the kernel's console messages.
RESULTS=/dev/ttyS1

emit() { printf '%s\n' "$@" > $RESULTS; }

# Debian's kernel package has no modules.dep, so the dependency order is spelled out.
load_usb_stack() {
    for module in usb-common usbcore udc-core configfs libcomposite usb_f_printer usblp; do
        insmod /modules/$module.ko || return 1
    done
    insmod /modules/dummy_hcd.ko num=2 || return 1
    mount -t configfs configfs /sys/kernel/config &&
        gadget_create g0 && gadget_create g1
}

make_images() {
    mkdir -p $IMG
    for image in 0493-2500:2500 0493-64k:65536 0498-256k:262144 0498-1mib:1048576; do
        printer-emulator make-image $IMG/${image%:*}.hex ${image#*:} || return 1
    done
}

# Kills whatever a scenario left running, then unplugs everything: no gadget fd may stay
# open across an unbind and a later bind, and no half-read request may be left at an unbind.
clean_up() {
    for pid in $(cat $PIDS 2> /dev/null); do
        alive $pid && kill -KILL $pid
    done
    for pid in $(cat $PIDS 2> /dev/null); do
        wait_for 50 gone $pid || echo "FAIL: process $pid survived SIGKILL"
    done
    for gadget in g0 g1; do
        [ -z "$(cat $CONFIGFS/$gadget/UDC)" ] ||
            timeout 10 printer-emulator drain "$(gadget_device_of $gadget)"
        gadget_unplug $gadget
    done
    wait_for 50 lp_node_gone_all || echo "FAIL: printer nodes left after unplugging"
}

lp_node_gone_all() { ! any_lp_node; }

# What the programs printed so far is all that is left to tell where the scenario hung.
watchdog_fired() {
    kill -KILL $3
    {
        fail "watchdog: $1 still running after $2 s"
        for output in $RUN/*.out $RUN/*.err; do
            [ -s "$output" ] && show "${output##*/}" "$output"
        done
    } >> $RUN/log
}

# run_scenario NAME SECONDS: runs scenario_NAME in a subshell killed after SECONDS.
run_scenario() {
    rm -rf $RUN
    mkdir -p $RUN
    start=$(uptime_cs)
    (scenario_$1) > $RUN/log 2>&1 &
    scenario=$!
    wait_for $(($2 * 10)) gone $scenario || watchdog_fired $1 $2 $scenario
    wait $scenario
    clean_up >> $RUN/log 2>&1
    verdict=PASS
    grep -q '^FAIL' $RUN/log && verdict=FAIL
    took=$(seconds_of $(($(uptime_cs) - start)))
    emit "@@BEGIN $1" "$(cat $RUN/log)" "@@RESULT $1 $verdict $took"
}

# The kernel's own complaints: a warning or list corruption here wedges later runs.
check_kernel() {
    dmesg > /tmp/dmesg.txt
    problems=$(grep -E 'WARNING:|BUG:|Oops|corruption|Call Trace|blocked for more' /tmp/dmesg.txt)
    verdict=PASS
    [ -z "$problems" ] || verdict=FAIL
    complaints=$(grep -iE 'usb|lp[0-9]|printer|gadget|udc|dummy' /tmp/dmesg.txt |
        grep -iE 'error|status|fail|warn|timeout|fired|-[0-9]+$' | tail -n 40)
    emit "@@BEGIN guest_kernel_clean" \
        "$(grep -c 'USB disconnect' /tmp/dmesg.txt) USB disconnects; the kernel's USB complaints:" \
        "$(printf '%s\n' "$complaints" | sed 's/^/  /')" \
        "${problems:+FAIL: kernel problems:}" "$problems" \
        "@@RESULT guest_kernel_clean $verdict $(seconds_of "$(uptime_cs)")"
}

# name:watchdog seconds; the faults that could upset the kernel come last.
ALL_SCENARIOS="small_transfer:40 model_absent:40 only_printer_busy:40
    two_printers_same_model:60 list_printers:40 large_transfer_pace:80 printer_stalls:60
    printer_unplugged:60"

main() {
    emit "@@GUEST $(uname -r) up $(seconds_of "$(uptime_cs)") s"
    load_usb_stack || { emit "@@FATAL loading the USB stack failed"; return; }
    make_images || { emit "@@FATAL making the test images failed"; return; }
    # A "scenarios=name:seconds,..." word on the kernel command line picks a subset.
    for entry in $(echo "${scenarios:-$ALL_SCENARIOS}" | tr , ' '); do
        run_scenario ${entry%:*} ${entry#*:}
    done
    check_kernel
    emit "@@END up $(seconds_of "$(uptime_cs)") s"
}

main
sync
reboot -f
