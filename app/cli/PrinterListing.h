// "orlup-cli list": every present Ilvaran and Ilvaran-II printer and whether it can be opened now.
#pragma once

#include <iosfwd>
#include <string>

#include "platform/FileApi.h"
#include "platform/LibraryApi.h"

namespace orlup {

/// Where the printer node behind a device path is, or "-" when there is none.
using NodeLookup = std::string (*)(const std::string& devicePath);

/// One line per printer: model, device path, node, description and status, tab-separated.
void ListPrinters(LibraryApi& libraries, FileApi& files, NodeLookup nodeOf, std::ostream& out);

/// "ready", or why the printer cannot be opened now.
std::string PrinterStatus(FileApi& files, const std::string& devicePath);

}  // namespace orlup
