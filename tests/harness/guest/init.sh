#!/bin/busybox sh
# The guest's /init: sets up the USB stack and the printer slots, runs the scenario table.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev
# The initramfs has no /dev/console of its own, so the kernel may have started us without one.
exec 0< /dev/console 1> /dev/console 2>&1

. /harness/lib.sh

# Verdicts go to the second serial port, away from the kernel's console, each line tagged
# with the scenario it belongs to. The port stays open: text it held at a close went missing.
stty -F /dev/ttyS1 115200 raw
exec 4> /dev/ttyS1
tell() { sed "s/^/$1| /" >&4; }

# Debian's kernel package has no modules.dep: the order file spells the dependencies out.
start_usb() {
    for module in $(cat /modules/order); do
        insmod /modules/$module $([ $module = dummy_hcd.ko ] && echo num=$SLOTS) || return 1
    done
    mount -t configfs configfs /sys/kernel/config || return 1
    for slot in $(seq 0 $((SLOTS - 1))); do gadget_create $slot || return 1; done
    mkdir -p $IMG
    for image in 0493-2500:2500 0493-64k:65536 0498-256k:262144 0498-1mib:1048576; do
        head -c ${image#*:} /dev/urandom > $IMG/${image%:*}.hex || return 1
    done
}

# Kills whatever a scenario left running, then unplugs every slot.
clean_up() {
    for pid in $(cat $PIDS 2> /dev/null); do
        kill -KILL $pid 2> /dev/null && ! wait_for 50 gone $pid && fail "$pid survived SIGKILL"
    done
    for slot in $(seq 0 $((SLOTS - 1))); do unplug $slot; done
}

# What the programs printed so far is all that is left to tell where the scenario hung.
watchdog_fired() {
    fail "watchdog: $1 still running after $2 s"
    for output in $RUN/*.out $RUN/*.err $RUN/*.report; do show ${output##*/} $output; done
}

# run_scenario NAME SECONDS: scenario_NAME in a shell of its own killed after SECONDS, then
# a clean-up and the verdict.
run_scenario() {
    rm -rf $RUN && mkdir -p $RUN
    start=$(uptime_cs)
    timeout -s KILL $2 sh -c ". /harness/lib.sh; . /harness/scenarios.sh; scenario_$1" \
        > $RUN/log 2>&1
    [ $? != 137 ] || watchdog_fired $1 $2 >> $RUN/log
    clean_up >> $RUN/log 2>&1
    verdict=$(grep -q '^FAIL' $RUN/log && echo FAIL || echo PASS)
    echo "verdict: $verdict after $(seconds_of $(($(uptime_cs) - start))) s" >> $RUN/log
    tell $1 < $RUN/log
}

echo "started: up $(seconds_of $(uptime_cs)) s, kernel $(uname -r)" | tell guest
if start_usb; then
    # An "only=name,..." word on the kernel command line picks scenarios; the kernel's check
    # always runs.
    while read -r name seconds <&3; do
        case "$name:,$only,guest_kernel_clean," in
            [a-z]*:,,* | [a-z]*:*,$name,*) run_scenario $name $seconds ;;
        esac
    done 3< /harness/scenarios
else
    echo "FATAL: the USB stack or the printer slots could not be set up" | tell guest
fi
echo "ended: up $(seconds_of $(uptime_cs)) s" | tell guest
exec 4>&-
sync
reboot -f
