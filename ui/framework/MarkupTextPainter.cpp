#include "ui/framework/MarkupTextPainter.h"

#include <algorithm>
#include <cwchar>

#include "ui/framework/DrawEngine.h"

namespace SkinUI {

namespace {

bool IsOpen(wchar_t c) { return c == L'<' || c == L'{'; }
bool IsClose(wchar_t c) { return c == L'>' || c == L'}'; }
bool IsTagLetter(wchar_t c) { return c >= L'a' && c <= L'z'; }
bool IsAsciiLetter(wchar_t c) { return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z'); }

// "<{>" and "<}>" stand for a brace, "{<}" and "{>}" for an angle bracket.
wchar_t LiteralBracket(const wchar_t* p) {
  if (p[0] == L'<' && (p[1] == L'{' || p[1] == L'}') && p[2] == L'>') return p[1];
  if (p[0] == L'{' && (p[1] == L'<' || p[1] == L'>') && p[2] == L'}') return p[1];
  return 0;
}

// A tag: an opening bracket, an optional '/', a lowercase letter, then a blank or closer.
bool IsTag(const wchar_t* p) {
  if (!IsOpen(p[0])) return false;
  const wchar_t* q = p + 1;
  if (*q == L'/') ++q;
  return IsTagLetter(q[0]) && (q[1] == L' ' || IsClose(q[1]));
}

// Raw text ends at "</r" or "{/r" followed by a closer.
bool IsRawEnd(const wchar_t* p) { return IsOpen(p[0]) && p[1] == L'/' && p[2] == L'r' && IsClose(p[3]); }

int ToInt(const std::wstring& text) { return static_cast<int>(std::wcstol(text.c_str(), nullptr, 10)); }

// The value of key='...' inside a tag's text, or empty.
std::wstring QuotedValue(const std::wstring& text, const wchar_t* key) {
  size_t at = text.find(key);
  if (at == std::wstring::npos) return std::wstring();
  size_t start = at + std::wcslen(key);
  size_t end = text.find(L'\'', start);
  return end == std::wstring::npos ? std::wstring() : text.substr(start, end - start);
}

}  // namespace

CMarkupTextPainter::CMarkupTextPainter(HDC dc, IDrawHost* host, DWORD color, RECT* linkRects, std::wstring* linkTexts,
                                       int linkCapacity, UINT flags)
    : dc_(dc),
      host_(host),
      color_(color),
      linkRects_(linkRects),
      linkTexts_(linkTexts),
      linkCapacity_(linkRects && linkTexts ? std::max(0, linkCapacity) : 0),
      flags_(flags),
      measureOnly_((flags & DT_CALCRECT) != 0),
      singleLine_((flags & DT_SINGLELINE) != 0) {}

const TEXTMETRICW& CMarkupTextPainter::Metrics(HFONT font) {
  if (const SkinFontRecord* record = host_->GetFontInfoForHandle(font)) {
    if (record->metrics.tmHeight > 0) return record->metrics;
  }
  HGDIOBJ old = SelectObject(dc_, font);
  GetTextMetricsW(dc_, &metrics_);
  SelectObject(dc_, old);
  return metrics_;
}

int CMarkupTextPainter::TextWidth(HFONT font, const wchar_t* text, int length) {
  if (length <= 0) return 0;
  HGDIOBJ old = SelectObject(dc_, font);
  SIZE size = {};
  GetTextExtentPoint32W(dc_, text, length, &size);
  SelectObject(dc_, old);
  return size.cx;
}

// The same face and size with some styles changed (1 on, 0 off, -1 unchanged), taken from
// the host's font list or added to it.
HFONT CMarkupTextPainter::DeriveFont(HFONT font, int bold, int underline, int italic) {
  std::wstring face;
  int size = 0;
  bool b = false, u = false, i = false;
  if (const SkinFontRecord* record = host_->GetFontInfoForHandle(font)) {
    face = record->faceName;
    size = record->size;
    b = record->bold;
    u = record->underline;
    i = record->italic;
  } else {
    LOGFONTW lf = {};
    if (!GetObjectW(font, sizeof(lf), &lf)) return font;
    face.assign(lf.lfFaceName, wcsnlen(lf.lfFaceName, LF_FACESIZE));
    size = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight;
    b = lf.lfWeight >= FW_BOLD;
    u = lf.lfUnderline != 0;
    i = lf.lfItalic != 0;
  }
  if (bold >= 0) b = bold != 0;
  if (underline >= 0) u = underline != 0;
  if (italic >= 0) i = italic != 0;
  HFONT found = host_->FindSkinFont(face.c_str(), size, b, u, i);
  if (!found) found = host_->AddSkinFont(face.c_str(), size, b, u, i);
  return found ? found : font;
}

// A link is the hovered one when the previous paint's rectangle under the mouse belongs
// to it: it starts at this link's first rectangle and carries the same text throughout.
bool CMarkupTextPainter::IsHovered(const State& s, const std::wstring& text) const {
  if (hovered_ < s.linksUsed) return false;
  for (int i = s.linksUsed; i <= hovered_; ++i) {
    if (linkTexts_[i] != text) return false;
  }
  return true;
}

int CMarkupTextPainter::Paint(RECT& rect, LPCWSTR text) {
  if (!dc_ || !host_ || !text || IsRectEmpty(&rect)) return 0;
  POINT mouse = host_->GetLastMousePos();
  for (int i = 0; i < linkCapacity_; ++i) {
    if (PtInRect(&linkRects_[i], mouse)) {
      hovered_ = i;
      break;
    }
  }
  if (measureOnly_) return Layout(rect, text);
  int saved = SaveDC(dc_);
  HRGN clip = CreateRectRgnIndirect(&rect);
  ExtSelectClipRgn(dc_, clip, RGN_AND);
  DeleteObject(clip);
  SetBkMode(dc_, TRANSPARENT);
  SetTextColor(dc_, CDrawEngine::ToColorRef(color_));
  SetBkColor(dc_, CDrawEngine::ToColorRef(host_->GetSelectedBackColor()));
  RECT area = rect;
  if (flags_ & (DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM)) {
    RECT measured = {0, 0, 9999, 100};
    CMarkupTextPainter(dc_, host_, color_, nullptr, nullptr, 0, flags_ | DT_CALCRECT).Paint(measured, text);
    int mw = measured.right - measured.left, mh = measured.bottom - measured.top;
    if (singleLine_ && (flags_ & DT_CENTER)) {
      area.left += (area.right - area.left - mw) / 2;
      area.right = area.left + mw;
    } else if (singleLine_ && (flags_ & DT_RIGHT)) {
      area.left = area.right - mw;
    }
    if (flags_ & DT_VCENTER) {
      area.top += (area.bottom - area.top - mh) / 2;
      area.bottom = area.top + mh;
    } else if (flags_ & DT_BOTTOM) {
      area.top = area.bottom - mh;
    }
  }
  int used = Layout(area, text);
  RestoreDC(dc_, saved);
  return used;
}

// Lays the text out line by line. When painting, each line is run twice from the same
// state: a measuring run settles its height and width, the painting run draws it.
int CMarkupTextPainter::Layout(RECT& rect, LPCWSTR text) {
  rc_ = rect;
  State s;
  s.p = text;
  s.fonts.push_back(host_->GetDefaultFontInfo() ? host_->GetDefaultFontInfo()->font : host_->GetFontHandle(-1));
  s.colors.push_back(color_);
  int y = rc_.top, widest = 0;
  while (*s.p) {
    if (!measureOnly_ && y >= rc_.bottom) break;
    State start = s;
    LineResult measured = RunLine(s, {rc_.left, y, 0, 0, false, false});
    if (!measureOnly_) {
      int free = (rc_.right - rc_.left) - measured.width;
      int shift = singleLine_ ? 0 : (flags_ & DT_CENTER) ? free / 2 : (flags_ & DT_RIGHT) ? free : 0;
      s = start;
      RunLine(s, {rc_.left, y, measured.height, shift, true, false});
    }
    widest = std::max(widest, measured.width);
    y += measured.height;
    if (measured.stop || s.p == start.p) break;
  }
  if (measureOnly_) {
    rect.right = std::min<LONG>(rect.right, rc_.left + widest);
    rect.bottom = std::max(y, imageBottom_);
  }
  return s.linksUsed;
}

int CMarkupTextPainter::LineStartHeight(State& s) {
  const TEXTMETRICW& tm = Metrics(s.fonts.back());
  return (s.paragraphs.empty() ? 0 : s.paragraphs.back()) + tm.tmHeight + tm.tmExternalLeading;
}

CMarkupTextPainter::LineResult CMarkupTextPainter::RunLine(State& s, Line line) {
  if (!line.paint) line.height = LineStartHeight(s);
  if (s.linkStart >= 0) s.linkStart = rc_.left;  // a link that wrapped continues here
  while (*s.p && !line.ended && line.x < rc_.right) {
    if (*s.p == L'\n') {
      ++s.p;
      if (singleLine_) continue;
      break;
    }
    if (s.raw && IsRawEnd(s.p)) {
      s.raw = false;
      s.p += 4;
      continue;
    }
    if (!s.raw) {
      if (wchar_t literal = LiteralBracket(s.p)) {
        if (DrawText(s, &literal, 1, line) == 1) s.p += 3;
        continue;
      }
      if (IsTag(s.p)) {
        if (!HandleTag(s, line)) break;
        continue;
      }
    }
    // A run: a blank alone, or the text up to the next bracket, blank or line feed.
    int length = 1;
    if (*s.p != L' ') {
      while (s.p[length] && s.p[length] != L' ' && s.p[length] != L'\n' && !IsOpen(s.p[length])) ++length;
    }
    s.p += DrawText(s, s.p, length, line);
  }
  if (s.linkStart >= 0) RecordLink(s, line);
  LineResult result;
  result.height = line.height;
  result.width = line.x - rc_.left;
  result.stop = singleLine_ || !*s.p;
  return result;
}

// Measures (and when painting, draws) up to length characters at the line's position and
// returns how many were taken. A run that passes the right edge is cut: by character, or
// after the last character that is not an ASCII letter with word break, or with "..."
// after it with end ellipsis; the line then ends.
int CMarkupTextPainter::DrawText(State& s, const wchar_t* text, int length, Line& line) {
  HFONT font = s.fonts.back();
  const TEXTMETRICW tm = Metrics(font);
  if (!line.paint) line.height = std::max(line.height, LineStartHeight(s));
  int avail = rc_.right - line.x;
  int n = length;
  int width = TextWidth(font, text, n);
  bool ellipsis = false;
  int dots = 0;
  if (width > avail) {
    int low = 0, high = length;
    while (low < high) {
      int mid = (low + high + 1) / 2;
      if (TextWidth(font, text, mid) <= avail) {
        low = mid;
      } else {
        high = mid - 1;
      }
    }
    n = low;
    if ((flags_ & DT_WORDBREAK) && n < length) {
      int cut = n;
      while (cut > 0 && IsAsciiLetter(text[cut - 1])) --cut;
      if (cut > 0) {
        n = cut;
      } else if (line.x > rc_.left) {
        n = 0;  // the word moves to the next line
      }
    }
    if (flags_ & DT_END_ELLIPSIS) {
      ellipsis = true;
      dots = TextWidth(font, L"...", 3);
      while (n > 0 && TextWidth(font, text, n) + dots > avail) --n;
    }
    if (n == 0 && line.x == rc_.left && !ellipsis) n = 1;  // always progress at the left edge
    width = TextWidth(font, text, n);
    line.ended = true;
  }
  if (line.paint && (n > 0 || ellipsis)) {
    HGDIOBJ old = SelectObject(dc_, font);
    SetTextColor(dc_, CDrawEngine::ToColorRef(s.colors.back()));
    SetBkMode(dc_, s.selected ? OPAQUE : TRANSPARENT);
    int top = line.y + line.height - tm.tmHeight;
    TextOutW(dc_, line.x + line.shift, top, text, n);
    if (ellipsis) TextOutW(dc_, line.x + line.shift + width, top, L"...", 3);
    SelectObject(dc_, old);
  }
  line.x += width + dots;
  return n;
}

void CMarkupTextPainter::PushFont(State& s, HFONT font, Line& line) {
  s.fonts.push_back(font);
  if (!line.paint) line.height = std::max(line.height, LineStartHeight(s));
}

// Restores the previous font; leaving italic text adds half a blank, as italics lean right.
void CMarkupTextPainter::PopFont(State& s, Line& line) {
  if (s.fonts.size() <= 1) return;
  HFONT left = s.fonts.back();
  s.fonts.pop_back();
  if (Metrics(left).tmItalic && !Metrics(s.fonts.back()).tmItalic) line.x += TextWidth(s.fonts.back(), L" ", 1) / 2;
}

void CMarkupTextPainter::RecordLink(State& s, const Line& line) {
  if (s.linkStart < 0 || s.linksUsed >= linkCapacity_) return;
  const TEXTMETRICW& tm = Metrics(s.fonts.back());
  int top = line.y + line.height - tm.tmHeight;
  linkRects_[s.linksUsed] = {s.linkStart + line.shift, top, line.x + line.shift, top + tm.tmHeight};
  linkTexts_[s.linksUsed] = s.linkText;
  ++s.linksUsed;
}

// Applies the tag at s.p and steps past it; false leaves it for the next line.
bool CMarkupTextPainter::HandleTag(State& s, Line& line) {
  bool closing = s.p[1] == L'/';
  wchar_t tag = closing ? s.p[2] : s.p[1];
  const wchar_t* v = s.p + (closing ? 3 : 2);
  while (*v == L' ') ++v;
  const wchar_t* end = v;
  while (*end && !IsClose(*end)) ++end;
  std::wstring value(v, end);
  const wchar_t* next = *end ? end + 1 : end;
  switch (tag) {
    case L'p':
      if (closing) {
        // The paragraph ends: its spacing goes, and so does the line.
        if (!s.paragraphs.empty()) s.paragraphs.pop_back();
        if (line.x > rc_.left) line.ended = true;
      } else if (line.x > rc_.left) {
        line.ended = true;  // a paragraph starts on a new line
        return false;
      } else {
        s.paragraphs.push_back(ToInt(value));
        if (!line.paint) line.height = std::max(line.height, LineStartHeight(s));
      }
      break;
    case L'n':
      if (!closing && !singleLine_) line.ended = true;
      break;
    case L'b':
    case L'u':
      if (closing) {
        PopFont(s, line);
      } else {
        PushFont(s, tag == L'b' ? DeriveFont(s.fonts.back(), 1, -1, -1) : DeriveFont(s.fonts.back(), -1, 1, -1), line);
      }
      break;
    case L'i':
      if (closing) {
        PopFont(s, line);
      } else if (value.empty()) {
        PushFont(s, DeriveFont(s.fonts.back(), -1, -1, 1), line);
      } else if (!HandleImage(value, line)) {
        return false;
      }
      break;
    case L'c':
      if (closing) {
        if (s.colors.size() > 1) s.colors.pop_back();
      } else {
        const wchar_t* hex = value.c_str();
        if (*hex == L'#') ++hex;
        s.colors.push_back(static_cast<DWORD>(std::wcstoul(hex, nullptr, 16)));
      }
      break;
    case L'f':
      if (closing) {
        PopFont(s, line);
      } else if (!value.empty() && value[0] >= L'0' && value[0] <= L'9') {
        PushFont(s, host_->GetFontHandle(ToInt(value)), line);
      } else {
        // <f name size style...>: style words anywhere in the rest of the tag.
        size_t blank = value.find(L' ');
        std::wstring face = value.substr(0, blank);
        std::wstring rest = blank == std::wstring::npos ? std::wstring() : value.substr(blank + 1);
        int size = rest.empty() ? 0 : ToInt(rest);
        if (size <= 0) size = 10;
        bool bold = rest.find(L"bold") != std::wstring::npos;
        bool underline = rest.find(L"underline") != std::wstring::npos;
        bool italic = rest.find(L"italic") != std::wstring::npos;
        HFONT font = host_->FindSkinFont(face.c_str(), size, bold, underline, italic);
        if (!font) font = host_->AddSkinFont(face.c_str(), size, bold, underline, italic);
        PushFont(s, font ? font : s.fonts.back(), line);
      }
      break;
    case L'a':
      if (closing) {
        if (s.linkStart >= 0) {
          RecordLink(s, line);
          s.linkStart = -1;
          PopFont(s, line);
          if (s.colors.size() > 1) s.colors.pop_back();
        }
      } else if (s.linkStart < 0) {
        s.linkText = value;
        s.linkStart = line.x;
        s.colors.push_back(line.paint && IsHovered(s, value) ? host_->GetLinkHoverTextColor()
                                                             : host_->GetLinkTextColor());
        PushFont(s, DeriveFont(s.fonts.back(), -1, 1, -1), line);
      }
      break;
    case L'r':
      if (!closing) s.raw = true;
      break;
    case L's':
      s.selected = !s.selected;
      break;
    case L'x':
      if (!closing) line.x += ToInt(value);
      break;
    case L'y':
      if (!closing && !line.paint) line.height = ToInt(value);
      break;
    default:
      break;
  }
  s.p = next;
  return true;
}

// <i name count index>, or <i file='name' restype='type' count index>: frame index of an
// image split into count frames side by side.
bool CMarkupTextPainter::HandleImage(const std::wstring& value, Line& line) {
  std::wstring name, type, numbers;
  if (value.find(L"file='") != std::wstring::npos || value.find(L"res='") != std::wstring::npos) {
    name = QuotedValue(value, L"file='");
    if (name.empty()) name = QuotedValue(value, L"res='");
    type = QuotedValue(value, L"restype='");
    numbers = value.substr(value.rfind(L'\'') + 1);
  } else {
    size_t blank = value.find(L' ');
    name = value.substr(0, blank);
    numbers = blank == std::wstring::npos ? std::wstring() : value.substr(blank + 1);
  }
  const SkinImageRecord* image = host_->GetSkinImage(name.c_str(), type.empty() ? nullptr : type.c_str(), 0);
  if (!image || !image->bitmap) return true;
  wchar_t* after = nullptr;
  int count = static_cast<int>(std::wcstol(numbers.c_str(), &after, 10));
  int index = static_cast<int>(std::wcstol(after, nullptr, 10));
  if (count < 1) count = 1;
  if (index < 0 || index >= count) index = 0;
  int frameWidth = image->width / count;
  if (line.x + frameWidth > rc_.right && line.x > rc_.left && !singleLine_) {
    line.ended = true;
    return false;
  }
  if (!line.paint) {
    line.height = std::max(line.height, image->height);
    imageBottom_ = std::max(imageBottom_, static_cast<int>(line.y + image->height));
  } else {
    int top = image->height < line.height ? line.y + (line.height - image->height) / 2
                                          : line.y + line.height - image->height;
    RECT dest = {line.x + line.shift, top, line.x + line.shift + frameWidth, top + image->height};
    RECT source = {index * frameWidth, 0, (index + 1) * frameWidth, image->height};
    CDrawEngine::PaintNineGrid(dc_, image->bitmap, dest, rc_, source, {0, 0, 0, 0}, image->hasAlpha, 255, false, false,
                               false);
  }
  line.x += frameWidth;
  return true;
}

void CDrawEngine::PaintMarkupText(HDC dc, IDrawHost* host, RECT& rect, LPCWSTR text, DWORD color, RECT* linkRects,
                                  std::wstring* linkTexts, int& linkCount, UINT flags) {
  CMarkupTextPainter painter(dc, host, color, linkRects, linkTexts, linkCount, flags);
  int used = painter.Paint(rect, text);
  // Without text, host or room nothing is laid out and the caller's links stay as they are.
  if (!(flags & DT_CALCRECT) && dc && host && text && !IsRectEmpty(&rect)) linkCount = used;
}

}  // namespace SkinUI
