// A temporary sysfs laid out as the kernel lays out USB devices and usblp.
#include "FakeSysfs.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace orlup::test {

namespace fs = std::filesystem;

namespace {

// Real sysfs nests a hub's children below the hub; through the links both read the same.
std::string DevicePart(const std::string& port) {
    return "devices/platform/dummy_hcd.0/usb" + port.substr(0, port.find('-')) + "/" + port;
}

void Link(const std::string& root, const std::string& name, const std::string& target) {
    fs::create_directory_symlink("../../../" + target, root + "/bus/usb/devices/" + name);
}

}  // namespace

void WriteFile(const std::string& path, const std::string& text) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

FakeSysfs::FakeSysfs() : base_((fs::temp_directory_path() / "orlup-sysfs-XXXXXX").string()) {
    if (mkdtemp(base_.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    for (const char* folder : {"/sys/bus/usb/devices", "/sys/dev/char", "/scratch"}) {
        fs::create_directories(base_ + folder);
    }
}

FakeSysfs::~FakeSysfs() {
    std::error_code ignored;
    fs::remove_all(base_, ignored);
}

void FakeSysfs::AddDevice(const std::string& port, const std::string& idVendor,
                          const std::string& idProduct, const std::string& serial,
                          const std::string& manufacturer, const std::string& product) {
    const char* names[] = {"idVendor", "idProduct", "serial", "manufacturer", "product"};
    const std::string* values[] = {&idVendor, &idProduct, &serial, &manufacturer, &product};
    for (int i = 0; i < 5; ++i) {
        const std::string file = sysfsRoot() + "/" + DevicePart(port) + "/" + names[i];
        if (!values[i]->empty()) WriteFile(file, *values[i] + "\n");
    }
    Link(sysfsRoot(), port, DevicePart(port));
}

void FakeSysfs::AddInterface(const std::string& port, const std::string& lpName,
                             const std::string& devName) {
    const std::string name = DevicePart(port) + "/" + port + ":1.0";
    fs::create_directories(sysfsRoot() + "/" + name);
    if (!lpName.empty()) {
        WriteFile(sysfsRoot() + "/" + name + "/usbmisc/" + lpName + "/uevent",
                  "MAJOR=180\nMINOR=0\nDEVNAME=" + devName + "\n");
    }
    Link(sysfsRoot(), port + ":1.0", name);
}

void FakeSysfs::LinkCharDevice(const std::string& majorMinor, const std::string& port,
                               const std::string& classDevice) {
    const std::string link = sysfsRoot() + "/dev/char/" + majorMinor;
    fs::remove(link);
    fs::create_directory_symlink("../../" + DevicePart(port) + "/" + port + ":1.0/" + classDevice,
                                 link);
}

}  // namespace orlup::test
