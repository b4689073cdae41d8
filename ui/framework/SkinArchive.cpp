#include "ui/framework/SkinArchive.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

namespace SkinUI {

namespace {

constexpr DWORD kEndRecordSignature = 0x06054b50;
constexpr DWORD kCentralSignature = 0x02014b50;
constexpr DWORD kLocalSignature = 0x04034b50;
constexpr DWORD kEndRecordSize = 22;
constexpr DWORD kCentralHeaderSize = 46;
constexpr DWORD kLocalHeaderSize = 30;
constexpr DWORD kMaxEndRecordDistance = 0xFFFF;
constexpr DWORD kSearchStep = 1024;
constexpr DWORD kInputChunk = 16384;
constexpr WORD kEncryptedFlag = 0x1;
constexpr WORD kDataDescriptorFlag = 0x8;

WORD Le16(const BYTE* p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }
DWORD Le32(const BYTE* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24); }

class MemorySource : public CSkinArchive::Source {
 public:
  MemorySource(const BYTE* data, DWORD size) : data_(data), size_(size) {}
  DWORD Size() const override { return size_; }
  bool ReadAt(DWORD offset, void* buffer, DWORD length) override {
    if (offset > size_ || length > size_ - offset) return false;
    std::memcpy(buffer, data_ + offset, length);
    return true;
  }

 private:
  const BYTE* data_;
  DWORD size_;
};

class FileSource : public CSkinArchive::Source {
 public:
  FileSource(HANDLE file, DWORD size) : file_(file), size_(size) {}
  ~FileSource() override { CloseHandle(file_); }
  DWORD Size() const override { return size_; }
  bool ReadAt(DWORD offset, void* buffer, DWORD length) override {
    if (offset > size_ || length > size_ - offset) return false;
    LARGE_INTEGER position;
    position.QuadPart = offset;
    if (!SetFilePointerEx(file_, position, nullptr, FILE_BEGIN)) return false;
    DWORD read = 0;
    return ReadFile(file_, buffer, length, &read, nullptr) && read == length;
  }

 private:
  HANDLE file_;
  DWORD size_;
};

// Finds the end-of-central-directory signature in the archive's last 65535 bytes, reading
// windows of 1028 bytes that step back 1024 bytes. 0 means not found (the record cannot
// start the archive).
DWORD FindEndRecord(CSkinArchive::Source& source) {
  DWORD size = source.Size();
  if (size < kEndRecordSize) return 0;
  DWORD maxBack = std::min(kMaxEndRecordDistance, size);
  BYTE window[kSearchStep + 4];
  DWORD back = 4;
  while (back < maxBack) {
    back = std::min(back + kSearchStep, maxBack);
    DWORD start = size - back;
    DWORD length = std::min(kSearchStep + 4, size - start);
    if (!source.ReadAt(start, window, length)) return 0;
    for (DWORD i = length - 3; i-- > 0;) {
      if (Le32(window + i) == kEndRecordSignature) return start + i;
    }
  }
  return 0;
}

bool AsciiEqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

std::unique_ptr<CSkinArchive> CSkinArchive::Open(std::unique_ptr<Source> source) {
  std::unique_ptr<CSkinArchive> archive(new CSkinArchive(std::move(source)));
  if (!archive->ReadDirectory()) return nullptr;
  return archive;
}

bool CSkinArchive::ReadDirectory() {
  DWORD endPos = FindEndRecord(*source_);
  BYTE end[kEndRecordSize];
  if (endPos == 0 || !source_->ReadAt(endPos, end, kEndRecordSize)) return false;
  WORD disk = Le16(end + 4), directoryDisk = Le16(end + 6);
  WORD entriesHere = Le16(end + 8), entriesTotal = Le16(end + 10);
  DWORD directorySize = Le32(end + 12), directoryOffset = Le32(end + 16);
  if (disk != 0 || directoryDisk != 0 || entriesHere != entriesTotal) return false;
  if (directoryOffset > endPos || directorySize > endPos - directoryOffset) return false;
  bytesBefore_ = endPos - (directoryOffset + directorySize);
  std::vector<BYTE> directory(directorySize);
  if (directorySize && !source_->ReadAt(directoryOffset + bytesBefore_, directory.data(), directorySize)) return false;
  entries_.reserve(entriesTotal);
  DWORD pos = 0;
  for (WORD i = 0; i < entriesTotal; ++i) {
    if (directorySize - pos < kCentralHeaderSize) return false;
    const BYTE* h = directory.data() + pos;
    if (Le32(h) != kCentralSignature) return false;
    DWORD nameLength = Le16(h + 28), extraLength = Le16(h + 30), commentLength = Le16(h + 32);
    DWORD headerLength = kCentralHeaderSize + nameLength + extraLength + commentLength;
    if (directorySize - pos < headerLength) return false;
    Entry e;
    e.flags = Le16(h + 8);
    e.method = Le16(h + 10);
    e.crc = Le32(h + 16);
    e.compressedSize = Le32(h + 20);
    e.size = Le32(h + 24);
    e.localHeaderOffset = Le32(h + 42);
    e.name.assign(reinterpret_cast<const char*>(h + kCentralHeaderSize), nameLength);
    entries_.push_back(std::move(e));
    pos += headerLength;
  }
  return true;
}

// The requested name in the ANSI code page (at most 255 characters), backslashes turned
// into slashes, ASCII letters compared without case.
ZipFindResult CSkinArchive::FindEntry(LPCWSTR name, int* index, DWORD* size) const {
  if (!name) return ZipFindResult::BadArgument;
  char ansi[1024];
  int length = WideCharToMultiByte(CP_ACP, 0, name, -1, ansi, sizeof(ansi), nullptr, nullptr);
  if (length <= 0 || length - 1 > 255) return ZipFindResult::NotFound;
  std::string wanted(ansi, static_cast<size_t>(length - 1));
  std::replace(wanted.begin(), wanted.end(), '\\', '/');
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (!AsciiEqualNoCase(entries_[i].name, wanted)) continue;
    if (index) *index = static_cast<int>(i);
    if (size) *size = entries_[i].size;
    return ZipFindResult::Found;
  }
  return ZipFindResult::NotFound;
}

// Checks the local header against the central directory and finds the entry's data.
bool CSkinArchive::DataRange(const Entry& entry, DWORD* offset) {
  BYTE local[kLocalHeaderSize];
  if (entry.localHeaderOffset > source_->Size() - bytesBefore_) return false;
  DWORD headerPos = entry.localHeaderOffset + bytesBefore_;
  if (!source_->ReadAt(headerPos, local, kLocalHeaderSize) || Le32(local) != kLocalSignature) return false;
  WORD method = Le16(local + 8);
  if (entry.flags & kEncryptedFlag) return false;
  if (method != entry.method || (method != 0 && method != 8)) return false;
  if (!(entry.flags & kDataDescriptorFlag) &&
      (Le32(local + 14) != entry.crc || Le32(local + 18) != entry.compressedSize || Le32(local + 22) != entry.size)) {
    return false;
  }
  DWORD dataPos = headerPos + kLocalHeaderSize + Le16(local + 26) + Le16(local + 28);
  DWORD total = source_->Size();
  if (dataPos > total || entry.compressedSize > total - dataPos) return false;
  if (method == 0 && entry.compressedSize != entry.size) return false;
  *offset = dataPos;
  return true;
}

ZipExtractResult CSkinArchive::Inflate(DWORD offset, const Entry& entry, BYTE* buffer, DWORD length,
                                       DWORD* produced) {
  z_stream stream = {};
  if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return ZipExtractResult::Failure;
  std::vector<BYTE> input(kInputChunk);
  DWORD consumed = 0;
  stream.next_out = buffer;
  stream.avail_out = length;
  int status = Z_OK;
  while (stream.avail_out > 0 && status != Z_STREAM_END) {
    if (stream.avail_in == 0) {
      DWORD chunk = std::min(kInputChunk, entry.compressedSize - consumed);
      if (chunk == 0 || !source_->ReadAt(offset + consumed, input.data(), chunk)) break;
      consumed += chunk;
      stream.next_in = input.data();
      stream.avail_in = chunk;
    }
    status = inflate(&stream, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END) break;
  }
  *produced = length - stream.avail_out;
  inflateEnd(&stream);
  if (status == Z_STREAM_END) return ZipExtractResult::Complete;
  // A full buffer before the end of the stream leaves data pending; anything else is a
  // truncated or damaged stream.
  if (stream.avail_out == 0 && status == Z_OK) return ZipExtractResult::MoreDataPending;
  return ZipExtractResult::Failure;
}

// Delivers the entry from its start into the buffer. An entry delivered whole is checked
// against its CRC-32, so damaged data never counts as success.
ZipExtractResult CSkinArchive::ExtractEntry(int index, BYTE* buffer, DWORD length) {
  if (index < 0 || static_cast<size_t>(index) >= entries_.size() || (!buffer && length)) {
    return ZipExtractResult::Failure;
  }
  const Entry& entry = entries_[static_cast<size_t>(index)];
  DWORD offset = 0;
  if (!DataRange(entry, &offset)) return ZipExtractResult::Failure;
  DWORD wanted = std::min(length, entry.size);
  DWORD produced = 0;
  ZipExtractResult result;
  if (entry.method == 0) {
    if (wanted && !source_->ReadAt(offset, buffer, wanted)) return ZipExtractResult::Failure;
    produced = wanted;
    result = length > entry.size ? ZipExtractResult::Complete : ZipExtractResult::MoreDataPending;
  } else {
    result = Inflate(offset, entry, buffer, wanted, &produced);
    if (result == ZipExtractResult::Failure) return result;
    if (result == ZipExtractResult::Complete && produced != entry.size) return ZipExtractResult::Failure;
    if (result == ZipExtractResult::Complete && length == entry.size) result = ZipExtractResult::MoreDataPending;
  }
  if (produced == entry.size && crc32(0, buffer, produced) != entry.crc) return ZipExtractResult::Failure;
  return result;
}

CSkinArchive* ZipOpenFile(LPCWSTR path) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size) || size.QuadPart > 0xFFFFFFFFll) {
    CloseHandle(file);
    return nullptr;
  }
  return CSkinArchive::Open(std::make_unique<FileSource>(file, static_cast<DWORD>(size.QuadPart))).release();
}

CSkinArchive* ZipOpenMemory(const BYTE* buffer, DWORD length) {
  if (!buffer) return nullptr;
  return CSkinArchive::Open(std::make_unique<MemorySource>(buffer, length)).release();
}

ZipFindResult ZipFindEntry(CSkinArchive* archive, LPCWSTR name, int* index, DWORD* size) {
  if (!archive) return ZipFindResult::BadArgument;
  return archive->FindEntry(name, index, size);
}

ZipExtractResult ZipExtractEntry(CSkinArchive* archive, int index, BYTE* buffer, DWORD length) {
  if (!archive) return ZipExtractResult::Failure;
  return archive->ExtractEntry(index, buffer, length);
}

void ZipClose(CSkinArchive* archive) { delete archive; }

}  // namespace SkinUI
