// The Windows platform layer against Wine's own kernel32: files, pipes and paths.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <string>

#include "platform/windows/LastBackslash.h"
#include "platform/windows/UniqueHandle.h"
#include "platform/windows/WindowsFileApi.h"
#include "text/ErrorCodes.h"
#include "update/FileNameRule.h"

namespace orlup {
namespace {

TEST(WindowsFileTest, PrintersOpenExclusivelyAndImagesAreFilesOnADiskThatShareReading) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string path = folder + ("orlup-" + std::to_string(GetCurrentProcessId()));
    std::ofstream(path, std::ios::binary) << "0123456789";
    WindowsFileApi files;
    UsbDeviceRecord printer;
    printer.devicePath = path;
    const FileHandle device = files.OpenDevice(printer);
    EXPECT_NE(InvalidFileHandle, device);
    EXPECT_EQ(InvalidFileHandle, files.OpenDevice(printer));
    EXPECT_EQ(ErrorCode::SharingViolation, files.LastError());
    EXPECT_TRUE(files.Close(device));

    const FileHandle image = files.OpenImage(path);
    EXPECT_TRUE(files.Close(files.OpenImage(path)));
    uint64_t size = 0;
    EXPECT_TRUE(files.Size(image, &size) && size == 10u);
    char buffer[16] = {};
    uint32_t read = 0;
    EXPECT_TRUE(files.Read(image, buffer, sizeof(buffer), &read) && read == 10u);
    EXPECT_TRUE(files.Read(image, buffer, sizeof(buffer), &read) && read == 0u);  // the end
    EXPECT_TRUE(files.Close(image));

    // A pipe or a device would feed the printer whatever it produces.
    const std::string pipeName = "\\\\.\\pipe\\" + path.substr(path.rfind('\\') + 1);
    const UniqueHandle pipe(CreateNamedPipeA(pipeName.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE,
                                             1, 64, 64, 0, nullptr));
    const std::pair<std::string, uint32_t> notImages[] = {
        {path + ".absent", ErrorCode::FileNotFound},
        {path.substr(0, path.rfind('\\') + 1), ErrorCode::AccessDenied},  // the folder
        {pipeName, ErrorCode::AccessDenied}};
    for (const auto& [notAnImage, error] : notImages) {
        EXPECT_EQ(InvalidFileHandle, files.OpenImage(notAnImage)) << notAnImage;
        EXPECT_EQ(error, files.LastError()) << notAnImage;
    }
    DeleteFileA(path.c_str());
}

TEST(PathRulesTest, OnlyTheBackslashEndsTheFolder) {
    EXPECT_EQ("0498rev3.hex", FileNameOf("\\\\server\\share\\0498rev3.hex"));
    EXPECT_EQ("", FileNameOf("C:/images/0493.hex"));
    EXPECT_EQ("0493.hex", FileNameOf("C:/images\\0493.hex"));
    EXPECT_EQ("C:", FolderOf("C:\\Orlup.exe"));
}

}  // namespace
}  // namespace orlup
