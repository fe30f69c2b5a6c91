#!/bin/bash
# Boots Debian's kernel in QEMU with emulated USB printers and runs the scenario table in it.
# usage: run-usb-harness.sh WORK CACHE PROGRAM...    (the programs go into the guest's /bin)
# ORLUP_HARNESS_CACHE overrides CACHE; ORLUP_HARNESS_ONLY=name,... runs only those scenarios.
set -euo pipefail
shopt -s inherit_errexit

HERE=$(cd "$(dirname "$0")" && pwd)
WORK=$1 CACHE=${ORLUP_HARNESS_CACHE:-$2}
PROGRAMS=("${@:3}")
RESULTS=$WORK/results
MODULES=(usb-common.ko usbcore.ko udc-core.ko configfs.ko libcomposite.ko usb_f_printer.ko usblp.ko
    dummy_hcd.ko)
GUEST_SECONDS=$(awk '/^[a-z]/ { sum += $2 } END { print sum + 60 }' "$HERE/scenarios")

log() { echo "[usb-harness ${SECONDS}s] $*"; }

# The ABI-named package that linux-image-amd64 points at; offline, the newest one cached.
kernel_package() {
    apt-cache depends linux-image-amd64 2> /dev/null |
        awk '/Depends: linux-image-[0-9]/ { print $2; exit }' | grep . ||
        ls "$CACHE"/linux-image-[0-9]*.deb | sort -V | tail -n 1 | sed 's,.*/,,; s,_.*,,' | grep .
}

# fetch PACKAGE PATTERN...: unpacks only those files of the package, downloaded once. All of
# the kernel package is ten times the size of what the guest needs.
fetch() {
    local deb target
    ls "$CACHE/$1"_*.deb > /dev/null 2>&1 ||
        (cd "$CACHE" && timeout 120 apt-get download -q -o APT::Sandbox::User=root "$1") >&2
    deb=$(ls "$CACHE/$1"_*.deb | sort -V | tail -n 1)
    target=$CACHE/unpacked/$(basename "$deb" .deb)
    if [ ! -e "$target/.done" ]; then
        rm -rf "$target" && mkdir -p "$target"
        timeout 120 dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$target" --wildcards "${@:2}"
        touch "$target/.done"
    fi
    echo "$target"
}

# A dynamic program brings its libraries along, at the paths its loader looks in.
build_initramfs() {
    local root=$WORK/initramfs program library
    rm -rf "$root" && mkdir -p "$root"/{bin,dev,proc,sys,tmp,modules,harness}
    cp "$BUSYBOX" "$root/bin/"
    for program in "${PROGRAMS[@]}"; do strip -o "$root/bin/${program##*/}" "$program"; done
    for library in $(ldd "${PROGRAMS[@]}" 2> /dev/null | grep -oP '\s\K/\S+' || true); do
        install -D "$library" "$root$library"
    done
    find "$KERNEL/lib/modules" -name '*.ko' -exec cp -t "$root/modules/" {} +
    printf '%s\n' "${MODULES[@]}" > "$root/modules/order"
    cp "$HERE/guest/init.sh" "$root/init"
    cp "$HERE"/guest/*.sh "$HERE/scenarios" "$root/harness/"
    (cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) > "$WORK/initrd.gz"
}

# KVM only where it really works: the device node alone is not enough without vmx/svm.
boot_guest() {
    local accel=tcg rc=0
    [ -w /dev/kvm ] && grep -qwE 'vmx|svm' /proc/cpuinfo && accel=kvm
    log "booting $(ls "$KERNEL"/boot) under $accel, at most $GUEST_SECONDS s"
    timeout --kill-after=10 "$GUEST_SECONDS" qemu-system-x86_64 -accel $accel -m 512 -smp 2 \
        -nodefaults -display none -monitor none -no-reboot \
        -serial "file:$WORK/console.log" -serial "file:$WORK/serial.log" \
        -kernel "$KERNEL"/boot/vmlinuz-* -initrd "$WORK/initrd.gz" \
        -append "console=ttyS0 quiet panic=-1 only=${ORLUP_HARNESS_ONLY:-}" || rc=$?
    log "qemu ended with exit code $rc$([ $rc != 124 ] || echo ": the guest hung")"
}

# The guest tags each line of its second serial port with the scenario it belongs to.
file_results() {
    local name
    tr -d '\r' < "$WORK/serial.log" > "$WORK/serial.txt"
    sed -n "s/^guest| //p" "$WORK/serial.txt" > "$RESULTS/guest.log"
    for name in $(awk '/^[a-z]/ { print $1 }' "$HERE/scenarios"); do
        sed -n "s/^$name| //p" "$WORK/serial.txt" > "$RESULTS/$name.log"
        grep -q '^verdict: ' "$RESULTS/$name.log" || echo "no verdict: the guest never got to" \
            "$name or did not finish it; see usb_harness.boot" >> "$RESULTS/$name.log"
    done
}

mkdir -p "$CACHE" "$WORK"
rm -rf "$RESULTS" && mkdir -p "$RESULTS"
: > "$WORK/serial.log" && : > "$WORK/console.log"
exec 9> "$CACHE/.lock"
flock -w 300 9
name=$(kernel_package) || { log "no kernel package known to apt and none cached"; exit 1; }
KERNEL=$(fetch "$name" './boot/vmlinuz-*' "${MODULES[@]/#/./lib/modules/*/}")
BUSYBOX=$(fetch busybox-static ./bin/busybox)/bin/busybox
flock -u 9
build_initramfs
boot_guest
file_results
grep -H '^verdict: \|^FAIL\|pace: ' "$RESULTS"/*.log | sed "s,^$RESULTS/,  ," || true
cat "$RESULTS/guest.log"
grep -q '^ended' "$RESULTS/guest.log" || tail -n 30 "$WORK/console.log"
# The scenario tests give the verdicts; this one fails only when the guest never ran them.
grep -q '^started' "$RESULTS/guest.log" && ! grep -q '^FATAL' "$RESULTS/guest.log"
