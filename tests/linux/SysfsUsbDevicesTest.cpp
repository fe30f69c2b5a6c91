// Device interface paths built from a fake sysfs, and their resolution to usblp nodes.
#include <gtest/gtest.h>

#include <map>

#include "FakeSysfs.h"
#include "platform/ErrorCodes.h"
#include "platform/linux/SysfsUsbDevices.h"

namespace orlup::test {
namespace {

std::string PathOf(const std::string& ids, const std::string& instance) {
    return "\\\\?\\usb#" + ids + "#" + instance + "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
}

class SysfsUsbDevicesTest : public ::testing::Test {
protected:
    std::map<std::string, std::string> PathsByPort() {
        std::vector<UsbDeviceEntry> devices;
        EXPECT_TRUE(ScanUsbDevices(sysfs.sysfsRoot(), &devices));
        std::map<std::string, std::string> paths;
        for (const UsbDeviceEntry& device : devices) {
            paths[device.portName] = device.devicePath;
        }
        return paths;
    }

    uint32_t Resolve(const std::string& ids, const std::string& instance, std::string* node) {
        return ResolveDeviceNode(PathOf(ids, instance), node, sysfs.sysfsRoot(), sysfs.devRoot());
    }

    FakeSysfs sysfs;
};

// Given serials that would make paths ambiguous or malformed, the port name stands in.
TEST_F(SysfsUsbDevicesTest, PathsCarryTheSerialOnlyWhenItIsUsable) {
    const std::map<std::string, std::string> serials = {
        {"1-1", "SAME"}, {"1-2", "SAME"}, {"1-3", "has blank"},
        {"1-4", "a#b"},  {"1-5", "b\\s"}, {"1-6", "\xc3\xa9t\xc3\xa9"},
        {"1-7", "1-8"},  {"1-8", ""},     {"1-9", "Ab12"},
    };
    for (const auto& [port, serial] : serials) {
        sysfs.AddDevice(port, "044E", "200A", serial);
    }
    sysfs.AddDevice("2-1", "044e", "1301", "SAME");
    sysfs.AddDevice("2-2", "044e", "1301");
    sysfs.SetAttribute("2-2", "serial", "NOEOL");

    const auto paths = PathsByPort();
    for (const char* port : {"1-1", "1-2", "1-3", "1-4", "1-5", "1-6", "1-7", "1-8"}) {
        EXPECT_EQ(paths.at(port), PathOf("vid_044e&pid_200a", port));
    }
    EXPECT_EQ(paths.at("1-9"), PathOf("vid_044e&pid_200a", "Ab12"));
    // Uniqueness counts within one model only.
    EXPECT_EQ(paths.at("2-1"), PathOf("vid_044e&pid_1301", "SAME"));
    EXPECT_EQ(paths.at("2-2"), PathOf("vid_044e&pid_1301", "NOEOL"));
}

TEST_F(SysfsUsbDevicesTest, ScanSkipsHubsInterfacesOddIdsAndVanishedDevices) {
    std::vector<UsbDeviceEntry> devices;
    EXPECT_FALSE(ScanUsbDevices(sysfs.scratch(), &devices));

    sysfs.AddRootHub(1);
    sysfs.AddDevice("1-1");
    sysfs.AddInterface("1-1");
    sysfs.AddDevice("1-2", "zz12");
    sysfs.AddDevice("1-3", "");
    sysfs.AddDevice("1-4", "044e", "12345");
    sysfs.AddDevice("1-5");
    sysfs.RemoveDeviceFolder("1-5");
    sysfs.AddDevice("1-6");
    sysfs.SetAttribute("1-6", "idVendor", "044e");

    const auto paths = PathsByPort();
    EXPECT_EQ(paths.size(), 2u);
    EXPECT_EQ(paths.count("1-1"), 1u);
    EXPECT_EQ(paths.count("1-6"), 1u);
}

// lpN numbers follow the order of binding, so the node comes from the uevent, not the name.
TEST_F(SysfsUsbDevicesTest, ResolverFindsTheNodeTheUeventNames) {
    sysfs.AddDevice("1-1", "044e", "200a", "SN1");
    sysfs.AddInterface("1-1", "lp3", "usb/lp7");
    sysfs.AddDevice("1-2", "044e", "1301");
    sysfs.AddInterface("1-2", "lp0", "usb/lp0");

    std::string node;
    EXPECT_EQ(Resolve("vid_044e&pid_200a", "SN1", &node), ErrorCode::Success);
    EXPECT_EQ(node, sysfs.devRoot() + "/usb/lp7");
    EXPECT_EQ(Resolve("vid_044e&pid_1301", "1-2", &node), ErrorCode::Success);
    EXPECT_EQ(node, sysfs.devRoot() + "/usb/lp0");
}

TEST_F(SysfsUsbDevicesTest, ResolverTellsAMissingDeviceFromOneWithoutPrinterDriver) {
    sysfs.AddDevice("1-1");
    sysfs.AddInterface("1-1");
    sysfs.AddDevice("1-2");
    sysfs.AddInterface("1-2", "lp0", "../../etc/passwd");
    sysfs.AddDevice("1-3", "044e", "1301");
    sysfs.AddInterface("1-3", "lp1", "usb/lp1");

    std::string node = "untouched";
    EXPECT_EQ(Resolve("vid_044e&pid_200a", "1-1", &node), ErrorCode::NotSupported);
    EXPECT_EQ(Resolve("vid_044e&pid_200a", "1-2", &node), ErrorCode::NotSupported);
    EXPECT_EQ(Resolve("vid_044e&pid_200a", "1-9", &node), ErrorCode::FileNotFound);
    EXPECT_EQ(Resolve("vid_044e&pid_200a", "1-3", &node), ErrorCode::FileNotFound);
    EXPECT_EQ(node, "untouched");
    sysfs.RemoveDeviceFolder("1-3");
    EXPECT_EQ(Resolve("vid_044e&pid_1301", "1-3", &node), ErrorCode::FileNotFound);
}

}  // namespace
}  // namespace orlup::test
