// The Setup API binding and the enumeration built on it, against a scripted device-setup service.
#include <gtest/gtest.h>

#include <cstddef>

#include "fakes/FakeSetupApi.h"
#include "usb/SetupApiBinding.h"
#include "usb/UsbDeviceEnumerator.h"

namespace orlup {
namespace {

using test::FakeSetupApi;

// Each missing entry point stops the binding at once, named as the service names it.
TEST(SetupApiBindingTest, LoadsAllFiveOrReleasesTheLibraryOnce) {
    const char* entries[] = {"SetupDiGetClassDevs", "SetupDiEnumDeviceInterfaces",
                             "SetupDiGetDeviceInterfaceDetail", "SetupDiGetDeviceRegistryProperty",
                             "SetupDiDestroyDeviceInfoList"};
    for (std::size_t i = 0; i < 5; ++i) {
        SCOPED_TRACE(entries[i]);
        FakeSetupApi api;
        api.missingEntryPoint = entries[i] + std::string(i == 1 || i == 4 ? "" : "A");
        {
            SetupApiBinding binding(api);
            EXPECT_EQ(binding.Load(), 0);
            EXPECT_EQ(binding.message(),
                      "Failed to retrieve function address for '" + std::string(entries[i]) + "'");
            EXPECT_EQ(binding.failed() * 10 + binding.loaded(), 10);
            EXPECT_EQ(binding.module(), nullptr);
            EXPECT_EQ(api.lookedUp.size(), i + 1);
            EXPECT_EQ(api.frees, 1);
        }
        EXPECT_EQ(api.frees, 1);  // not again by the destructor
    }
    FakeSetupApi api;
    api.libraryMissing = true;
    {
        SetupApiBinding binding(api);
        EXPECT_EQ(binding.Load(), 0);
        EXPECT_STREQ(binding.message(), "Failed to load setupapi.dll");
        EXPECT_EQ(binding.failed(), 1);
    }
    EXPECT_EQ(api.frees, 0);
    api.libraryMissing = false;
    {
        SetupApiBinding binding(api);
        EXPECT_EQ(binding.Load(), 1);
        EXPECT_STREQ(binding.message(), "");
        EXPECT_EQ(binding.failed() * 10 + binding.loaded(), 1);
        EXPECT_EQ(api.frees, 0);
    }
    EXPECT_EQ(api.frees, 1);
}

// Descriptions fall back from the friendly name to the description to the path, cut to the
// buffer; an interface whose detail cannot be had, or whose size no path needs or no heap should
// give, is skipped and the rest listed.
TEST(UsbDeviceEnumeratorTest, ListsWhatCanBeReadAndSkipsTheRest) {
    constexpr uint32_t pathAt = offsetof(DeviceInterfaceDetailData, devicePath);
    FakeSetupApi api;
    api.Add("path-a").friendlyName = "Friendly A";
    api.Add("path-b").deviceDesc = "Description B";
    test::FakeInterface& c = api.Add("path-c");
    c.friendlyName = "Friendly C";
    c.deviceDesc = "Description C";
    api.Add(std::string(300, 'p'));
    api.Add("unreadable").detailFails = true;
    for (uint32_t size : {pathAt, pathAt + 3, 64u * 1024 + 1, 0xFFFFFFF9u, 0xFFFFFFFFu}) {
        api.Add("odd size").reportedSize = size;
    }
    api.Add("room to spare").reportedSize = 64 * 1024;

    UsbDeviceEnumerator enumerator(GuidDevinterfaceUsbDevice, api);
    ASSERT_EQ(enumerator.Enumerate(), 5);
    const auto& records = enumerator.records();
    const char* descriptions[] = {"Friendly A", "Description B", "Friendly C", nullptr,
                                  "room to spare"};
    for (int i : {0, 1, 2, 4}) EXPECT_EQ(records[i].description, descriptions[i]);
    EXPECT_EQ(records[3].devicePath, std::string(300, 'p'));
    EXPECT_EQ(records[3].description, std::string(255, 'p'));
    EXPECT_EQ(api.setsOpen, 0);
    EXPECT_EQ(api.frees, 1);
    EXPECT_EQ(enumerator.Enumerate(), 10);  // a second enumeration appends
    EXPECT_EQ(records[5].devicePath, "path-a");
}

TEST(UsbDeviceEnumeratorTest, NothingListedWithoutTheServiceOrASet) {
    FakeSetupApi api;
    UsbDeviceEnumerator empty(GuidDevinterfaceUsbDevice, api);
    EXPECT_EQ(empty.Enumerate(), 0);
    EXPECT_EQ(api.setsOpen, 0);

    api.Add("present");
    api.libraryMissing = true;
    EXPECT_EQ(UsbDeviceEnumerator(GuidDevinterfaceUsbDevice, api).Enumerate(), 0);
    api.libraryMissing = false;
    api.missingEntryPoint = "SetupDiDestroyDeviceInfoList";
    EXPECT_EQ(UsbDeviceEnumerator(GuidDevinterfaceUsbDevice, api).Enumerate(), 0);
    api.missingEntryPoint.clear();
    api.classDevsFails = true;
    UsbDeviceEnumerator noSet(GuidDevinterfaceUsbDevice, api);
    EXPECT_EQ(noSet.Enumerate(), 0);
    EXPECT_TRUE(noSet.records().empty());
    EXPECT_EQ(api.loads, api.frees);
}

// What a technician sees in Device Manager: the serial from the instance part of the path unless
// Windows made that part up ('&'), the location as the bus-port, and the path itself as the node.
TEST(UsbDeviceEnumeratorTest, TellsEachDevicesSerialLocationAndPath) {
    const std::string guid = "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
    const std::pair<std::string, std::string> cases[] = {
        {"\\\\?\\usb#vid_044e&pid_200a#ILV-A1" + guid, "ILV-A1"},
        {"\\\\?\\usb#vid_044e&pid_200a#5&2a3b4c5d&0&2" + guid, ""},
        {"\\\\?\\usb#vid_044e&pid_200a#ILV-A1", ""},  // no class part: no interface path
        {"#x#", ""},
    };
    FakeSetupApi api;
    for (const auto& [path, serial] : cases) api.Add(path).location = "Port_#0002.Hub_#0004";
    api.interfaces.back().location.clear();
    const std::vector<UsbDeviceRecord> devices = SetupApiDeviceSource(api).ListUsbDevices();
    ASSERT_EQ(devices.size(), std::size(cases));
    for (std::size_t i = 0; i < devices.size(); ++i) {
        EXPECT_EQ(devices[i].serial, cases[i].second) << cases[i].first;
        EXPECT_EQ(devices[i].busPort, i + 1 < devices.size() ? "Port_#0002.Hub_#0004" : "");
        EXPECT_EQ(devices[i].node, cases[i].first);
    }
}

// The search matches "\\?\usb#vid_%04.4x&pid_%04.4x" byte for byte at the start of the path.
TEST(DevicePathIdsTest, OnlyTheExactLowerCasePrefixCarriesIds) {
    const struct {
        const char* path;
        bool matches;
    } cases[] = {
        {"\\\\?\\usb#vid_044e&pid_200a#SN1#{a5dcbf10-6530-11d2-901f-00c04fb951ed}", true},
        {"\\\\?\\usb#vid_044e&pid_200aMORE", true},
        {"\\\\?\\USB#VID_044E&PID_200A#X", false},
        {"\\\\?\\usb#vid_044E&pid_200a", false},
        {"\\\\?\\usb#vid_044e&pid_200", false},
        {"\\\\?\\usb#vid_04", false},
        {"\\\\?\\usb#vid_044e_pid_200a", false},
        {"\\\\.\\usb#vid_044e&pid_200a", false},
    };
    for (const auto& test : cases) {
        uint16_t vendorId = 0, productId = 0;
        EXPECT_EQ(DevicePathIds(test.path, &vendorId, &productId), test.matches) << test.path;
        EXPECT_EQ(vendorId, test.matches ? 0x044E : 0) << test.path;
        EXPECT_EQ(productId, test.matches ? 0x200A : 0) << test.path;
    }
    FakeSetupApi api;
    api.Add(cases[0].path);
    api.Add(cases[2].path);
    SetupApiDeviceSource source(api);
    const std::vector<UsbDeviceRecord> devices = source.ListUsbDevices();
    ASSERT_EQ(devices.size(), 2u);
    EXPECT_EQ(devices[0].productId, 0x200A);
    EXPECT_EQ(devices[1].vendorId, 0);
}

}  // namespace
}  // namespace orlup
