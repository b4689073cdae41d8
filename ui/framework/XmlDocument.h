// The skin markup parser: a small in-place XML parser over one wide-character copy of a
// skin document. Elements live in a flat table of offsets into that copy; names and
// attribute values are terminated in place, so nothing is allocated per attribute.
#pragma once

#include <windows.h>

#include <memory>
#include <vector>

namespace SkinUI {

class CXmlDocument;

// One element of the table; every field is an index or an offset into the text.
struct XmlElementRecord {
  int nameStart;
  int firstChild;   // 0 = none
  int nextSibling;  // 0 = none
  int parent;       // 0 = top level
  int dataStart;    // content, or the terminated "/" of an empty-element tag
};

// A handle on one element. Copies are cheap; the attribute table is mapped on first use.
class CXmlNode {
 public:
  static constexpr int kMaxAttributes = 64;
  static constexpr int kValueBufferSize = 500;

  CXmlNode() = default;

  bool IsValid() const { return doc_ != nullptr; }
  CXmlNode NextSibling() const;
  CXmlNode FirstChild() const;
  bool HasChildElements() const;
  LPCWSTR ElementName() const;

  int AttributeCount();
  bool HasAnyAttributes() { return AttributeCount() > 0; }
  LPCWSTR AttributeNameAt(int index);
  LPCWSTR AttributeValueAt(int index);
  // Copies the value of the first attribute called name (case-sensitive) into a buffer
  // of kValueBufferSize characters, at most kValueBufferSize - 1 of them.
  bool FindAttribute(LPCWSTR name, LPWSTR buffer);

 private:
  friend class CXmlDocument;
  CXmlNode(CXmlDocument* doc, int index) : doc_(doc), index_(index) {}
  void MapAttributes();

  struct AttributeRef {
    int name;
    int value;
  };
  CXmlDocument* doc_ = nullptr;
  int index_ = 0;
  bool mapped_ = false;
  int attributeCount_ = 0;
  AttributeRef attributes_[kMaxAttributes] = {};
};

class CXmlDocument {
 public:
  static constexpr DWORD kMaxSkinFileSize = 4 * 1024 * 1024;

  CXmlDocument();
  ~CXmlDocument();
  CXmlDocument(const CXmlDocument&) = delete;
  CXmlDocument& operator=(const CXmlDocument&) = delete;

  bool ParseText(LPCWSTR text);
  bool ParseUtf8Bytes(const BYTE* bytes, DWORD length);
  // Reads a skin file through the resource store (archive entry or file) and parses it.
  bool ParseSkinFile(LPCWSTR fileName);
  void ReleaseDocument();

  CXmlNode RootElement();
  LPCWSTR ErrorMessage() const { return errorMessage_; }
  LPCWSTR ErrorContext() const { return errorContext_; }

  void SetPreserveWhitespace(bool preserve) { preserveWhitespace_ = preserve; }
  bool PreserveWhitespace() const { return preserveWhitespace_; }

  int ElementCount() const { return static_cast<int>(elements_.size()); }
  DWORD ReservedElements() const { return reserved_; }

 private:
  friend class CXmlNode;

  bool TakeText(std::unique_ptr<WCHAR[]> text);
  bool Parse();
  bool ParseElementList(WCHAR*& p, int parent);
  bool ParseElement(WCHAR*& p, int index, int parent);
  bool ParseAttributes(WCHAR*& p);
  void ParseData(WCHAR*& read, WCHAR*& write, WCHAR end);
  void DecodeEntity(WCHAR*& read, WCHAR*& write);
  int AppendElement(int nameStart, int parent);
  bool Fail(LPCWSTR message, const WCHAR* position);
  bool FailLoad(LPCWSTR message);

  std::unique_ptr<WCHAR[]> text_;
  std::vector<XmlElementRecord> elements_;
  DWORD reserved_ = 0;
  WCHAR errorMessage_[100] = {};
  WCHAR errorContext_[50] = {};
  bool preserveWhitespace_ = true;
};

}  // namespace SkinUI
