// A read-only reader of single-disk ZIP archives with stored and deflated entries, over a
// file or a buffer in memory. Every offset and length read from the archive is checked
// against its size, so a damaged archive fails cleanly.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace SkinUI {

enum class ZipFindResult { Found, NotFound, BadArgument };
enum class ZipExtractResult { Complete, MoreDataPending, Failure };

class CSkinArchive {
 public:
  // A source of archive bytes: a file or a memory buffer.
  class Source {
   public:
    virtual ~Source() = default;
    virtual DWORD Size() const = 0;
    // Reads exactly length bytes at offset; false when they are not all there.
    virtual bool ReadAt(DWORD offset, void* buffer, DWORD length) = 0;
  };

  struct Entry {
    std::string name;  // as stored, bytes of the archive's code page
    WORD flags;
    WORD method;
    DWORD crc;
    DWORD compressedSize;
    DWORD size;
    DWORD localHeaderOffset;
  };

  // Reads the end record and the central directory; null when they are not valid.
  static std::unique_ptr<CSkinArchive> Open(std::unique_ptr<Source> source);

  ZipFindResult FindEntry(LPCWSTR name, int* index, DWORD* size) const;
  ZipExtractResult ExtractEntry(int index, BYTE* buffer, DWORD length);
  const std::vector<Entry>& Entries() const { return entries_; }

 private:
  explicit CSkinArchive(std::unique_ptr<Source> source) : source_(std::move(source)) {}
  bool ReadDirectory();
  bool DataRange(const Entry& entry, DWORD* offset);
  ZipExtractResult Inflate(DWORD offset, const Entry& entry, BYTE* buffer, DWORD length, DWORD* produced);

  std::unique_ptr<Source> source_;
  std::vector<Entry> entries_;
  DWORD bytesBefore_ = 0;  // data in front of the archive (a stub), added to every offset
};

// The reader's entry points, as the resource store uses them.
CSkinArchive* ZipOpenFile(LPCWSTR path);
CSkinArchive* ZipOpenMemory(const BYTE* buffer, DWORD length);
ZipFindResult ZipFindEntry(CSkinArchive* archive, LPCWSTR name, int* index, DWORD* size);
ZipExtractResult ZipExtractEntry(CSkinArchive* archive, int index, BYTE* buffer, DWORD length);
void ZipClose(CSkinArchive* archive);

}  // namespace SkinUI
