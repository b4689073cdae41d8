#include "Updater/PackageChecksum.h"

#include <openssl/evp.h>

#include <cwctype>
#include <memory>

#include "Runtime/FileEx.h"

namespace {

constexpr size_t kDigestDigits = 32;
constexpr DWORD kReadFlags = FileEx_ShareRead | FileEx_NoInherit;  // read access, open only
constexpr DWORD kChunk = 1 << 16;

using DigestContext = std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)>;

bool IsDigestText(const std::wstring& text) {
  if (text.size() != kDigestDigits) return false;
  for (wchar_t ch : text)
    if (!std::iswxdigit(static_cast<wint_t>(ch))) return false;
  return true;
}

std::string HexOf(const unsigned char* digest, unsigned length) {
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned i = 0; i < length; ++i) {
    hex += kDigits[digest[i] >> 4];
    hex += kDigits[digest[i] & 0xF];
  }
  return hex;
}

std::string Finish(EVP_MD_CTX* context) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned length = 0;
  if (EVP_DigestFinal_ex(context, digest, &length) != 1) return "";
  return HexOf(digest, length);
}

// The file's digest, or "" when it cannot be read.
std::string FileMd5Hex(const std::wstring& path) {
  DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1) return "";
  CFileEx file;
  if (!file.Open(path.c_str(), kReadFlags, nullptr)) return "";
  try {
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[kChunk]);
    for (DWORD got; (got = file.Read(buffer.get(), kChunk)) > 0;) EVP_DigestUpdate(context.get(), buffer.get(), got);
    file.Close();
  } catch (const CFileExException&) {
    file.Abort();
    return "";
  }
  return Finish(context.get());
}

}  // namespace

std::string Md5Hex(const void* data, size_t length) {
  DigestContext context(EVP_MD_CTX_new(), &EVP_MD_CTX_free);
  if (!context || EVP_DigestInit_ex(context.get(), EVP_md5(), nullptr) != 1) return "";
  EVP_DigestUpdate(context.get(), data, length);
  return Finish(context.get());
}

bool PackageFailsMd5(const std::wstring& path, const std::wstring& md5Text) {
  if (!IsDigestText(md5Text)) return false;
  const std::string actual = FileMd5Hex(path);
  if (actual.size() != kDigestDigits) return true;
  for (size_t i = 0; i < kDigestDigits; ++i)
    if (static_cast<wchar_t>(actual[i]) != static_cast<wchar_t>(std::towlower(static_cast<wint_t>(md5Text[i]))))
      return true;
  return false;
}
