// The sysfs device parser and node resolver over attribute files whose bytes a device's maker
// chose: ids, strings, and the usblp uevent naming the node.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "linux/FakeSysfs.h"
#include "platform/linux/SysfsUsbDevices.h"

using namespace orlup;

namespace {

const std::string port = "1-1";
const std::string devRoot = "/dev";     // only named in the node path, never opened
constexpr std::size_t pageSize = 4096;  // sysfs serves no attribute longer than a page

// One device with a usblp interface, laid out once; each input rewrites its files. In memory
// where there is a tmpfs: on disk each rewrite waits for the journal, a hundredfold slower.
struct Layout {
    Layout() {
        sysfs.AddDevice(port);
        sysfs.AddInterface(port, "lp0", "lp0");
    }
    int inMemory = access("/dev/shm", W_OK) == 0 && setenv("TMPDIR", "/dev/shm", 0) == 0;
    test::FakeSysfs sysfs;
};

// 1-4 hex digits, then nothing but blanks and line breaks up to a NUL, as ids may be written.
std::optional<uint16_t> HexIdIn(const std::string& raw) {
    const std::string text = raw.c_str();
    const std::size_t digits =
        std::min(text.find_first_not_of("0123456789abcdefABCDEF"), text.size());
    if (digits == 0 || digits > 4 ||
        text.find_first_not_of(" \t\r\n", digits) != std::string::npos) {
        return std::nullopt;
    }
    return static_cast<uint16_t>(std::stoul(text.substr(0, digits), nullptr, 16));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Layout layout;
    test::FakeSysfs& sysfs = layout.sysfs;
    const std::string device = sysfs.sysfsRoot() + "/bus/usb/devices/" + port;
    FuzzedDataProvider input(data, size);
    std::string raw[5];
    const char* names[5] = {"idVendor", "idProduct", "serial", "manufacturer", "product"};
    for (int i = 0; i < 5; ++i) {
        raw[i] = input.ConsumeRandomLengthString(pageSize);
        test::WriteFile(device + "/" + names[i], raw[i]);
    }
    const std::string uevent = input.ConsumeRandomLengthString(pageSize);
    test::WriteFile(device + "/" + port + ":1.0/usbmisc/lp0/uevent", uevent);

    UsbDeviceRecord record;
    const bool read = ReadUsbDevice(device, devRoot, &record);
    const std::optional<uint16_t> vendor = HexIdIn(raw[0]), product = HexIdIn(raw[1]);
    FUZZ_CHECK(read == (vendor && product));
    if (!read) return 0;
    FUZZ_CHECK(record.vendorId == *vendor && record.productId == *product);
    FUZZ_CHECK(StartsWith(raw[2], record.serial));
    if (record.node.empty()) return 0;

    // <devRoot>/<DEVNAME as the uevent gave it>, never leaving devRoot.
    const std::string root = devRoot + "/";
    FUZZ_CHECK(StartsWith(record.node, root));
    const std::string name = record.node.substr(root.size());
    FUZZ_CHECK(!name.empty() && name.front() != '/' &&
               uevent.find("DEVNAME=" + name) != std::string::npos);
    for (const std::filesystem::path& part : std::filesystem::path(name)) FUZZ_CHECK(part != "..");
    return 0;
}
