// The output stream of a download: appends the response body to the local file.
#pragma once

#include <cstdint>
#include <string>

#include "Runtime/BufferStream.h"
#include "Runtime/FileEx.h"

class DownloadWriteFile : public OBaseStream {
 public:
  DownloadWriteFile() = default;
  ~DownloadWriteFile() override;

  // Opens (or creates) the file, keeping its content, positioned at its end. Others may
  // read it but not write it while it is open.
  bool Open(const std::wstring& path);
  int32_t Write(const void* data, uint32_t count) override;
  // Closes the file if it is open and clears the error pair.
  void Close() override;
  // Truncates the open file to nothing; deletes the file when it is not open.
  void Clear() override;

  bool IsOpen() const;
  // The current length of the open file; -1 when it cannot be told.
  int64_t Length();

 private:
  void Fail(int type, int code, int systemError);

  std::wstring path_;
  CFileEx file_;
};
