// The Windows platform layer against Wine's real kernel32, user32 and setupapi.dll.

// These headers build on windows.h, and initguid.h defines the GUID here.
// clang-format off
#include <windows.h>
#include <initguid.h>
#include <usbiodef.h>
// clang-format on

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "text/ErrorCodes.h"
#include "platform/windows/WindowsFileApi.h"
#include "platform/windows/WindowsLibraryApi.h"
#include "update/FileNameRule.h"
#include "text/ErrorText.h"
#include "usb/PrinterPort.h"
#include "usb/SetupApiBinding.h"
#include "usb/UsbDeviceEnumerator.h"

namespace orlup {
namespace {

WindowsLibraryApi& SystemLoader() {
    static WindowsLibraryApi loader;
    return loader;
}

UsbDeviceRecord DeviceAt(const std::string& path) {
    UsbDeviceRecord device;
    device.devicePath = path;
    return device;
}

/// The real loader, except that it can pretend one library or one entry point is missing.
class GappyLibraryApi : public LibraryApi {
public:
    std::string missingLibrary;
    std::string missingEntryPoint;
    int frees = 0;

    ModuleHandle LoadLibraryA(const char* name) override {
        return SystemLoader().LoadLibraryA(name == missingLibrary ? "orlup-absent.dll" : name);
    }
    ProcAddress GetProcAddress(ModuleHandle module, const char* name) override {
        if (name == missingEntryPoint) return nullptr;
        return SystemLoader().GetProcAddress(module, name);
    }
    void FreeLibrary(ModuleHandle module) override {
        ++frees;
        SystemLoader().FreeLibrary(module);
    }
};

TEST(SetupApiBindingTest, BindsWineSetupApiAndListsWhatIsPresent) {
    EXPECT_EQ(0,
              std::memcmp(&GuidDevinterfaceUsbDevice, &GUID_DEVINTERFACE_USB_DEVICE, sizeof(GUID)));
    {
        SetupApiBinding binding(SystemLoader());
        EXPECT_EQ(1, binding.Load());
        EXPECT_STREQ("", binding.message());
        EXPECT_NE(nullptr, GetModuleHandleA("setupapi.dll"));
    }
    UsbDeviceEnumerator enumerator(GuidDevinterfaceUsbDevice, SystemLoader());
    const int count = enumerator.Enumerate();
    ASSERT_EQ(static_cast<int>(enumerator.records().size()), count);
    for (const UsbDeviceRecord& record : enumerator.records()) {
        EXPECT_FALSE(record.devicePath.empty());
        EXPECT_FALSE(record.description.empty());
    }
}

TEST(SetupApiBindingTest, MissingLibraryOrEntryPointIsToldAndReleased) {
    GappyLibraryApi libraries;
    libraries.missingLibrary = "setupapi.dll";
    SetupApiBinding noLibrary(libraries);
    EXPECT_EQ(0, noLibrary.Load());
    EXPECT_STREQ("Failed to load setupapi.dll", noLibrary.message());

    libraries.missingLibrary.clear();
    libraries.missingEntryPoint = "SetupDiGetDeviceInterfaceDetailA";
    {
        SetupApiBinding noEntry(libraries);
        EXPECT_EQ(0, noEntry.Load());
        EXPECT_STREQ("Failed to retrieve function address for 'SetupDiGetDeviceInterfaceDetail'",
                     noEntry.message());
        EXPECT_EQ(nullptr, noEntry.module());
    }
    EXPECT_EQ(1, libraries.frees);  // released at the failure, not again by the destructor
    UsbDeviceEnumerator enumerator(GuidDevinterfaceUsbDevice, libraries);
    EXPECT_EQ(0, enumerator.Enumerate());
}

class WindowsFileTest : public testing::Test {
protected:
    void SetUp() override {
        char folder[MAX_PATH] = {};
        GetTempPathA(MAX_PATH, folder);
        path = std::string(folder) + "orlup-layer-" + std::to_string(GetCurrentProcessId());
        std::ofstream(path, std::ios::binary) << "0123456789";
    }
    void TearDown() override { DeleteFileA(path.c_str()); }

    WindowsFileApi files;
    std::string path;
};

TEST_F(WindowsFileTest, DeviceOpensExclusively) {
    const FileHandle first = files.OpenDevice(DeviceAt(path));
    ASSERT_NE(InvalidFileHandle, first);
    EXPECT_EQ(InvalidFileHandle, files.OpenDevice(DeviceAt(path)));
    EXPECT_EQ(ErrorCode::SharingViolation, files.LastError());
    EXPECT_EQ(InvalidFileHandle, files.OpenImage(path));  // not even for reading
    EXPECT_EQ(ErrorCode::SharingViolation, files.LastError());

    PrinterPort busy(files, DeviceAt(path), 3);
    EXPECT_EQ(0, busy.isOpen());
    EXPECT_EQ(ErrorCode::SharingViolation, busy.lastError());
    EXPECT_EQ(ErrorText(ErrorCode::SharingViolation), busy.errorText());
    EXPECT_TRUE(files.Close(first));
    EXPECT_EQ(1, busy.Open());
}

TEST_F(WindowsFileTest, ImageIsReadWithItsSizeAndSharesReading) {
    const FileHandle image = files.OpenImage(path);
    ASSERT_NE(InvalidFileHandle, image);
    const FileHandle second = files.OpenImage(path);
    EXPECT_NE(InvalidFileHandle, second);
    files.Close(second);

    uint64_t size = 0;
    ASSERT_TRUE(files.Size(image, &size));
    EXPECT_EQ(10u, size);
    char buffer[16] = {};
    uint32_t read = 0;
    ASSERT_TRUE(files.Read(image, buffer, sizeof(buffer), &read));
    EXPECT_EQ(10u, read);
    ASSERT_TRUE(files.Read(image, buffer, sizeof(buffer), &read));
    EXPECT_EQ(0u, read);  // the end of the file is no failure
    EXPECT_TRUE(files.Close(image));
}

TEST_F(WindowsFileTest, OnlyFilesOnDiskAreImages) {
    EXPECT_EQ(InvalidFileHandle, files.OpenImage(path + ".absent"));
    EXPECT_EQ(ErrorCode::FileNotFound, files.LastError());

    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    EXPECT_EQ(InvalidFileHandle, files.OpenImage(folder));
    EXPECT_EQ(ErrorCode::AccessDenied, files.LastError());

    const std::string pipeName = "\\\\.\\pipe\\orlup-image-" + path.substr(path.size() - 4);
    HANDLE pipe = CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 64,
                                   64, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, pipe);
    EXPECT_EQ(InvalidFileHandle, files.OpenImage(pipeName));
    EXPECT_EQ(ErrorCode::AccessDenied, files.LastError());
    CloseHandle(pipe);
}

// A non-blocking pipe whose buffer is full takes part of a write and says so: the short write
// that a printer gives when it stops accepting data.
TEST(ShortWriteTest, PartlyTakenWriteIsAWriteFault) {
    const std::string pipeName =
        "\\\\.\\pipe\\orlup-short-" + std::to_string(GetCurrentProcessId());
    HANDLE server = CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_DUPLEX,
                                     PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 16, 16, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, server);
    WindowsFileApi portFiles;
    PrinterPort port(portFiles, DeviceAt(pipeName), 0);
    ASSERT_EQ(1, port.isOpen()) << port.errorText();
    DWORD mode = PIPE_NOWAIT;
    ASSERT_TRUE(
        SetNamedPipeHandleState(reinterpret_cast<HANDLE>(port.handle()), &mode, nullptr, nullptr));
    const std::string bytes(4096, 'x');
    EXPECT_EQ(0, port.Write(bytes.data(), static_cast<uint32_t>(bytes.size())));
    EXPECT_EQ(ErrorCode::WriteFault, port.lastError());
    EXPECT_EQ(ErrorText(ErrorCode::WriteFault), port.errorText());
    port.Close();
    CloseHandle(server);
}

TEST(ErrorTextTest, KeepsTheSystemTextAndPutsTheCodeAfterIt) {
    char description[512] = {};
    for (uint32_t code : {ErrorCode::FileNotFound, ErrorCode::WriteFault, 1167u}) {
        ASSERT_NE(0u, FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, code, 0x0400, description,
                                     511, nullptr));
        char suffix[16];
        wsprintfA(suffix, " (0x%X)", code);
        // Wine's wording follows the locale, so only the frame around it is compared.
        EXPECT_EQ(std::string(description) + suffix, ErrorText(code));
        EXPECT_EQ("\r\n", std::string(description).substr(std::strlen(description) - 2));
    }
    EXPECT_EQ("Unknown error (0x20001234)", ErrorText(0x20001234));
}

TEST(ErrorTextTest, DescriptionMustFitTheGivenSize) {
    char description[512] = {};
    const uint32_t length =
        SystemErrorDescription(ErrorCode::FileNotFound, DefaultLanguageId, description, 511);
    ASSERT_GT(length, 2u);
    EXPECT_EQ(length, std::strlen(description));
    EXPECT_EQ(0u, SystemErrorDescription(ErrorCode::FileNotFound, DefaultLanguageId, description,
                                         length));  // no room for the terminator
    EXPECT_EQ(length, SystemErrorDescription(ErrorCode::FileNotFound, DefaultLanguageId,
                                             description, length + 1));
}

TEST(PathRulesTest, OnlyTheBackslashEndsTheFolder) {
    EXPECT_EQ("0493.hex", FileNameOf("C:\\images\\0493.hex"));
    EXPECT_EQ("0498rev3.hex", FileNameOf("\\\\server\\share\\0498rev3.hex"));
    EXPECT_EQ("", FileNameOf("0493.hex"));
    EXPECT_EQ("", FileNameOf("C:/images/0493.hex"));
    EXPECT_EQ("0493.hex", FileNameOf("C:/images\\0493.hex"));
    EXPECT_EQ("", FileNameOf("C:\\images\\"));
}

}  // namespace
}  // namespace orlup
