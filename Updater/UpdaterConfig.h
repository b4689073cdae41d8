// The built-in manifest server addresses, each overridable by an environment variable
// of the same name (tests and demos point them at a local server).
#pragma once

#include <string>
#include <vector>

// The environment variable `name` when it is set and not empty, otherwise `builtIn`.
std::wstring ConfiguredValue(const wchar_t* name, const wchar_t* builtIn);

// The manifest URLs in the order they are tried: the primary server, then the fallback
// server, each followed by "/kvinstall.txt".
std::vector<std::wstring> ManifestUrls();
