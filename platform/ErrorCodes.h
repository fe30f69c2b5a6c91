// System error codes in the Windows code space, which every platform layer reports in.
#pragma once

#include <cstdint>

namespace orlup {

// Only the codes the system produces or names itself; the Windows layer passes any other
// code through as GetLastError gives it.
namespace ErrorCode {
constexpr uint32_t Success = 0;
constexpr uint32_t InvalidFunction = 1;
constexpr uint32_t FileNotFound = 2;
constexpr uint32_t PathNotFound = 3;
constexpr uint32_t TooManyOpenFiles = 4;
constexpr uint32_t AccessDenied = 5;
constexpr uint32_t InvalidHandle = 6;
constexpr uint32_t NotEnoughMemory = 8;
constexpr uint32_t WriteFault = 29;
constexpr uint32_t ReadFault = 30;
constexpr uint32_t GenFailure = 31;
constexpr uint32_t SharingViolation = 32;
constexpr uint32_t HandleEof = 38;
constexpr uint32_t NotSupported = 50;
constexpr uint32_t InvalidParameter = 87;
constexpr uint32_t InsufficientBuffer = 122;
constexpr uint32_t Busy = 170;
constexpr uint32_t FilenameExcedRange = 206;
constexpr uint32_t FileTooLarge = 223;
constexpr uint32_t NoMoreItems = 259;
constexpr uint32_t OperationAborted = 995;
constexpr uint32_t DeviceNotConnected = 1167;
constexpr uint32_t Timeout = 1460;
}  // namespace ErrorCode

/// The system's description of an error code, as FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM)
/// gives it: writes a terminated text into buffer and returns its length, or returns 0 when
/// there is no description or it does not fit in bufferSize - 1 characters.
uint32_t SystemErrorDescription(uint32_t code, uint32_t languageId, char* buffer,
                                uint32_t bufferSize);

}  // namespace orlup
