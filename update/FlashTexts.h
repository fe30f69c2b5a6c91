// Every text the flash update shows, kept apart from its logic.
#pragma once

namespace orlup::FlashTexts {

constexpr const char* EmptyPath = "Enter or select a flash file first";
constexpr const char* BadFileName =
    "Filename is not correct for either an Ilvaran or Ilvaran-II flash";
constexpr const char* MultiplePrinters =
    "Multiple %s printers are online. Only one may be programmed at a time";
constexpr const char* PortOpenFailed = "Unable to open USB port";
constexpr const char* ImageOpenFailed = "Unable to open flash file - ";
constexpr const char* SizeFailed = "Request for size of file failed - ";
constexpr const char* WriteFailed = "USB port write failed - ";
constexpr const char* NoTimer = "No timer available, close some other applications and try again";
constexpr const char* ReadFailed = "ReadFile failed - ";
constexpr const char* Completion =
    "The firmware data was sent to the printer.\n"
    "Please wait for all 4 printer LEDs, INCLUDING the button LED, to start flashing.\n"
    "Then change the rotary switch to original postion and re-power the printer.";

}  // namespace orlup::FlashTexts
