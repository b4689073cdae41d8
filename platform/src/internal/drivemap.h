// The machine prefix and the drive map: every file function turns Windows paths into
// host paths here, and host paths into Windows names.
//
//   prefix            KV_PREFIX, default ${XDG_DATA_HOME:-$HOME/.local/share}/kavro-prefix
//   C:\               <prefix>/drive_c (created with the prefix)
//   D:\ ... Y:\       <prefix>/drive_d ... : a drive exists only while its folder does
//   Z:\               the host root /
//
// Letters are case-insensitive; '\' and '/' both separate. A path without a drive stays
// relative to the current folder ("\x" without a drive means Z:\x). Host file names are
// UTF-8. Names are compared as the host does (case-sensitively).
#pragma once

#include <string>
#include <string_view>

namespace kvplat {

// The prefix folder as a host path without a trailing slash; read from the environment
// on every call so that tests can point it at a temporary folder.
std::string PrefixRoot();

// Creates the prefix, drive_c and C:\ProgramData when missing. False when it can't.
bool OpenPrefix();

// The host folder of a drive letter, or "" when that drive does not exist.
std::string DriveRoot(wchar_t letter);

// Host path of a Windows path. A missing drive still maps to its would-be folder, so the
// operation on it fails as on a machine without that drive.
std::string ToHostPath(std::wstring_view windowsPath);

// Windows name of a host path (made absolute against the current folder).
std::wstring ToWindowsPath(std::string_view hostPath);

}  // namespace kvplat
