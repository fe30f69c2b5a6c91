#!/bin/bash
# Boots Debian's kernel in QEMU with emulated USB printers, runs every scenario, files verdicts.
set -euo pipefail

GUEST_TIMEOUT=170
MODULES=(usb-common usbcore udc-core configfs libcomposite usb_f_printer usblp dummy_hcd)
SCENARIOS=(small_transfer model_absent only_printer_busy two_printers_same_model list_printers
    large_transfer_pace printer_stalls printer_unplugged guest_kernel_clean)

usage() {
    echo "usage: $0 --cli FILE --emulator FILE --guest DIR --work DIR [--cache DIR]" \
        "[--scenarios name:seconds,...]" >&2
    echo "ORLUP_HARNESS_CACHE overrides --cache." >&2
    exit 2
}

STARTED=$(date +%s.%N)
log() {
    printf '[usb-harness %6.1fs] %s\n' "$(awk "BEGIN { print $(date +%s.%N) - $STARTED }")" "$*"
}

parse_args() {
    CLI='' EMULATOR='' GUEST='' WORK='' CACHE='' GUEST_SCENARIOS=''
    while [ $# -ge 2 ]; do
        case $1 in
            --cli) CLI=$2 ;;
            --emulator) EMULATOR=$2 ;;
            --guest) GUEST=$2 ;;
            --work) WORK=$2 ;;
            --cache) CACHE=$2 ;;
            --scenarios) GUEST_SCENARIOS=$2 ;;
            *) usage ;;
        esac
        shift 2
    done
    if [ $# -ne 0 ] || [ -z "$CLI" ] || [ -z "$EMULATOR" ] || [ -z "$GUEST" ] ||
        [ -z "$WORK" ]; then
        usage
    fi
    CACHE=${ORLUP_HARNESS_CACHE:-${CACHE:-$WORK/cache}}
    if [ -n "$GUEST_SCENARIOS" ]; then
        read -r -a SCENARIOS <<< "$(echo "$GUEST_SCENARIOS" | tr , ' ' | sed 's/:[0-9]*//g')"
        SCENARIOS+=(guest_kernel_clean)
    fi
    mkdir -p "$CACHE" "$WORK"
}

# The ABI-named package that linux-image-amd64 points at; offline, the newest one cached.
kernel_package() {
    local name
    name=$(apt-cache depends linux-image-amd64 2> /dev/null |
        awk '/Depends: linux-image-[0-9]/ { print $2; exit }')
    if [ -z "$name" ]; then
        name=$(ls "$CACHE"/linux-image-[0-9]*.deb 2> /dev/null | sort -V | tail -n 1)
        name=$(basename "${name%%_*}")
    fi
    [ -n "$name" ] || { echo "no kernel package known to apt and none cached" >&2; return 1; }
    echo "$name"
}

cached_deb() { ls "$CACHE/${1}_"*.deb 2> /dev/null | sort -V | tail -n 1; }

# Downloads PACKAGE's .deb into the cache unless one is there; prints its path.
fetch() {
    if [ -z "$(cached_deb "$1")" ]; then
        (cd "$CACHE" && timeout 120 apt-get download -q -o APT::Sandbox::User=root "$1") >&2
    fi
    cached_deb "$1"
}

# Only vmlinuz and the few modules are taken out of the kernel package: the whole tree is
# ten times the size and takes longer to write than to decompress.
unpack_kernel() {
    local target patterns=('./boot/vmlinuz-*') module
    target=$CACHE/unpacked/$(basename "$1" .deb)
    if [ ! -e "$target/.done" ]; then
        for module in "${MODULES[@]}"; do patterns+=("./lib/modules/*/$module.ko"); done
        rm -rf "$target" && mkdir -p "$target"
        timeout 120 dpkg-deb --fsys-tarfile "$1" |
            timeout 120 tar -x -C "$target" --wildcards "${patterns[@]}"
        touch "$target/.done"
    fi
    KERNEL=$(ls "$target"/boot/vmlinuz-*)
    MODULE_FILES=()
    for module in "${MODULES[@]}"; do
        MODULE_FILES+=("$(find "$target/lib/modules" -name "$module.ko" | head -n 1)")
    done
}

unpack_busybox() {
    local target
    target=$CACHE/unpacked/$(basename "$1" .deb)
    if [ ! -e "$target/.done" ]; then
        rm -rf "$target" && timeout 60 dpkg-deb -x "$1" "$target" && touch "$target/.done"
    fi
    BUSYBOX=$target/bin/busybox
}

fetch_and_unpack() {
    local kernelDeb busyboxDeb
    kernelDeb=$(fetch "$(kernel_package)")
    busyboxDeb=$(fetch busybox-static)
    log "packages: $(basename "$kernelDeb"), $(basename "$busyboxDeb")"
    unpack_kernel "$kernelDeb"
    unpack_busybox "$busyboxDeb"
    log "unpacked into $CACHE/unpacked"
}

# Rebuilt only when one of its inputs changed.
build_initramfs() {
    local inputs=("$KERNEL" "${MODULE_FILES[@]}" "$BUSYBOX" "$CLI" "$EMULATOR" "$GUEST"/*.sh)
    local hash root=$WORK/initramfs
    INITRD=$WORK/initrd.gz
    hash=$(sha256sum "${inputs[@]}" | awk '{ print $1 }' | sha256sum | awk '{ print $1 }')
    if [ -e "$INITRD" ] && [ "$(cat "$INITRD.sha256" 2> /dev/null)" = "$hash" ]; then
        log "initramfs unchanged: $INITRD"
        return
    fi
    rm -rf "$root"
    mkdir -p "$root"/{bin,dev,proc,sys,tmp,modules,harness}
    cp "$BUSYBOX" "$root/bin/busybox"
    cp "$CLI" "$root/bin/orlup-cli-static"
    cp "$EMULATOR" "$root/bin/printer-emulator"
    cp "${MODULE_FILES[@]}" "$root/modules/"
    cp "$GUEST/init.sh" "$root/init"
    cp "$GUEST"/gadgets.sh "$GUEST"/runner.sh "$GUEST"/scenarios.sh "$root/harness/"
    (cd "$root" && find . -print0 | cpio --null -o -H newc --quiet | gzip -1) > "$INITRD.part"
    mv "$INITRD.part" "$INITRD"
    echo "$hash" > "$INITRD.sha256"
    log "initramfs built: $INITRD ($(du -k "$INITRD" | cut -f1) KiB)"
}

# KVM only where it really works: the device node alone is not enough without vmx/svm.
accelerator() {
    if [ -r /dev/kvm ] && [ -w /dev/kvm ] && grep -qwE 'vmx|svm' /proc/cpuinfo; then
        echo kvm
    else
        echo tcg
    fi
}

boot_guest() {
    local accel rc=0
    accel=$(accelerator)
    rm -f "$WORK/console.log" "$WORK/results.log"
    log "booting $(basename "$KERNEL") under $accel, at most $GUEST_TIMEOUT s"
    timeout --kill-after=10 $GUEST_TIMEOUT qemu-system-x86_64 -accel "$accel" -m 512 -smp 2 \
        -nodefaults -display none -monitor none -no-reboot \
        -serial "file:$WORK/console.log" -serial "file:$WORK/results.log" \
        -kernel "$KERNEL" -initrd "$INITRD" \
        -append "console=ttyS0 quiet panic=-1 ${GUEST_SCENARIOS:+scenarios=$GUEST_SCENARIOS}" ||
        rc=$?
    case $rc in
        0) log "guest powered off" ;;
        124 | 137) log "guest killed after $GUEST_TIMEOUT s: it hung" ;;
        *) log "qemu failed with exit code $rc" ;;
    esac
}

# Splits the guest's verdict stream into RESULTS/NAME.log and RESULTS/NAME.status.
file_results() {
    RESULTS=$WORK/results
    rm -rf "$RESULTS" && mkdir -p "$RESULTS"
    tr -d '\r' < "$WORK/results.log" | awk -v dir="$RESULTS" '
        /^@@BEGIN / { name = $2; out = dir "/" name ".log"; printf "" > out; next }
        /^@@RESULT / {
            print $3 > (dir "/" $2 ".status")
            print "verdict: " $3 " after " $4 " s" > out
            close(out); name = ""; next
        }
        /^@@/ { print > (dir "/guest.log"); next }
        name != "" { print > out }'
}

summarize() {
    local name status failed=0
    for name in "${SCENARIOS[@]}"; do
        status=$(cat "$RESULTS/$name.status" 2> /dev/null || echo MISSING)
        [ "$status" = PASS ] || failed=1
        printf '  %-26s %s\n' "$name" "$status"
        if [ "$status" != PASS ]; then
            sed 's/^/      /' "$RESULTS/$name.log" 2> /dev/null | grep FAIL || true
        fi
    done
    grep -h 'pace:' "$RESULTS/large_transfer_pace.log" 2> /dev/null | sed 's/^/  /' || true
    sed 's/^/  /' "$RESULTS/guest.log" 2> /dev/null || true
    if ! grep -q '^@@END' "$RESULTS/guest.log" 2> /dev/null; then
        echo "  the guest did not finish; the end of its console:"
        tail -n 30 "$WORK/console.log" 2> /dev/null | sed 's/^/    /' || true
    fi
    return $failed
}

main() {
    parse_args "$@"
    exec 9> "$CACHE/.lock"
    flock -w 300 9
    fetch_and_unpack
    build_initramfs
    flock -u 9
    boot_guest
    file_results
    log "results in $RESULTS"
    summarize || log "some scenarios failed (each is its own test)"
    log "done"
    # The scenario tests give the verdicts; this one fails only when the guest never ran.
    grep -q '^@@GUEST' "$RESULTS/guest.log" 2> /dev/null &&
        ! grep -q '^@@FATAL' "$RESULTS/guest.log"
}

main "$@"
