// The Setup API stand-in, driven through the core's enumerator and through its entry points.
#include <gtest/gtest.h>

#include <cstddef>
#include <vector>

#include "FakeSysfs.h"
#include "platform/linux/LinuxFileApi.h"
#include "platform/linux/SysfsSetupApi.h"
#include "usb/PrinterPortList.h"
#include "usb/UsbDeviceEnumerator.h"

namespace orlup::test {
namespace {

std::string PathOf(const std::string& ids, const std::string& instance) {
    return "\\\\?\\usb#" + ids + "#" + instance + "#{a5dcbf10-6530-11d2-901f-00c04fb951ed}";
}

TEST(SysfsSetupApiCoreTest, EnumeratorDescribesDevicesByTheirStrings) {
    FakeSysfs sysfs;
    sysfs.AddRootHub(2);
    sysfs.AddDevice("2-1", "0bda", "8153");
    sysfs.AddDevice("1-1", "044e", "200a", "SN0001", "Ilvaran Ltd", "Ilvaran");
    sysfs.AddDevice("1-2", "044e", "1301", "", "", "Ilvaran-II");
    sysfs.AddDevice("1-3", "044e", "1301", "", "Maker only");

    SysfsSetupApi libraries(sysfs.sysfsRoot());
    UsbDeviceEnumerator enumerator(GuidDevinterfaceUsbDevice, libraries);
    ASSERT_EQ(enumerator.Enumerate(), 4);
    const auto& records = enumerator.records();
    EXPECT_EQ(records[0].devicePath, PathOf("vid_044e&pid_200a", "SN0001"));
    EXPECT_EQ(records[0].description, "Ilvaran Ltd Ilvaran");
    EXPECT_EQ(records[1].description, "Ilvaran-II");
    EXPECT_EQ(records[2].description, PathOf("vid_044e&pid_1301", "1-3"));
    EXPECT_EQ(records[3].description, PathOf("vid_0bda&pid_8153", "2-1"));
}

// Given a printer held by another program and one without a printer driver, the search keeps
// only the free one, named by its position among all devices.
TEST(SysfsSetupApiCoreTest, PortListKeepsOnlyFreePrinters) {
    FakeSysfs sysfs;
    sysfs.AddDevice("1-1", "044e", "1301");
    for (const char* port : {"1-2", "1-3", "1-4"}) {
        sysfs.AddDevice(port);
    }
    sysfs.AddInterface("1-2", "lp0", "usb/lp0");
    sysfs.AddInterface("1-3", "lp1", "usb/lp1");
    sysfs.AddInterface("1-4");
    WriteFile(sysfs.NodePath("usb/lp0"), "");
    WriteFile(sysfs.NodePath("usb/lp1"), "");

    SysfsSetupApi libraries(sysfs.sysfsRoot());
    LinuxFileApi files(sysfs.sysfsRoot(), sysfs.devRoot());
    LinuxFileApi otherProgram(sysfs.sysfsRoot(), sysfs.devRoot());
    const FileHandle held = otherProgram.OpenDevice(PathOf("vid_044e&pid_200a", "1-2"));
    ASSERT_NE(held, InvalidFileHandle);

    PrinterPortList list(libraries, files);
    ASSERT_EQ(list.Find(0x044e, 0x200a), 1);
    EXPECT_EQ(list.deviceCount(), 4);
    EXPECT_EQ(list.ports()[0].devicePath(), PathOf("vid_044e&pid_200a", "1-3"));
    EXPECT_EQ(list.ports()[0].name(), "USBPRINT-2");
    EXPECT_TRUE(otherProgram.Close(held));
}

class SysfsSetupApiEntryTest : public ::testing::Test {
protected:
    void SetUp() override {
        sysfs.AddDevice("1-1", "044e", "200a", "SN1");
        sysfs.AddDevice("1-2");
        module = libraries.LoadLibraryA("SetupAPI.DLL");
        ASSERT_NE(module, nullptr);
        getClassDevs = Bind<SetupDiGetClassDevsAProc>("SetupDiGetClassDevsA");
        enumInterfaces = Bind<SetupDiEnumDeviceInterfacesProc>("SetupDiEnumDeviceInterfaces");
        getDetail = Bind<SetupDiGetDeviceInterfaceDetailAProc>("SetupDiGetDeviceInterfaceDetailA");
        EXPECT_NE(libraries.GetProcAddress(module, "SetupDiGetDeviceRegistryPropertyA"), nullptr);
        destroy = Bind<SetupDiDestroyDeviceInfoListProc>("SetupDiDestroyDeviceInfoList");
    }
    void TearDown() override { libraries.FreeLibrary(module); }

    template <typename Proc>
    Proc Bind(const char* name) {
        const ProcAddress address = libraries.GetProcAddress(module, name);
        EXPECT_NE(address, nullptr) << name;
        return reinterpret_cast<Proc>(address);
    }

    DeviceInfoSet OpenSet(uint32_t flags = DigcfPresent | DigcfDeviceInterface) {
        return getClassDevs(&GuidDevinterfaceUsbDevice, nullptr, nullptr, flags);
    }

    FakeSysfs sysfs;
    SysfsSetupApi libraries{sysfs.sysfsRoot()};
    ModuleHandle module = nullptr;
    SetupDiGetClassDevsAProc getClassDevs = nullptr;
    SetupDiEnumDeviceInterfacesProc enumInterfaces = nullptr;
    SetupDiGetDeviceInterfaceDetailAProc getDetail = nullptr;
    SetupDiDestroyDeviceInfoListProc destroy = nullptr;
};

TEST_F(SysfsSetupApiEntryTest, DeviceSetsComeFromTheLatestLoadStillHeld) {
    EXPECT_EQ(libraries.LoadLibraryA("kernel32.dll"), nullptr);
    EXPECT_EQ(libraries.GetProcAddress(module, "SetupDiGetClassDevsW"), nullptr);
    EXPECT_EQ(OpenSet(DigcfDeviceInterface), InvalidDeviceInfoSet());

    SysfsSetupApi elsewhere(sysfs.scratch());
    const ModuleHandle other = elsewhere.LoadLibraryA("setupapi.dll");
    EXPECT_EQ(OpenSet(), InvalidDeviceInfoSet()) << "no bus folder there";
    elsewhere.FreeLibrary(other);
    const DeviceInfoSet set = OpenSet();
    ASSERT_NE(set, InvalidDeviceInfoSet());
    EXPECT_EQ(destroy(set), 1);
    EXPECT_EQ(destroy(set), 0);

    libraries.FreeLibrary(module);
    EXPECT_EQ(OpenSet(), InvalidDeviceInfoSet());
    module = libraries.LoadLibraryA("setupapi.dll");
}

TEST_F(SysfsSetupApiEntryTest, DetailFollowsTheSizeQueryContract) {
    const DeviceInfoSet set = OpenSet();
    DeviceInterfaceData data{};
    data.cbSize = sizeof data;
    EXPECT_EQ(enumInterfaces(set, nullptr, &GuidDevinterfaceUsbDevice, 2, &data), 0);
    ASSERT_EQ(enumInterfaces(set, nullptr, &GuidDevinterfaceUsbDevice, 1, &data), 1);
    const std::string path = PathOf("vid_044e&pid_200a", "1-2");

    uint32_t required = 0;
    EXPECT_EQ(getDetail(set, &data, nullptr, 0, &required, nullptr), 0);
    ASSERT_EQ(required, offsetof(DeviceInterfaceDetailData, devicePath) + path.size() + 1);

    std::vector<uint64_t> storage(required / 8 + 1);
    auto* detail = reinterpret_cast<DeviceInterfaceDetailData*>(storage.data());
    DevInfoData device{};
    device.cbSize = sizeof device;
    detail->cbSize = 5;  // the 32-bit layout's size is wrong in a 64-bit process
    EXPECT_EQ(getDetail(set, &data, detail, required, nullptr, &device), 0);
    detail->cbSize = sizeof(DeviceInterfaceDetailData);
    EXPECT_EQ(getDetail(set, &data, detail, required - 1, nullptr, &device), 0);
    ASSERT_EQ(getDetail(set, &data, detail, required, nullptr, &device), 1);
    EXPECT_EQ(std::string(detail->devicePath), path);
    EXPECT_EQ(device.devInst, 1u);
    destroy(set);
}

}  // namespace
}  // namespace orlup::test
