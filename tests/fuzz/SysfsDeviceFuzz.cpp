// The sysfs listing over attribute files whose bytes a device's maker chose (ids, strings, and
// the usblp uevent naming the node), beside devices that stay as they are: a root hub, an
// interface, a printer, a device without strings whose driver names a node outside /dev, and one
// unplugged during the scan.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "linux/FakeSysfs.h"
#include "platform/linux/SysfsUsbDevices.h"

using namespace orlup;

namespace {

const std::string port = "1-1";
const std::string devRoot = "/dev";     // only named in the node path, never opened
constexpr std::size_t pageSize = 4096;  // sysfs serves no attribute longer than a page

// Laid out once; each input rewrites the fuzzed device's files. In memory where there is a
// tmpfs: on disk each rewrite waits for the journal, a hundredfold slower.
struct Layout {
    Layout() {
        sysfs.AddDevice(port);  // its interface comes with the first input's uevent
        sysfs.AddDevice("usb1", "1d6b", "0002");
        sysfs.AddDevice("1-2", "044E", "200A", "ILV-A1", "Acme", "Ilvaran");
        sysfs.AddInterface("1-2", "lp1", "usb/lp1");
        sysfs.AddDevice("1-3", "044e", "1309");
        sysfs.AddInterface("1-3", "lp2", "../../etc/passwd");
        sysfs.AddDevice("1-4");
        std::filesystem::remove_all(std::filesystem::canonical(devices + "1-4"));
    }
    int inMemory = access("/dev/shm", W_OK) == 0 && setenv("TMPDIR", "/dev/shm", 0) == 0;
    test::FakeSysfs sysfs;
    const std::string devices = sysfs.sysfsRoot() + "/bus/usb/devices/";
};

// 1-4 hex digits, then nothing but blanks and line breaks up to a NUL, as ids may be written.
std::optional<uint16_t> HexIdIn(const std::string& raw) {
    static const std::regex id("([0-9a-fA-F]{1,4})[ \t\r\n]*");
    const std::string text = raw.c_str();
    std::smatch digits;
    if (!std::regex_match(text, digits, id)) return std::nullopt;
    return static_cast<uint16_t>(std::stoul(digits[1], nullptr, 16));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Layout layout;
    const std::string device = layout.devices + port;
    FuzzedDataProvider input(data, size);
    std::string raw[5];
    for (int i = 0; i < 5; ++i) {
        raw[i] = input.ConsumeRandomLengthString(pageSize);
        test::WriteFile(device + "/" + test::FakeSysfs::Strings[i], raw[i]);
    }
    const std::string uevent = input.ConsumeRandomLengthString(pageSize);
    test::WriteFile(device + "/" + port + ":1.0/usbmisc/lp0/uevent", uevent);

    // Listed in name order: the fuzzed device first, where its ids can be read.
    const std::vector<UsbDeviceRecord> listed =
        SysfsUsbDevices(layout.sysfs.sysfsRoot(), devRoot).ListUsbDevices();
    const std::optional<uint16_t> vendor = HexIdIn(raw[0]), product = HexIdIn(raw[1]);
    const bool read = vendor && product;
    FUZZ_CHECK(listed.size() == (read ? 3u : 2u));
    std::string others;
    for (auto other = listed.begin() + (read ? 1 : 0); other != listed.end(); ++other) {
        others += other->busPort + "|" + other->serial + "|" + other->description + "|" +
                  other->node + "|" + std::to_string(other->productId) + "\n";
    }
    FUZZ_CHECK(others ==
               "1-2|ILV-A1|Acme Ilvaran|/dev/usb/lp1|8202\n1-3||" + layout.devices + "1-3||4873\n");
    if (!read) return 0;
    const UsbDeviceRecord& record = listed[0];
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
