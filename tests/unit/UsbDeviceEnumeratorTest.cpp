// The Setup API binding and the enumeration built on it, against a scripted device-setup service.
#include <gtest/gtest.h>

#include "fakes/FakeSetupApi.h"
#include "usb/SetupApiBinding.h"
#include "usb/UsbDeviceEnumerator.h"

namespace orlup {
namespace {

using test::FakeSetupApi;

struct MissingEntry {
    const char* name;
    const char* message;
    std::size_t lookedUp;
};

class MissingEntryPointTest : public testing::TestWithParam<MissingEntry> {};

TEST_P(MissingEntryPointTest, StopsAtTheFirstMissingOneAndReleasesTheLibrary) {
    FakeSetupApi api;
    api.missingEntryPoint = GetParam().name;
    {
        SetupApiBinding binding(api);
        EXPECT_EQ(binding.Load(), 0);
        EXPECT_STREQ(binding.message(), GetParam().message);
        EXPECT_EQ(binding.failed(), 1);
        EXPECT_EQ(binding.loaded(), 0);
        EXPECT_EQ(binding.module(), nullptr);
        EXPECT_EQ(api.lookedUp.size(), GetParam().lookedUp);
        EXPECT_EQ(api.frees, 1);
    }
    EXPECT_EQ(api.frees, 1);  // released once, not again by the destructor
}

INSTANTIATE_TEST_SUITE_P(
    EveryEntryPoint, MissingEntryPointTest,
    testing::Values(
        MissingEntry{"SetupDiGetClassDevsA",
                     "Failed to retrieve function address for 'SetupDiGetClassDevs'", 1},
        MissingEntry{"SetupDiEnumDeviceInterfaces",
                     "Failed to retrieve function address for 'SetupDiEnumDeviceInterfaces'", 2},
        MissingEntry{"SetupDiGetDeviceInterfaceDetailA",
                     "Failed to retrieve function address for 'SetupDiGetDeviceInterfaceDetail'",
                     3},
        MissingEntry{"SetupDiGetDeviceRegistryPropertyA",
                     "Failed to retrieve function address for "
                     "'SetupDiGetDeviceRegistryProperty'",
                     4},
        MissingEntry{"SetupDiDestroyDeviceInfoList",
                     "Failed to retrieve function address for 'SetupDiDestroyDeviceInfoList'",
                     5}),
    [](const testing::TestParamInfo<MissingEntry>& info) { return std::string(info.param.name); });

TEST(SetupApiBindingTest, MissingLibraryAndSuccessfulLoad) {
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
        EXPECT_EQ(binding.loaded(), 1);
        EXPECT_EQ(binding.failed(), 0);
        EXPECT_EQ(api.frees, 0);
    }
    EXPECT_EQ(api.frees, 1);
}

TEST(UsbDeviceEnumeratorTest, DescriptionFallsBackFromFriendlyNameToDescriptionToPath) {
    FakeSetupApi api;
    api.Add("path-a").friendlyName = "Friendly A";
    auto& b = api.Add("path-b");
    b.deviceDesc = "Description B";
    auto& c = api.Add("path-c");
    c.friendlyName = "Friendly C";
    c.deviceDesc = "Description C";
    api.Add("path-d");

    UsbDeviceEnumerator enumerator(GuidDevinterfaceUsbDevice, api);
    ASSERT_EQ(enumerator.Enumerate(), 4);
    const auto& records = enumerator.records();
    EXPECT_EQ(records[0].description, "Friendly A");
    EXPECT_EQ(records[1].description, "Description B");
    EXPECT_EQ(records[2].description, "Friendly C");
    EXPECT_EQ(records[3].description, "path-d");
    EXPECT_EQ(records[3].devicePath, "path-d");
    EXPECT_EQ(api.setsOpen, 0);
    EXPECT_EQ(api.frees, 1);
}

TEST(UsbDeviceEnumeratorTest, AnUnreadableInterfaceIsSkippedAndTheRestListed) {
    FakeSetupApi api;
    api.Add("first");
    api.Add("unreadable").detailFails = true;
    api.Add("third");
    UsbDeviceEnumerator enumerator(GuidDevinterfaceUsbDevice, api);
    ASSERT_EQ(enumerator.Enumerate(), 2);
    EXPECT_EQ(enumerator.records()[0].devicePath, "first");
    EXPECT_EQ(enumerator.records()[1].devicePath, "third");
}

TEST(UsbDeviceEnumeratorTest, ALongPathIsCutToTheDescriptionBuffer) {
    FakeSetupApi api;
    const std::string path(300, 'p');
    api.Add(path);
    UsbDeviceEnumerator enumerator(GuidDevinterfaceUsbDevice, api);
    ASSERT_EQ(enumerator.Enumerate(), 1);
    EXPECT_EQ(enumerator.records()[0].devicePath, path);
    EXPECT_EQ(enumerator.records()[0].description, std::string(255, 'p'));
}

TEST(UsbDeviceEnumeratorTest, NothingPresentStillDestroysTheSet) {
    FakeSetupApi api;
    UsbDeviceEnumerator enumerator(GuidDevinterfaceUsbDevice, api);
    EXPECT_EQ(enumerator.Enumerate(), 0);
    EXPECT_TRUE(enumerator.records().empty());
    EXPECT_EQ(api.setsOpen, 0);
}

TEST(UsbDeviceEnumeratorTest, FailuresToBindOrOpenTheSetYieldNothing) {
    FakeSetupApi api;
    api.Add("present");
    api.libraryMissing = true;
    UsbDeviceEnumerator missing(GuidDevinterfaceUsbDevice, api);
    EXPECT_EQ(missing.Enumerate(), 0);

    api.libraryMissing = false;
    api.missingEntryPoint = "SetupDiDestroyDeviceInfoList";
    UsbDeviceEnumerator unbound(GuidDevinterfaceUsbDevice, api);
    EXPECT_EQ(unbound.Enumerate(), 0);

    api.missingEntryPoint.clear();
    api.classDevsFails = true;
    UsbDeviceEnumerator noSet(GuidDevinterfaceUsbDevice, api);
    EXPECT_EQ(noSet.Enumerate(), 0);
    EXPECT_TRUE(noSet.records().empty());
    EXPECT_EQ(api.loads, api.frees);
}

TEST(UsbDeviceEnumeratorTest, EnumeratingTwiceAppends) {
    FakeSetupApi api;
    api.Add("one");
    api.Add("two");
    UsbDeviceEnumerator enumerator(GuidDevinterfaceUsbDevice, api);
    EXPECT_EQ(enumerator.Enumerate(), 2);
    EXPECT_EQ(enumerator.Enumerate(), 4);
    EXPECT_EQ(enumerator.records()[2].devicePath, "one");
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
