// Helpers for the skin tests: archives written by real ZIP tools, and synthetic files.
#pragma once

#include <windows.h>

#include <map>
#include <string>

#include "support/TempPrefix.h"

namespace skintest {

enum class ZipTool { InfoZipStored, InfoZipDeflated, PythonZipfile };

// Writes the files into a scratch folder and packs them with the tool into archivePath
// (a host path). Returns false when the tool failed.
bool MakeArchive(ZipTool tool, const std::string& archivePath, const std::map<std::string, std::string>& files,
                 const std::string& comment = "");

// Some kilobytes that compress partly, so deflate has real work.
std::string SampleBytes(size_t size, unsigned seed);

}  // namespace skintest
