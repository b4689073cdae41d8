// CFileEx: a thin wrapper over an operating-system file handle that reports failures by
// throwing CFileExException. Positions and lengths are 32-bit: files stay below 4 GiB.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// A failure of a file operation. code is the system error number, or -12 for a write
// that moved fewer bytes than asked; message is the file path for write failures,
// "INVALID_HANDLE_VALUE" for a failed Open, and empty otherwise.
struct CFileExException {
  std::wstring message;
  int32_t code = 0;
};

// Open flags.
enum CFileExFlags : DWORD {
  FileEx_AccessMask = 0x3,     // 0 read, 1 write, 2 read and write, 3 no access
  FileEx_ShareMask = 0x70,     // 0x20 others read, 0x30 others write, 0x40 both, else none
  FileEx_ShareRead = 0x20,
  FileEx_ShareWrite = 0x30,
  FileEx_ShareReadWrite = 0x40,
  FileEx_NoInherit = 0x80,
  FileEx_Create = 0x1000,      // create the file; alone it replaces an existing one
  FileEx_KeepExisting = 0x2000,  // with FileEx_Create: open an existing file as it is
  FileEx_Binary = 0x8000,      // no effect
};

class CFileEx {
 public:
  CFileEx() = default;
  virtual ~CFileEx();
  CFileEx(const CFileEx&) = delete;
  CFileEx& operator=(const CFileEx&) = delete;

  // The current position relative to the start.
  virtual DWORD GetPosition();
  // Opens path as flags say. On failure returns false and, when error is given, fills it
  // with the system error number and the message "INVALID_HANDLE_VALUE".
  virtual bool Open(const wchar_t* path, DWORD flags, CFileExException* error);
  // Moves the position (origin 0 start, 1 current, 2 end) and returns the new one.
  virtual DWORD Seek(LONG offset, DWORD origin);
  // Moves the position to length and makes that the end of the file.
  virtual void SetLength(DWORD length);
  virtual DWORD SeekToEnd();
  // Returns the bytes read: fewer than count at the end of the file.
  virtual DWORD Read(void* buffer, DWORD count);
  // Writes all count bytes or throws with the file path.
  virtual void Write(const void* buffer, DWORD count);
  // Closes the handle ignoring errors. Never throws.
  virtual void Abort();
  virtual void Flush();
  virtual void Close();

  bool IsOpen() const { return handle != INVALID_HANDLE_VALUE; }
  const std::wstring& GetFilePath() const { return filePath; }

 private:
  [[noreturn]] static void ThrowLastError(const std::wstring& message = std::wstring());

  HANDLE handle = INVALID_HANDLE_VALUE;
  bool ownsHandle = false;
  std::wstring filePath;
};
