// Text output and measurement with Pango. Lines are laid out by Pango and placed on the
// GDI line grid: each line is one cell high (ascent + descent of the selected font) with
// its baseline at the ascent, so measurements agree with GetTextMetricsW.
#include <algorithm>
#include <string>
#include <vector>

#include "internal/text.h"
#include "internal/utf.h"

namespace kvplat {

namespace {

std::wstring_view TextView(LPCWSTR text, int count) {
  if (!text) return {};
  if (count < 0) return std::wstring_view(text);
  return std::wstring_view(text, static_cast<size_t>(count));
}

// Removes '&' prefix marks ("&&" is a literal ampersand) and reports the character that
// follows the last single mark, which GDI underlines.
std::wstring StripPrefixes(std::wstring_view text, int* underlined) {
  std::wstring out;
  *underlined = -1;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'&' && i + 1 < text.size()) {
      ++i;
      if (text[i] != L'&') *underlined = static_cast<int>(out.size());
    } else if (text[i] == L'&') {
      continue;
    }
    out += text[i];
  }
  return out;
}

// A layout of the text in the font, with the font's underline and strike-out.
PangoLayout* MakeLayout(GdiFont& font, std::wstring_view text, int underlinedChar = -1) {
  PangoLayout* layout = pango_layout_new(TextContext());
  pango_layout_set_font_description(layout, font.description);
  std::string utf8 = WideToUtf8(text);
  pango_layout_set_text(layout, utf8.data(), static_cast<int>(utf8.size()));
  PangoAttrList* attrs = pango_attr_list_new();
  if (font.logFont.lfUnderline) pango_attr_list_insert(attrs, pango_attr_underline_new(PANGO_UNDERLINE_SINGLE));
  if (font.logFont.lfStrikeOut) pango_attr_list_insert(attrs, pango_attr_strikethrough_new(TRUE));
  if (underlinedChar >= 0 && underlinedChar < static_cast<int>(text.size())) {
    PangoAttribute* a = pango_attr_underline_new(PANGO_UNDERLINE_SINGLE);
    a->start_index = static_cast<guint>(WideToUtf8(text.substr(0, underlinedChar)).size());
    a->end_index = static_cast<guint>(a->start_index + WideToUtf8(text.substr(underlinedChar, 1)).size());
    pango_attr_list_insert(attrs, a);
  }
  pango_layout_set_attributes(layout, attrs);
  pango_attr_list_unref(attrs);
  return layout;
}

int LineWidth(PangoLayoutLine* line) {
  PangoRectangle logical;
  pango_layout_line_get_pixel_extents(line, nullptr, &logical);
  return logical.width;
}

// Draws one laid-out line with its top-left corner at (x, y).
void ShowLine(cairo_t* cr, const GdiDC& dc, GdiFont& font, PangoLayoutLine* line, double x, double y, bool opaque) {
  const TEXTMETRICW& tm = FontMetrics(font);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  if (opaque) {
    SetSourceColor(cr, dc.state.bkColor);
    cairo_rectangle(cr, x, y, LineWidth(line), tm.tmHeight);
    cairo_fill(cr);
  }
  SetSourceColor(cr, dc.state.textColor);
  cairo_move_to(cr, x, y + tm.tmAscent);
  pango_cairo_show_layout_line(cr, line);
}

// Draws a single-line text at (x, y), the way TextOutW and ExtTextOutW place it.
void ShowText(cairo_t* cr, const GdiDC& dc, std::wstring_view text) {
  GdiFont& font = *dc.state.font;
  PangoLayout* layout = MakeLayout(font, text);
  pango_layout_set_single_paragraph_mode(layout, TRUE);
  PangoLayoutLine* line = pango_layout_get_line_readonly(layout, 0);
  if (line) ShowLine(cr, dc, font, line, 0, 0, dc.state.bkMode == OPAQUE);
  g_object_unref(layout);
}

}  // namespace

}  // namespace kvplat

using namespace kvplat;

BOOL GetTextMetricsW(HDC dc, LPTEXTMETRICW metrics) {
  auto target = LookupDC(dc);
  if (!target || !metrics) return FALSE;
  std::lock_guard<std::recursive_mutex> lock(TextLock());
  *metrics = FontMetrics(*target->state.font);
  return TRUE;
}

BOOL GetTextExtentPoint32W(HDC dc, LPCWSTR text, int count, LPSIZE size) {
  auto target = LookupDC(dc);
  if (!target || !size || count < 0 || (!text && count > 0)) return FALSE;
  std::lock_guard<std::recursive_mutex> lock(TextLock());
  GdiFont& font = *target->state.font;
  PangoLayout* layout = MakeLayout(font, TextView(text, count));
  pango_layout_set_single_paragraph_mode(layout, TRUE);
  int width = 0;
  pango_layout_get_pixel_size(layout, &width, nullptr);
  g_object_unref(layout);
  size->cx = count == 0 ? 0 : width;
  size->cy = FontMetrics(font).tmHeight;
  return TRUE;
}

// A = left bearing, B = inked width, C = right bearing; characters without ink (blanks)
// are all B.
BOOL GetCharABCWidthsW(HDC dc, UINT first, UINT last, LPABC widths) {
  auto target = LookupDC(dc);
  if (!target || !widths || last < first) return FALSE;
  std::lock_guard<std::recursive_mutex> lock(TextLock());
  GdiFont& font = *target->state.font;
  for (UINT c = first; c <= last; ++c) {
    WCHAR ch = static_cast<WCHAR>(c);
    PangoLayout* layout = MakeLayout(font, std::wstring_view(&ch, 1));
    PangoRectangle ink, logical;
    pango_layout_get_pixel_extents(layout, &ink, &logical);
    g_object_unref(layout);
    ABC& abc = widths[c - first];
    if (ink.width <= 0) {
      abc = {0, static_cast<UINT>(logical.width), 0};
    } else {
      abc = {ink.x, static_cast<UINT>(ink.width), logical.width - ink.x - ink.width};
    }
  }
  return TRUE;
}

BOOL TextOutW(HDC dc, int x, int y, LPCWSTR text, int count) {
  auto target = LookupDC(dc);
  if (!target || count < 0 || (!text && count > 0)) return FALSE;
  std::lock_guard<std::recursive_mutex> lock(TextLock());
  cairo_t* cr = BeginDrawing(*target);
  if (!cr) return FALSE;
  cairo_translate(cr, x, y);
  ShowText(cr, *target, TextView(text, count));
  FinishDrawing(cr);
  return TRUE;
}

// ETO_OPAQUE fills the rectangle with the background colour first; ETO_CLIPPED clips the
// text to it. Per-character advances (dx) are not applied.
BOOL ExtTextOutW(HDC dc, int x, int y, UINT options, const RECT* rect, LPCWSTR text, UINT count, const INT*) {
  auto target = LookupDC(dc);
  if (!target || (!text && count > 0)) return FALSE;
  std::lock_guard<std::recursive_mutex> lock(TextLock());
  cairo_t* cr = BeginDrawing(*target);
  if (!cr) return FALSE;
  if (rect && (options & ETO_OPAQUE)) {
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    SetSourceColor(cr, target->state.bkColor);
    cairo_rectangle(cr, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
    cairo_fill(cr);
  }
  if (rect && (options & ETO_CLIPPED)) {
    cairo_rectangle(cr, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
    cairo_clip(cr);
  }
  if (count > 0) {
    cairo_translate(cr, x, y);
    ShowText(cr, *target, std::wstring_view(text, count));
  }
  FinishDrawing(cr);
  return TRUE;
}

// DrawTextW. Single line: one Pango paragraph, line feeds dropped. Word break: Pango wraps
// at word boundaries within the rectangle's width. Otherwise lines end only at line feeds.
// End ellipsis: Pango ellipsizes at the end of each line that does not fit (with word
// break, the last line that fits the rectangle's height). Horizontal alignment is applied
// per line; vertical centre and bottom apply to single-line text, as in GDI.
int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format) {
  auto target = LookupDC(dc);
  if (!target || !rect || !text) return 0;
  std::lock_guard<std::recursive_mutex> lock(TextLock());
  GdiFont& font = *target->state.font;
  const TEXTMETRICW& tm = FontMetrics(font);
  std::wstring_view view = TextView(text, count);
  int underlined = -1;
  std::wstring content = (format & DT_NOPREFIX) ? std::wstring(view) : StripPrefixes(view, &underlined);
  bool single = (format & DT_SINGLELINE) != 0;
  if (single) std::erase_if(content, [](wchar_t c) { return c == L'\r' || c == L'\n'; });
  std::erase(content, L'\r');
  int width = rect->right - rect->left;
  if (content.empty()) {
    if (format & DT_CALCRECT) rect->right = rect->left, rect->bottom = rect->top;
    return 0;
  }
  PangoLayout* layout = MakeLayout(font, content, underlined);
  pango_layout_set_single_paragraph_mode(layout, single);
  bool wrap = !single && (format & DT_WORDBREAK) && width > 0;
  if (wrap) {
    pango_layout_set_width(layout, width * PANGO_SCALE);
    pango_layout_set_wrap(layout, PANGO_WRAP_WORD);
  }
  if ((format & DT_END_ELLIPSIS) && !(format & DT_CALCRECT) && width > 0) {
    pango_layout_set_width(layout, width * PANGO_SCALE);
    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
    if (wrap) pango_layout_set_height(layout, std::max(tm.tmHeight, int(rect->bottom - rect->top)) * PANGO_SCALE);
  }
  int lines = pango_layout_get_line_count(layout);
  int height = lines * tm.tmHeight;
  int top = rect->top;
  if (single && (format & DT_VCENTER)) top = rect->top + (rect->bottom - rect->top - tm.tmHeight) / 2;
  if (single && (format & DT_BOTTOM)) top = rect->bottom - tm.tmHeight;
  if (format & DT_CALCRECT) {
    int widest = 0;
    for (int i = 0; i < lines; ++i) widest = std::max(widest, LineWidth(pango_layout_get_line_readonly(layout, i)));
    rect->right = rect->left + widest;
    rect->bottom = rect->top + height;
    g_object_unref(layout);
    return height;
  }
  cairo_t* cr = BeginDrawing(*target);
  if (cr) {
    if (!(format & DT_NOCLIP)) {
      cairo_rectangle(cr, rect->left, rect->top, width, rect->bottom - rect->top);
      cairo_clip(cr);
    }
    for (int i = 0; i < lines; ++i) {
      PangoLayoutLine* line = pango_layout_get_line_readonly(layout, i);
      int lineWidth = LineWidth(line);
      int x = rect->left;
      if (format & DT_CENTER) x += (width - lineWidth) / 2;
      if (format & DT_RIGHT) x = rect->right - lineWidth;
      ShowLine(cr, *target, font, line, x, top + i * tm.tmHeight, target->state.bkMode == OPAQUE);
    }
    FinishDrawing(cr);
  }
  g_object_unref(layout);
  return (single && (format & (DT_VCENTER | DT_BOTTOM))) ? top - rect->top + tm.tmHeight : height;
}
