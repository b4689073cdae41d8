// Checks a downloaded package against the MD5 digest the manifest names, so that a file
// made of pieces of two different packages (a partial download of an older version
// resumed against a newer one) is never taken for the package.
#pragma once

#include <string>

// True when `md5Text` is a digest (32 hexadecimal digits, either case) and the file's
// MD5 digest differs from it, or the file cannot be read. Any other text names no digest
// and checks nothing.
bool PackageFailsMd5(const std::wstring& path, const std::wstring& md5Text);

// The MD5 digest of bytes as 32 lower-case hexadecimal digits.
std::string Md5Hex(const void* data, size_t length);
