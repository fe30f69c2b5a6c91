// The device listing over a scripted device-setup service, for the builds where no fuzz target
// runs (Windows): the setup-api fuzz target holds every property of the binding and the listing,
// replayed over its corpus on Linux.
#include <gtest/gtest.h>

#include "fakes/FakeSetupApi.h"
#include "text/MessageText.h"
#include "usb/UsbDeviceEnumerator.h"

namespace orlup {
namespace {

// What a technician sees in Device Manager: the serial from the instance part of the path unless
// Windows made that part up ('&'), the friendly name else the description, the location as the
// bus-port, and the path itself as the node.
TEST(UsbDeviceEnumeratorTest, TellsEachDevicesIdsSerialDescriptionAndLocation) {
    const std::string guid = "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
    const std::string first = "\\\\?\\usb#vid_044e&pid_200a#ILV-A1" + guid;
    const std::string second = "\\\\?\\usb#vid_044e&pid_1301#5&2a3b4c5d&0&2" + guid;
    test::FakeSetupApi api;
    test::FakeInterface& named = api.Add(first);
    named.friendlyName = "Ilvaran", named.deviceDesc = "USB printer";
    named.location = "Port_#0002.Hub_#0004";
    api.Add(second).deviceDesc = "USB printer";
    std::string told;
    for (const UsbDeviceRecord& d : SetupApiDeviceSource(api).ListUsbDevices()) {
        told += FormatText("%04x:%04x ", d.vendorId, d.productId) + d.serial + "|" + d.description +
                "|" + d.busPort + "|" + d.node + "\n";
    }
    EXPECT_EQ(told, "044e:200a ILV-A1|Ilvaran|Port_#0002.Hub_#0004|" + first + "\n044e:1301 " +
                        "|USB printer||" + second + "\n");
    EXPECT_EQ(api.loads * 10 + api.frees, 11);
    EXPECT_EQ(api.setsOpen, 0);
}

}  // namespace
}  // namespace orlup
