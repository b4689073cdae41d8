// What the file area knows about open platform file handles, for the operations of
// other areas that Windows refuses while a file is held open (replace, delete).
//
// Every platform open that has data access (read, write or delete) takes a lease in
// one table keyed by device and inode; a new open is refused with a sharing violation
// when its access is not shared by an existing lease, or when its sharing does not
// cover an existing lease's access, as Windows decides.
#pragma once

#include <sys/types.h>

#include <memory>
#include <mutex>
#include <string>

#include <windows.h>

namespace kvplat {

// True when a platform handle is open on the file at hostPath (the same file, by
// device and inode) without FILE_SHARE_DELETE sharing.
bool IsOpenWithoutDeleteSharing(const std::string& hostPath);

// Access bits a lease records. DELETE is what removing or renaming a file needs.
constexpr DWORD kAccessRead = GENERIC_READ;
constexpr DWORD kAccessWrite = GENERIC_WRITE;
constexpr DWORD kAccessDelete = 0x00010000;

// One open's place in the sharing table; dropping it ends the open's claim.
class SharingLease {
 public:
  SharingLease(dev_t device, ino_t inode, DWORD access, DWORD share)
      : device_(device), inode_(inode), access_(access), share_(share) {}
  ~SharingLease();
  SharingLease(const SharingLease&) = delete;
  SharingLease& operator=(const SharingLease&) = delete;

 private:
  friend class SharingTable;
  dev_t device_;
  ino_t inode_;
  DWORD access_;
  DWORD share_;
};

// Takes a lease for an open of (device, inode) with the given access and sharing, or
// returns null when an existing open conflicts. Opens without data access need none and
// get an empty lease.
std::unique_ptr<SharingLease> AcquireSharing(dev_t device, ino_t inode, DWORD access,
                                             DWORD share);

// Holds the table still while a delete or rename acts on a file, so that no open can
// slip in between the check and the act. Opens and closes wait meanwhile.
std::unique_lock<std::mutex> LockSharingTable();

// IsOpenWithoutDeleteSharing for a caller holding LockSharingTable(); false when the
// file does not exist.
bool IsOpenWithoutDeleteSharingLocked(const std::string& hostPath);

}  // namespace kvplat
