// errno turned into the Windows error codes the portable core reports in.
#pragma once

#include <cstdint>

namespace orlup {

/// Codes for errno values without a Windows counterpart carry this customer bit over the errno,
/// so that nothing is lost and SystemErrorDescription can still name them.
constexpr uint32_t ErrnoCodeBit = 0x20000000;

/// The Windows code for an errno value; 0 stays 0.
uint32_t ErrorCodeFromErrno(int errnoValue);

/// The code for the errno of a call on a file, where ENOSPC and EDQUOT mean that the disk is
/// full rather than, as usblp uses ENOSPC, that the printer is out of paper.
uint32_t FileErrorFromErrno(int errnoValue);

/// The Windows code for the errno the last failed call left.
uint32_t LastErrnoCode();

}  // namespace orlup
