// A temporary sysfs laid out as the kernel lays out USB devices and usblp.
#include "FakeSysfs.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace orlup::test {

namespace fs = std::filesystem;

namespace {

const std::string hostFolder = "devices/platform/dummy_hcd.0";

std::string MakeTemporaryFolder() {
    std::string pattern = (fs::temp_directory_path() / "orlup-sysfs-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    return pattern;
}

// Real sysfs nests a hub's children below the hub; through the links both read the same.
std::string DevicePart(const std::string& port) {
    return hostFolder + "/usb" + port.substr(0, port.find('-')) + "/" + port;
}

}  // namespace

void WriteFile(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

FakeSysfs::FakeSysfs() : base_(MakeTemporaryFolder()) {
    fs::create_directories(sysfsRoot() + "/bus/usb/devices");
    fs::create_directories(scratch());
}

FakeSysfs::~FakeSysfs() {
    std::error_code ignored;
    fs::remove_all(base_, ignored);
}

std::string FakeSysfs::DeviceFolder(const std::string& port) const {
    return sysfsRoot() + "/" + DevicePart(port);
}

void FakeSysfs::Link(const std::string& name, const std::string& target) const {
    fs::create_directory_symlink("../../../" + target, sysfsRoot() + "/bus/usb/devices/" + name);
}

void FakeSysfs::AddDevice(const std::string& port, const std::string& idVendor,
                          const std::string& idProduct, const std::string& serial,
                          const std::string& manufacturer, const std::string& product) {
    fs::create_directories(DeviceFolder(port));
    for (const auto& [name, value] : {std::pair("idVendor", idVendor),
                                      {"idProduct", idProduct},
                                      {"serial", serial},
                                      {"manufacturer", manufacturer},
                                      {"product", product}}) {
        if (!value.empty()) WriteFile(DeviceFolder(port) + "/" + name, value + "\n");
    }
    Link(port, DevicePart(port));
}

void FakeSysfs::AddInterface(const std::string& port, const std::string& lpName,
                             const std::string& devName) {
    const std::string name = port + ":1.0";
    const std::string folder = DeviceFolder(port) + "/" + name;
    fs::create_directories(folder);
    if (!lpName.empty()) {
        WriteFile(folder + "/usbmisc/" + lpName + "/uevent",
                  "MAJOR=180\nMINOR=0\nDEVNAME=" + devName + "\n");
    }
    Link(name, DevicePart(port) + "/" + name);
}

void FakeSysfs::AddRootHub(int bus) {
    const std::string name = "usb" + std::to_string(bus);
    WriteFile(sysfsRoot() + "/" + hostFolder + "/" + name + "/idVendor", "1d6b\n");
    WriteFile(sysfsRoot() + "/" + hostFolder + "/" + name + "/idProduct", "0002\n");
    Link(name, hostFolder + "/" + name);
}

void FakeSysfs::LinkCharDevice(const std::string& majorMinor, const std::string& port,
                               const std::string& classDevice) {
    const std::string link = sysfsRoot() + "/dev/char/" + majorMinor;
    fs::create_directories(fs::path(link).parent_path());
    fs::remove(link);
    fs::create_directory_symlink("../../" + DevicePart(port) + "/" + port + ":1.0/" + classDevice,
                                 link);
}

void FakeSysfs::RemoveDeviceFolder(const std::string& port) { fs::remove_all(DeviceFolder(port)); }

}  // namespace orlup::test
