// What the file area knows about open platform file handles, for the operations of
// other areas that Windows refuses while a file is held open (replace, delete).
#pragma once

#include <string>

namespace kvplat {

// True when a platform handle is open on the file at hostPath (the same file, by
// device and inode) without FILE_SHARE_DELETE sharing.
bool IsOpenWithoutDeleteSharing(const std::string& hostPath);

}  // namespace kvplat
