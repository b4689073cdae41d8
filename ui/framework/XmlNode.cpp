#include "ui/framework/XmlDocument.h"

#include <cwchar>

namespace SkinUI {

CXmlNode CXmlNode::NextSibling() const {
  if (!doc_) return CXmlNode();
  int next = doc_->elements_[index_].nextSibling;
  return next ? CXmlNode(doc_, next) : CXmlNode();
}

CXmlNode CXmlNode::FirstChild() const {
  if (!doc_) return CXmlNode();
  int child = doc_->elements_[index_].firstChild;
  return child ? CXmlNode(doc_, child) : CXmlNode();
}

bool CXmlNode::HasChildElements() const { return doc_ && doc_->elements_[index_].firstChild != 0; }

LPCWSTR CXmlNode::ElementName() const {
  if (!doc_) return nullptr;
  return doc_->text_.get() + doc_->elements_[index_].nameStart;
}

int CXmlNode::AttributeCount() {
  if (!doc_) return 0;
  MapAttributes();
  return attributeCount_;
}

LPCWSTR CXmlNode::AttributeNameAt(int index) {
  if (!doc_) return nullptr;
  MapAttributes();
  if (index < 0 || index >= attributeCount_) return L"";
  return doc_->text_.get() + attributes_[index].name;
}

LPCWSTR CXmlNode::AttributeValueAt(int index) {
  if (!doc_) return nullptr;
  MapAttributes();
  if (index < 0 || index >= attributeCount_) return L"";
  return doc_->text_.get() + attributes_[index].value;
}

bool CXmlNode::FindAttribute(LPCWSTR name, LPWSTR buffer) {
  if (!doc_ || !name) return false;
  MapAttributes();
  const WCHAR* text = doc_->text_.get();
  for (int i = 0; i < attributeCount_; ++i) {
    if (std::wcscmp(text + attributes_[i].name, name) != 0) continue;
    const WCHAR* value = text + attributes_[i].value;
    size_t n = 0;
    while (n + 1 < static_cast<size_t>(kValueBufferSize) && value[n]) {
      buffer[n] = value[n];
      ++n;
    }
    buffer[n] = 0;
    return true;
  }
  return false;
}

// Walks the terminated name/value pairs between the element name and its data start.
void CXmlNode::MapAttributes() {
  if (mapped_) return;
  mapped_ = true;
  attributeCount_ = 0;
  const WCHAR* text = doc_->text_.get();
  const XmlElementRecord& element = doc_->elements_[index_];
  const WCHAR* end = text + element.dataStart;
  const WCHAR* p = text + element.nameStart;
  while (*p) ++p;
  ++p;
  while (p < end && attributeCount_ < kMaxAttributes) {
    while (*p >= 1 && *p <= 32) ++p;
    // The '>' of a start tag is no attribute: content lies behind it.
    if (p >= end || *p == L'>') break;
    int name = static_cast<int>(p - text);
    while (*p) ++p;
    ++p;
    while (*p >= 1 && *p <= 32) ++p;
    if (*p != L'"') break;
    ++p;
    attributes_[attributeCount_++] = {name, static_cast<int>(p - text)};
    while (*p) ++p;
    ++p;
  }
}

}  // namespace SkinUI
