// The table of open platform files and the Windows sharing rules between them.
#include "internal/sharing.h"

#include <sys/stat.h>

#include <algorithm>
#include <vector>

namespace kvplat {

class SharingTable {
 public:
  static SharingTable& Instance() {
    static SharingTable* table = new SharingTable;  // outlives static destructors of callers
    return *table;
  }

  std::mutex mutex;

  // True when an open asking for access with share conflicts with an existing lease.
  bool Conflicts(dev_t device, ino_t inode, DWORD access, DWORD share) const {
    return std::any_of(leases_.begin(), leases_.end(), [&](const SharingLease* lease) {
      return lease->device_ == device && lease->inode_ == inode &&
             (!Allows(lease->share_, access) || !Allows(share, lease->access_));
    });
  }

  void Add(SharingLease* lease) { leases_.push_back(lease); }
  void Remove(SharingLease* lease) { std::erase(leases_, lease); }

 private:
  // Whether a share mode admits the given access.
  static bool Allows(DWORD share, DWORD access) {
    return !((access & kAccessRead) && !(share & FILE_SHARE_READ)) &&
           !((access & kAccessWrite) && !(share & FILE_SHARE_WRITE)) &&
           !((access & kAccessDelete) && !(share & FILE_SHARE_DELETE));
  }

  std::vector<SharingLease*> leases_;
};

namespace {
constexpr DWORD kDataAccess = kAccessRead | kAccessWrite | kAccessDelete;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
}  // namespace

SharingLease::~SharingLease() {
  if (!(access_ & kDataAccess)) return;
  auto& table = SharingTable::Instance();
  std::lock_guard lock(table.mutex);
  table.Remove(this);
}

std::unique_ptr<SharingLease> AcquireSharing(dev_t device, ino_t inode, DWORD access,
                                             DWORD share) {
  if (!(access & kDataAccess)) return std::make_unique<SharingLease>(device, inode, access, share);
  auto& table = SharingTable::Instance();
  std::lock_guard lock(table.mutex);
  if (table.Conflicts(device, inode, access, share)) return nullptr;
  auto lease = std::make_unique<SharingLease>(device, inode, access, share);
  table.Add(lease.get());
  return lease;
}

std::unique_lock<std::mutex> LockSharingTable() {
  return std::unique_lock(SharingTable::Instance().mutex);
}

bool IsOpenWithoutDeleteSharingLocked(const std::string& hostPath) {
  struct stat st {};
  if (stat(hostPath.c_str(), &st) != 0) return false;
  // Deleting is an open for delete access that shares everything.
  return SharingTable::Instance().Conflicts(st.st_dev, st.st_ino, kAccessDelete, kShareAll);
}

bool IsOpenWithoutDeleteSharing(const std::string& hostPath) {
  auto lock = LockSharingTable();
  return IsOpenWithoutDeleteSharingLocked(hostPath);
}

}  // namespace kvplat
