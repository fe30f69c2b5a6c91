// The Setup API binding, and the enumeration without the service; what an enumeration lists is
// the setup-api fuzz target's property, replayed over its corpus in every build.
#include <gtest/gtest.h>

#include "fakes/FakeSetupApi.h"
#include "usb/SetupApiBinding.h"
#include "usb/UsbDeviceEnumerator.h"

namespace orlup {
namespace {

using test::FakeSetupApi;

// Each missing entry point stops the binding at once, named as the service names it, and the
// library is released once; so is a whole binding, by its end.
TEST(SetupApiBindingTest, LoadsAllFiveOrReleasesTheLibraryOnce) {
    const char* entries[] = {"SetupDiGetClassDevs",
                             "SetupDiEnumDeviceInterfaces",
                             "SetupDiGetDeviceInterfaceDetail",
                             "SetupDiGetDeviceRegistryProperty",
                             "SetupDiDestroyDeviceInfoList",
                             ""};
    for (std::size_t i = 0; i < std::size(entries); ++i) {
        SCOPED_TRACE(entries[i]);
        FakeSetupApi api;
        api.missingEntryPoint = entries[i] + std::string(i == 1 || i == 4 ? "" : "A");
        const bool complete = i == 5;
        {
            SetupApiBinding binding(api);
            EXPECT_EQ(binding.Load(), complete ? 1 : 0);
            EXPECT_EQ(binding.message(), complete ? std::string()
                                                  : "Failed to retrieve function address for '" +
                                                        std::string(entries[i]) + "'");
            EXPECT_EQ(binding.failed() * 10 + binding.loaded(), complete ? 1 : 10);
            EXPECT_EQ(binding.module() != nullptr, complete);
            EXPECT_EQ(api.lookedUp.size(), std::min<std::size_t>(i + 1, 5));
            EXPECT_EQ(api.frees, complete ? 0 : 1);
        }
        EXPECT_EQ(api.frees, 1);
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
}

TEST(UsbDeviceEnumeratorTest, NothingListedWithoutTheServiceOrASet) {
    FakeSetupApi api;
    api.Add("present");
    for (int fault = 0; fault < 3; ++fault) {
        api.libraryMissing = fault == 0;
        api.missingEntryPoint = fault == 1 ? "SetupDiDestroyDeviceInfoList" : "";
        api.classDevsFails = fault == 2;
        UsbDeviceEnumerator enumerator(GuidDevinterfaceUsbDevice, api);
        EXPECT_EQ(enumerator.Enumerate(), 0) << fault;
        EXPECT_TRUE(enumerator.records().empty());
    }
    EXPECT_EQ(api.loads, api.frees);
    EXPECT_EQ(api.setsOpen, 0);
}

}  // namespace
}  // namespace orlup
