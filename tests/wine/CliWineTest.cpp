// What orlup-cli.exe has of its own under Wine: the write time limit and the console handler
// ending a blocked printer write and every wait, the held image, and orlup-cli.exe itself: a UTF-16
// path, an image another program may write, its history under %LOCALAPPDATA% (its pace is
// tests/wine/pace-bench.sh's).
// clang-format off
#include <windows.h>
#include <dbt.h>
// clang-format on
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>
#include <vector>

#include "platform/windows/HeldImage.h"
#include "platform/windows/Interruption.h"
#include "platform/windows/UniqueHandle.h"
#include "platform/windows/WideText.h"
#include "platform/windows/WindowsDeviceWatch.h"
#include "platform/windows/WindowsFileApi.h"
#include "text/ErrorCodes.h"

namespace orlup {
namespace {

using namespace std::chrono_literals;
using Event = UsbDeviceWatch::Event;

/// A folder of the test's own, with a name no ANSI code page holds, gone with the test.
struct TempFolder {
    TempFolder() { std::filesystem::create_directory(path); }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    const std::wstring path = std::filesystem::temp_directory_path().wstring() +
                              std::to_wstring(GetCurrentProcessId()) + L"-\u00e9\u4e2d\u0416";
};

void WriteBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream(std::filesystem::path(path), std::ios::binary) << bytes;
}

// What Wine can raise: Wake, a device message to the watch's window, the timeout, and, for a
// printer that takes nothing (a pipe never read, which is no image either), the write time limit
// and the console handler called as the system calls it, on a thread of its own, which ends a
// blocked write at once.
TEST(CliWineTest, ABlockedWriteEndsAtItsLimitOrAtOnceAtConsoleBreakAndSoDoesEveryWriteAfterIt) {
    WindowsDeviceWatch watch(true, InterruptionEvent());
    ASSERT_TRUE(watch.hotplugWorks());
    watch.Wake();
    EXPECT_EQ(watch.Wait(-1ms), Event::Woken);
    SendMessageW(FindWindowExW(HWND_MESSAGE, nullptr, WindowsDeviceWatch::WindowClass, nullptr),
                 WM_DEVICECHANGE, DBT_DEVICEARRIVAL, 0);
    EXPECT_TRUE(watch.Wait(-1ms) == Event::Changed && watch.Wait(20ms) == Event::TimedOut);

    ASSERT_TRUE(InstallInterruptionHandler());
    UsbDeviceRecord printer;
    printer.devicePath = "\\\\.\\pipe\\orlup-never-read-" + std::to_string(GetCurrentProcessId());
    UniqueHandle pipes[3];  // one for each open below
    for (UniqueHandle& pipe : pipes)
        pipe.Reset(CreateNamedPipeA(printer.devicePath.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE,
                                    3, 64, 64, 0, nullptr));
    const std::string piece(4096, 'x');
    uint32_t written = 0, error = 0;
    WindowsFileApi limited(300ms);
    EXPECT_EQ(limited.OpenImage(printer.devicePath), InvalidFileHandle);  // the dialog's images
    EXPECT_EQ(limited.LastError(), ErrorCode::AccessDenied);              // are files on a disk
    const FileHandle stalled = limited.OpenDevice(printer);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(limited.Write(stalled, piece.data(), uint32_t(piece.size()), &written));
    EXPECT_TRUE(std::chrono::steady_clock::now() - start >= 280ms &&
                limited.LastError() == ErrorCode::Timeout);
    limited.Close(stalled);

    WindowsFileApi ports;  // 10 s
    const FileHandle port = ports.OpenDevice(printer);
    std::thread writer([&] {
        if (!ports.Write(port, piece.data(), uint32_t(piece.size()), &written))
            error = ports.LastError();
    });
    Sleep(300);  // blocked by now
    start = std::chrono::steady_clock::now();
    std::thread([] { OnConsoleEvent(CTRL_BREAK_EVENT); }).join();
    writer.join();
    EXPECT_TRUE(std::chrono::steady_clock::now() - start < 2s &&
                error == ErrorCode::OperationAborted);
    EXPECT_EQ(InterruptSignal(), 15);  // SIGTERM's number: exit status 143
    EXPECT_EQ(watch.Wait(-1ms), Event::Woken);
    EXPECT_FALSE(ports.Write(port, piece.data(), 1, &written));
    EXPECT_EQ(ports.LastError(), ErrorCode::OperationAborted);
    ports.Close(port);
}

/// Runs orlup-cli.exe with those arguments through the command interpreter, and expects that exit
/// status and each part of said somewhere in what it wrote to either output.
void ExpectCli(const std::wstring& arguments, int status, std::vector<std::string> said = {}) {
    const std::wstring exe = L"Z:" + WideFromUtf8(ORLUP_CLI_EXE);  // Wine's drive for the root
    FILE* pipe = _wpopen((L"\"\"" + exe + L"\" " + arguments + L" 2>&1\"").c_str(), L"rb");
    std::string output;
    char buffer[4096];
    for (std::size_t count; (count = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        output.append(buffer, count);
    EXPECT_EQ(_pclose(pipe), status) << output;
    for (const std::string& part : said)
        EXPECT_NE(output.find(part), std::string::npos) << part << " not in " << output;
}

// The image held in-process: judged by its size before anything is read; then read once, and
// again by each transfer from an offset of its own, until the last user lets it go (else no other
// program could open it for writing below). Then flash and history as a technician types them, in
// turn. The image's name and %LOCALAPPDATA% hold characters of no ANSI code page; the history has
// a record that a program left without its newline. An image that another program may write is
// refused, with the system's text and its code on the one line of the message, as on Linux.
TEST(OrlupCliExeTest, HoldsAnImageOfAnyNameAndKeepsItsHistoryUnderLocalAppData) {
    const TempFolder folder;
    const std::wstring image = folder.path + L"\\0493 \u00e9\u4e2d.hex";
    const std::string path = Utf8FromWide(image);
    std::string bytes(3000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = char(i * 7);
    WriteBytes(image, bytes);
    std::string seen;
    HeldImage::TakeOptions options;
    options.observer = [&](auto piece, std::size_t count) { seen.append(piece, piece + count); };
    options.largest = 2999;
    auto held = std::make_shared<HeldImage>();
    EXPECT_EQ(HeldImage::Take(path, options, held.get()), 0u);
    EXPECT_TRUE(held->size() == 3000 && seen.empty());
    options.largest = 3000;
    options.cancelled = [] { return true; };
    EXPECT_EQ(HeldImage::Take(path, options, held.get()), ErrorCode::OperationAborted);
    options.cancelled = nullptr;
    ASSERT_EQ(HeldImage::Take(path, options, held.get()), 0u);
    {
        HeldImageFiles files(path, std::move(held));
        char first[1000], second[10];
        uint32_t read = 0;
        const FileHandle one = files.OpenImage(path), two = files.OpenImage(path);
        EXPECT_TRUE(files.Read(one, first, sizeof first, &read) && read == sizeof first);
        EXPECT_TRUE(files.Read(two, second, sizeof second, &read));
        EXPECT_EQ(std::string(second, read), bytes.substr(0, 10));
        EXPECT_TRUE(files.Read(one, first, sizeof first, &read));
        EXPECT_EQ(std::string(first, read), bytes.substr(1000, 1000));
        EXPECT_EQ(files.OpenImage(path + "x"), InvalidFileHandle);
    }
    const std::wstring quoted = L" \"" + image + L"\"";
    const std::wstring appData = folder.path + L"\\\u00c4pp", history = appData + L"\\Orlup";
    CreateDirectoryW(appData.c_str(), nullptr), CreateDirectoryW(history.c_str(), nullptr);
    WriteBytes(history + L"\\history.jsonl", "{\"cut\": 1}");
    SetEnvironmentVariableW(L"LOCALAPPDATA", appData.c_str());

    const std::string digest = "7291514d2492fd7ff49e10ba7df95d19d31d199b89d74bcb62cebdee1bc1a498";
    const std::wstring sha256 = L" --sha256 " + WideFromUtf8(digest);
    ExpectCli(L"--simulate flash --json" + sha256 + quoted, 0,
              {"\"image\":" + nlohmann::json(path).dump(), "\"event\":\"done\""});
    {
        const UniqueHandle writer(CreateFileW(image.c_str(), GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
        ExpectCli(L"--simulate flash" + quoted, 4,
                  {"Unable to open flash file - ", ". (0x20)\r\n"});
    }
    // The console's text mode ends lines in CR LF.
    ExpectCli(L"history --json", 0, {"{\"cut\":1}\r\n{", "\"sha256\":\"" + digest});
}

}  // namespace
}  // namespace orlup
