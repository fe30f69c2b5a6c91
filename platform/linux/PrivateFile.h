// A temporary file that no other program can reach, wherever the system lets one be made.
#pragma once

#include <string>

#include "platform/linux/UniqueFd.h"

namespace orlup {

/// A readable and writable file without a name, in the first of $TMPDIR, /tmp and /var/tmp that
/// takes one; never one of descriptors 0-2. Where a folder's file system lacks O_TMPFILE
/// (overlayfs before Linux 6.6, NFS), or withoutTmpfile asks for it, the file is created in a
/// private folder made for it and both are unlinked at once. Invalid when no folder takes one,
/// with *problem naming the folders tried and the last system error's text.
UniqueFd CreatePrivateFile(bool withoutTmpfile, std::string* problem);

}  // namespace orlup
