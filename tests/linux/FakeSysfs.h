// A temporary sysfs laid out as the kernel lays out USB devices and usblp.
#pragma once

#include <string>

namespace orlup::test {

class FakeSysfs {
public:
    FakeSysfs();
    ~FakeSysfs();
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    std::string sysfsRoot() const { return base_ + "/sys"; }
    /// A folder beside the sysfs root, for images and the like.
    std::string scratch() const { return base_ + "/scratch"; }

    /// A device ("1-1", or a root hub such as "usb1") with its link in bus/usb/devices; each
    /// string is written with the kernel's line break, and an empty one is left out.
    void AddDevice(const std::string& port, const std::string& idVendor = "044e",
                   const std::string& idProduct = "200a", const std::string& serial = "",
                   const std::string& manufacturer = "", const std::string& product = "");
    /// Interface 1.0, linked like the device; with lpName, bound to usblp with node devName.
    void AddInterface(const std::string& port, const std::string& lpName = "",
                      const std::string& devName = "");
    /// <sysfs>/dev/char/<majorMinor>, leading to a class device of port's interface, such as
    /// usblp's "usbmisc/lp0".
    void LinkCharDevice(const std::string& majorMinor, const std::string& port,
                        const std::string& classDevice);

private:
    std::string base_;
};

/// Writes text to path, creating the folders above it.
void WriteFile(const std::string& path, const std::string& text);

}  // namespace orlup::test
