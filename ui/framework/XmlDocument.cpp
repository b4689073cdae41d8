#include "ui/framework/XmlDocument.h"

#include "ui/framework/SkinResources.h"

#include <cwchar>
#include <cwctype>

namespace SkinUI {

namespace {

bool IsBlank(WCHAR c) { return c >= 1 && c <= 32; }

void SkipWhitespace(WCHAR*& p) {
  while (IsBlank(*p)) ++p;
}

// Names are runs of '_', ':' and the runtime's letters and digits of any script.
void SkipIdentifier(WCHAR*& p) {
  while (*p == L'_' || *p == L':' || std::iswalnum(static_cast<wint_t>(*p))) ++p;
}

// True when text starts with the ASCII word.
bool StartsWith(const WCHAR* text, const wchar_t* word) {
  for (; *word; ++word, ++text) {
    if (*text != *word) return false;
  }
  return true;
}

void CopyLimited(WCHAR* target, size_t capacity, const WCHAR* source) {
  size_t n = 0;
  if (source) {
    while (n + 1 < capacity && source[n]) {
      target[n] = source[n];
      ++n;
    }
  }
  target[n] = 0;
}

}  // namespace

CXmlDocument::CXmlDocument() = default;
CXmlDocument::~CXmlDocument() = default;

void CXmlDocument::ReleaseDocument() {
  text_.reset();
  elements_.clear();
  elements_.shrink_to_fit();
  reserved_ = 0;
}

bool CXmlDocument::ParseText(LPCWSTR text) {
  ReleaseDocument();
  if (!text) return FailLoad(L"Expected start tag");
  size_t length = std::wcslen(text);
  auto copy = std::make_unique<WCHAR[]>(length + 1);
  std::wmemcpy(copy.get(), text, length + 1);
  return TakeText(std::move(copy));
}

bool CXmlDocument::ParseUtf8Bytes(const BYTE* bytes, DWORD length) {
  ReleaseDocument();
  if (length >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    bytes += 3;
    length -= 3;
  }
  const char* source = reinterpret_cast<const char*>(bytes);
  int count = length ? MultiByteToWideChar(CP_UTF8, 0, source, static_cast<int>(length), nullptr, 0) : 0;
  if (length && count <= 0) return FailLoad(L"Expected start tag");
  auto text = std::make_unique<WCHAR[]>(static_cast<size_t>(count) + 1);
  if (count) MultiByteToWideChar(CP_UTF8, 0, source, static_cast<int>(length), text.get(), count);
  text[count] = 0;
  return TakeText(std::move(text));
}

bool CXmlDocument::ParseSkinFile(LPCWSTR fileName) {
  ReleaseDocument();
  if (!fileName) return FailLoad(L"Error opening file");
  using Status = CSkinResources::ReadStatus;
  std::vector<BYTE> bytes;
  bool fromArchive = !CSkinResources::GetResourceArchiveName().empty();
  Status status = fromArchive ? CSkinResources::ReadArchiveEntry(fileName, kMaxSkinFileSize, bytes)
                              : CSkinResources::ReadFileBytes(CSkinResources::GetResourceFolder() + fileName,
                                                              kMaxSkinFileSize, bytes);
  switch (status) {
    case Status::Ok: break;
    case Status::OpenFailed: return FailLoad(fromArchive ? L"Error opening zip file" : L"Error opening file");
    case Status::NotFound: return FailLoad(L"Could not find ziped file");
    case Status::Empty: return FailLoad(L"File is empty");
    case Status::TooLarge: return FailLoad(L"File too large");
    case Status::ReadFailed: return FailLoad(fromArchive ? L"Could not unzip file" : L"Could not read file");
  }
  return ParseUtf8Bytes(bytes.data(), static_cast<DWORD>(bytes.size()));
}

bool CXmlDocument::TakeText(std::unique_ptr<WCHAR[]> text) {
  text_ = std::move(text);
  if (Parse()) return true;
  // A failed parse leaves no document, only the error texts.
  text_.reset();
  elements_.clear();
  reserved_ = 0;
  return false;
}

bool CXmlDocument::Parse() {
  errorMessage_[0] = 0;
  errorContext_[0] = 0;
  elements_.clear();
  AppendElement(0, 0);  // entry 0 is a placeholder and never an element
  WCHAR* p = text_.get();
  return ParseElementList(p, 0);
}

int CXmlDocument::AppendElement(int nameStart, int parent) {
  if (elements_.size() >= reserved_) {
    reserved_ = reserved_ + reserved_ / 2 + 500;
    elements_.reserve(reserved_);
  }
  elements_.push_back({nameStart, 0, 0, parent, 0});
  return static_cast<int>(elements_.size()) - 1;
}

CXmlNode CXmlDocument::RootElement() {
  if (elements_.size() > 1) return CXmlNode(this, 1);
  return CXmlNode();
}

bool CXmlDocument::ParseElementList(WCHAR*& p, int parent) {
  int lastCompleted = 0;
  for (;;) {
    SkipWhitespace(p);
    if (*p == 0) return parent <= 1 || Fail(L"Expected start tag", nullptr);
    if (*p != L'<') return Fail(L"Expected start tag", p);
    if (p[1] == L'/') return true;  // the caller handles the end tag
    *p++ = 0;
    SkipWhitespace(p);
    if (*p == L'!' || *p == L'?') {
      // Comments and declarations: skip to "->" or "?>".
      WCHAR closing = *p == L'!' ? L'-' : L'?';
      while (*p && !(p[0] == closing && p[1] == L'>')) ++p;
      if (*p) p += 2;
      continue;
    }
    SkipWhitespace(p);
    int index = AppendElement(static_cast<int>(p - text_.get()), parent);
    if (lastCompleted) {
      elements_[lastCompleted].nextSibling = index;
    } else if (parent) {
      elements_[parent].firstChild = index;
    }
    if (!ParseElement(p, index, parent)) return false;
    lastCompleted = index;
  }
}

// Parses one element from its name on: attributes, content, children and end tag.
bool CXmlDocument::ParseElement(WCHAR*& p, int index, int parent) {
  WCHAR* name = p;
  SkipIdentifier(p);
  if (*p == 0) return Fail(L"Error parsing element name", nullptr);
  size_t nameLength = static_cast<size_t>(p - name);
  if (!ParseAttributes(p)) return false;
  SkipWhitespace(p);
  if (p[0] == L'/' && p[1] == L'>') {
    elements_[index].dataStart = static_cast<int>(p - text_.get());
    *p = 0;
    p += 2;
    name[nameLength] = 0;
    return true;
  }
  if (*p != L'>') return Fail(L"Expected start-tag closing", p);
  ++p;
  elements_[index].dataStart = static_cast<int>(p - text_.get());
  WCHAR* contentEnd = nullptr;
  ParseData(p, contentEnd, L'<');
  if (*p == 0) return parent <= 1 || Fail(L"Expected end-tag start", nullptr);
  if (*p != L'<') return Fail(L"Expected end-tag start", p);
  if (p[1] != L'/' && !ParseElementList(p, index)) return false;
  if (p[0] == L'<' && p[1] == L'/') {
    *contentEnd = 0;
    *p = 0;
    p += 2;
    SkipWhitespace(p);
    if (std::wcsncmp(p, name, nameLength) != 0) return Fail(L"Unmatched closing tag", p);
    p += nameLength;
    SkipWhitespace(p);
    if (*p != L'>') return Fail(L"Unmatched closing tag", *p ? p + 1 : nullptr);
    ++p;
  }
  name[nameLength] = 0;
  return true;
}

bool CXmlDocument::ParseAttributes(WCHAR*& p) {
  if (*p == L'>' || *p == L'/') return true;
  *p++ = 0;  // ends the element name
  SkipWhitespace(p);
  while (*p && *p != L'>' && *p != L'/') {
    SkipIdentifier(p);
    WCHAR* nameEnd = p;
    SkipWhitespace(p);
    if (*p != L'=') return Fail(L"Error while parsing attributes", p);
    *p = L' ';
    *nameEnd = 0;
    ++p;
    SkipWhitespace(p);
    if (*p != L'"') return Fail(L"Expected attribute value", *p ? p + 1 : nullptr);
    ++p;
    WCHAR* valueEnd = nullptr;
    ParseData(p, valueEnd, L'"');
    if (*p == 0) return Fail(L"Error while parsing attribute string", nullptr);
    *valueEnd = 0;
    if (valueEnd != p) *p = L' ';
    ++p;
    SkipWhitespace(p);
  }
  return true;
}

// Decodes content or an attribute value in place up to the end character. The gap the
// decoding leaves between the write and read positions is filled with blanks so that the
// attribute mapping never meets a stale terminator.
void CXmlDocument::ParseData(WCHAR*& read, WCHAR*& write, WCHAR end) {
  write = read;
  while (*read && *read != end) {
    if (*read == L'&') {
      while (*read == L'&') {
        ++read;
        DecodeEntity(read, write);
      }
      if (*read == end) break;
    } else if (*read == L' ') {
      *write++ = *read++;
      if (!preserveWhitespace_) SkipWhitespace(read);
    } else {
      *write++ = *read++;
    }
  }
  for (WCHAR* gap = write; gap < read; ++gap) *gap = L' ';
}

void CXmlDocument::DecodeEntity(WCHAR*& read, WCHAR*& write) {
  static const struct {
    const wchar_t* name;
    WCHAR value;
  } kEntities[] = {{L"amp;", L'&'}, {L"lt;", L'<'}, {L"gt;", L'>'}, {L"quot;", L'"'}, {L"apos;", L'\''}};
  for (const auto& entity : kEntities) {
    if (StartsWith(read, entity.name)) {
      *write++ = entity.value;
      read += std::wcslen(entity.name);
      return;
    }
  }
  *write++ = L'&';  // not an entity: the text after '&' is copied as it is
}

bool CXmlDocument::Fail(LPCWSTR message, const WCHAR* position) {
  CopyLimited(errorMessage_, sizeof(errorMessage_) / sizeof(WCHAR), message);
  CopyLimited(errorContext_, sizeof(errorContext_) / sizeof(WCHAR), position);
  return false;
}

bool CXmlDocument::FailLoad(LPCWSTR message) {
  ReleaseDocument();
  return Fail(message, nullptr);
}

}  // namespace SkinUI
