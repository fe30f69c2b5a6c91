// System error codes in the Windows code space, which every platform layer reports in.
#pragma once

#include <cstdint>

namespace orlup {

// The codes the system produces or names itself, each once: its name, its Windows value and
// the description used where the system has no message table of its own (Linux). The Windows
// layer passes any other code through as GetLastError gives it.
#define ORLUP_ERROR_CODES(X)                                                                    \
    X(Success, 0, "No error occurred.")                                                         \
    X(InvalidFunction, 1, "The device or file does not support this operation.")                \
    X(FileNotFound, 2, "No such file, folder or device was found.")                             \
    X(PathNotFound, 3, "A folder named in the path does not exist.")                            \
    X(TooManyOpenFiles, 4, "Too many files are open to open another one.")                      \
    X(AccessDenied, 5, "Access to the file or device was refused.")                             \
    X(InvalidHandle, 6, "The file or device handle is not valid.")                              \
    X(NotEnoughMemory, 8, "There is not enough memory left for this operation.")                \
    X(WriteFault, 29, "The device did not take all the data written to it.")                    \
    X(ReadFault, 30, "The data could not be read from the device.")                             \
    X(GenFailure, 31, "The device reported an input or output failure.")                        \
    X(SharingViolation, 32, "The file is in use by another program.")                           \
    X(HandleEof, 38, "The end of the file was reached.")                                        \
    X(NotSupported, 50, "No printer driver is bound to this USB device.")                       \
    X(InvalidParameter, 87, "A value passed to the system was not valid.")                      \
    X(DiskFull, 112, "There is not enough space on the disk.")                                  \
    X(Busy, 170, "The device is in use by another program.")                                    \
    X(FilenameExcedRange, 206, "The file name or path is too long.")                            \
    X(FileTooLarge, 223, "The file is too large for this operation.")                           \
    X(OperationAborted, 995, "The operation was interrupted before it finished.")               \
    X(DeviceNotConnected, 1167, "The device is not connected or was removed.")                  \
    X(Timeout, 1460, "The device took no data before the time limit ran out.")                  \
    X(CantResolveFilename, 1921, "The path has too many levels of symbolic links.")       \
    X(NoPrivateCopy, 0x20001000,                                                                \
      "No private copy of the image could be made in a temporary folder.")

namespace ErrorCode {
#define ORLUP_ERROR_CODE_CONSTANT(name, value, text) constexpr uint32_t name = value;
ORLUP_ERROR_CODES(ORLUP_ERROR_CODE_CONSTANT)
#undef ORLUP_ERROR_CODE_CONSTANT
}  // namespace ErrorCode

struct ErrorCodeInfo {
    uint32_t code;
    const char* name;
    const char* ownText;  // our own description, for systems without a message table
};

#define ORLUP_ERROR_CODE_INFO(name, value, text) {value, #name, text},
inline constexpr ErrorCodeInfo ErrorCodeTable[] = {ORLUP_ERROR_CODES(ORLUP_ERROR_CODE_INFO)};
#undef ORLUP_ERROR_CODE_INFO

/// The system's description of an error code, as FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM)
/// gives it: writes a terminated text into buffer and returns its length, or returns 0 when
/// there is no description or it does not fit in bufferSize - 1 characters. Each platform
/// layer defines it.
uint32_t SystemErrorDescription(uint32_t code, uint32_t languageId, char* buffer,
                                uint32_t bufferSize);

}  // namespace orlup
