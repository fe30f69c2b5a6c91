// A temporary sysfs laid out as the kernel lays out USB devices and usblp.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace orlup::test {

/// Writes text to path, creating the folders above it.
inline void WriteFile(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

class FakeSysfs {
public:
    FakeSysfs() {
        if (mkdtemp(base_.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        for (const char* folder : {"/sys/bus/usb/devices", "/sys/dev/char", "/scratch"})
            std::filesystem::create_directories(base_ + folder);
    }
    ~FakeSysfs() {
        std::error_code ignored;
        std::filesystem::remove_all(base_, ignored);
    }
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    /// A device's attribute files, in the order AddDevice takes them.
    static constexpr const char* Strings[] = {"idVendor", "idProduct", "serial", "manufacturer",
                                              "product"};

    std::string sysfsRoot() const { return base_ + "/sys"; }
    /// A folder beside the sysfs root, for images and the like.
    std::string scratch() const { return base_ + "/scratch"; }

    /// A device ("1-1", or a root hub such as "usb1") with its link in bus/usb/devices; each
    /// string is written with the kernel's line break, and an empty one is left out.
    void AddDevice(const std::string& port, const std::string& idVendor = "044e",
                   const std::string& idProduct = "200a", const std::string& serial = "",
                   const std::string& manufacturer = "", const std::string& product = "") {
        const std::string folder = Made(port, DevicePart(port));
        const std::string values[] = {idVendor, idProduct, serial, manufacturer, product};
        for (int i = 0; i < 5; ++i)
            if (!values[i].empty()) WriteFile(folder + "/" + Strings[i], values[i] + "\n");
    }
    /// Interface 1.0, linked like the device; with lpName, bound to usblp with node devName.
    void AddInterface(const std::string& port, const std::string& lpName = "",
                      const std::string& devName = "") {
        const std::string folder = Made(port + ":1.0", DevicePart(port) + "/" + port + ":1.0");
        if (!lpName.empty())
            WriteFile(folder + "/usbmisc/" + lpName + "/uevent",
                      "MAJOR=180\nMINOR=0\nDEVNAME=" + devName + "\n");
    }
    /// <sysfs>/dev/char/<majorMinor>, leading to a class device of port's interface, such as
    /// usblp's "usbmisc/lp0".
    void LinkCharDevice(const std::string& majorMinor, const std::string& port,
                        const std::string& classDevice) {
        const std::string link = sysfsRoot() + "/dev/char/" + majorMinor;
        std::filesystem::remove(link);
        std::filesystem::create_directory_symlink(
            "../../" + DevicePart(port) + "/" + port + ":1.0/" + classDevice, link);
    }

private:
    // Real sysfs nests a hub's children below the hub; through the links both read the same.
    static std::string DevicePart(const std::string& port) {
        return "devices/platform/dummy_hcd.0/usb" + port.substr(0, port.find('-')) + "/" + port;
    }
    /// <sysfs>/<part>, linked in bus/usb/devices as name.
    std::string Made(const std::string& name, const std::string& part) const {
        std::filesystem::create_directories(sysfsRoot() + "/" + part);
        std::filesystem::create_directory_symlink("../../../" + part,
                                                  sysfsRoot() + "/bus/usb/devices/" + name);
        return sysfsRoot() + "/" + part;
    }

    std::string base_ = (std::filesystem::temp_directory_path() / "orlup-sysfs-XXXXXX").string();
};

}  // namespace orlup::test
