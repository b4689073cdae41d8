// The process-wide resource store: where skin files and images are read from (an entry
// of the selected ZIP archive, a file in the resource folder, or a module resource), and
// the archive kept open for every window of the process. UI thread only.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/framework/SkinArchive.h"

namespace SkinUI {

class CSkinResources {
 public:
  // Reserved archive name of the in-memory ZIP image.
  static constexpr const wchar_t* kMemoryArchiveName = L"membuffer";
  static constexpr const wchar_t* kZipResourceType = L"ZIPRES";

  static void SetProcessModule(HMODULE module);
  static HMODULE GetProcessModule();
  static HMODULE GetResourceModule();
  static std::wstring GetModuleFolder();

  static void SetResourceFolder(const std::wstring& path);
  static const std::wstring& GetResourceFolder();

  static void SetResourceArchive(const std::wstring& name);
  static void SetResourceArchiveMemory();
  static const std::wstring& GetResourceArchiveName();
  static bool LoadZipResourceImage(UINT resourceId);
  static void ReleaseZipResourceImage();
  static void CloseResourceArchive();

  // Outcome of reading a named item from the archive or the resource folder.
  enum class ReadStatus { Ok, OpenFailed, NotFound, Empty, TooLarge, ReadFailed };

  // Reads an archive entry through the kept-open archive (or one opened for this call).
  static ReadStatus ReadArchiveEntry(LPCWSTR name, DWORD maxSize, std::vector<BYTE>& bytes);
  // Reads a whole file opened for shared reading.
  static ReadStatus ReadFileBytes(const std::wstring& path, DWORD maxSize, std::vector<BYTE>& bytes);

  // Reads a skin item: the module resource of that name and type when a type is given;
  // else the archive entry when an archive is selected, or the file in the resource folder;
  // and when those yield nothing, the name itself as a file path.
  static bool ReadResourceBytes(LPCWSTR name, LPCWSTR resourceType, std::vector<BYTE>& bytes);

  // Forgets every setting (tests start from a clean store).
  static void Reset();

 private:
  struct State;
  static State& Get();
};

}  // namespace SkinUI
