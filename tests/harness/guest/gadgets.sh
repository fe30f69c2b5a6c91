# Guest helpers: plug emulated printers in and out through configfs, find their host nodes.

CONFIGFS=/sys/kernel/config/usb_gadget
VENDOR=044e
PRODUCT_ILVARAN=200a
PRODUCT_ILVARAN2=1301

# Creates gadget $1 with one printer function. The printer functions' minors follow the
# order of creation, so the first gadget made is /dev/g_printer0, the second g_printer1.
gadget_create() {
    g=$CONFIGFS/$1
    mkdir $g || return 1
    echo 0x$VENDOR > $g/idVendor
    echo 0x0100 > $g/bcdDevice
    mkdir $g/strings/0x409 $g/configs/c.1 $g/functions/printer.0 || return 1
    echo "Orlup harness" > $g/strings/0x409/manufacturer
    echo 10 > $g/functions/printer.0/q_len
    ln -s $g/functions/printer.0 $g/configs/c.1/
}

# gadget_plug GADGET UDC PRODUCT SERIAL: sets the identity and binds. An empty SERIAL leaves
# the host without a serial attribute, so the printer is known by its port name instead.
gadget_plug() {
    g=$CONFIGFS/$1
    case $3 in
        "$PRODUCT_ILVARAN") model=Ilvaran ;;
        *) model=Ilvaran-II ;;
    esac
    echo 0x$3 > $g/idProduct
    echo "$4" > $g/strings/0x409/serialnumber
    echo "$model (emulated)" > $g/strings/0x409/product
    # The host's IEEE 1284 id loses the last two characters: pad them.
    printf '%s' "MFG:Orlup harness;MDL:$model;CMD:ESC;  " > $g/functions/printer.0/pnp_string
    echo $2 > $g/UDC
}

gadget_unplug() {
    udc=$(cat $CONFIGFS/$1/UDC)
    [ -z "$udc" ] || echo "" > $CONFIGFS/$1/UDC
}

gadget_device_of() { echo /dev/g_printer${1#g}; }

# The host's /dev/usb/lpN of the printer with PRODUCT and SERIAL (empty: one without a
# serial). lpN numbers are not stable from run to run, so they are always looked up.
lp_node_of() {
    for lp in /sys/class/usbmisc/lp*; do
        [ -e "$lp" ] || continue
        dev=$(readlink -f $lp/device/..)
        [ "$(cat $dev/idVendor)" = "$VENDOR" ] && [ "$(cat $dev/idProduct)" = "$1" ] || continue
        [ "$(cat $dev/serial 2>/dev/null)" = "$2" ] || continue
        echo /dev/usb/${lp##*/}
        return 0
    done
    return 1
}

# The USB port name (such as 2-1) of the device behind /dev/usb/lpN.
port_of_node() { readlink -f /sys/class/usbmisc/${1##*/}/device/.. | sed 's,.*/,,'; }

any_lp_node() { ls /sys/class/usbmisc/lp* > /dev/null 2>&1; }

# wait_for TENTHS COMMAND...: polls until COMMAND succeeds or TENTHS tenths of a second pass.
wait_for() {
    tenths=$1
    shift
    while ! "$@" > /dev/null 2>&1; do
        tenths=$((tenths - 1))
        [ $tenths -gt 0 ] || return 1
        sleep 0.1
    done
}

# plug GADGET UDC PRODUCT SERIAL: plugs in and waits for the host's printer node.
plug() {
    gadget_plug "$@" || { fail "cannot bind $1 to $2"; return 1; }
    wait_for 100 lp_node_of $3 "$4" || { fail "no /dev/usb/lp* for $3 serial '$4'"; return 1; }
    echo "plugged $1 into $2 as $VENDOR:$3 serial '$4' -> $(lp_node_of $3 "$4")"
}

lp_node_gone() { ! lp_node_of "$@"; }
