// Pens, brushes, lines, rectangles, rounded rectangles and the DC's colour settings.
// Shapes are not anti-aliased and fill opaquely, as GDI draws them; solid axis-aligned
// pieces are filled as exact pixel rectangles.
#include <algorithm>
#include <cmath>

#include "internal/gdi.h"

namespace kvplat {

namespace {

void FillBox(cairo_t* cr, COLORREF color, double x, double y, double w, double h) {
  if (w <= 0 || h <= 0) return;
  SetSourceColor(cr, color);
  cairo_rectangle(cr, x, y, w, h);
  cairo_fill(cr);
}

cairo_t* BeginShapes(const GdiDC& dc) {
  cairo_t* cr = BeginDrawing(dc);
  if (!cr) return nullptr;
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_antialias(cr, CAIRO_ANTIALIAS_NONE);
  return cr;
}

void ApplyPenStyle(cairo_t* cr, const GdiPen& pen) {
  static const double kDash[] = {18, 6};
  static const double kDot[] = {3, 3};
  static const double kDashDot[] = {9, 6, 3, 6};
  static const double kDashDotDot[] = {9, 3, 3, 3, 3, 3};
  cairo_set_line_width(cr, std::max(1, pen.width));
  cairo_set_line_cap(cr, CAIRO_LINE_CAP_BUTT);
  SetSourceColor(cr, pen.color);
  // Styled pens are cosmetic: wider pens draw solid.
  if (pen.width > 1) return;
  switch (pen.style) {
    case PS_DASH: cairo_set_dash(cr, kDash, 2, 0); break;
    case PS_DOT: cairo_set_dash(cr, kDot, 2, 0); break;
    case PS_DASHDOT: cairo_set_dash(cr, kDashDot, 4, 0); break;
    case PS_DASHDOTDOT: cairo_set_dash(cr, kDashDotDot, 6, 0); break;
    default: break;
  }
}

bool IsSolid(const GdiPen& pen) { return pen.style == PS_SOLID || pen.style == PS_INSIDEFRAME || pen.width > 1; }

// A rounded rectangle path with elliptic corners of the given full width and height.
void RoundedPath(cairo_t* cr, double x, double y, double w, double h, double ew, double eh) {
  double rx = std::min(ew / 2, w / 2), ry = std::min(eh / 2, h / 2);
  if (rx <= 0 || ry <= 0) {
    cairo_rectangle(cr, x, y, w, h);
    return;
  }
  cairo_new_sub_path(cr);
  const double corners[4][3] = {{x + w - rx, y + ry, -M_PI / 2}, {x + w - rx, y + h - ry, 0},
                                {x + rx, y + h - ry, M_PI / 2}, {x + rx, y + ry, M_PI}};
  for (const auto& c : corners) {
    cairo_save(cr);
    cairo_translate(cr, c[0], c[1]);
    cairo_scale(cr, rx, ry);
    cairo_arc(cr, 0, 0, 1, c[2], c[2] + M_PI / 2);
    cairo_restore(cr);
  }
  cairo_close_path(cr);
}

}  // namespace

}  // namespace kvplat

using namespace kvplat;

HPEN CreatePen(int style, int width, COLORREF color) {
  if (style < PS_SOLID || style > PS_INSIDEFRAME) return nullptr;
  auto pen = std::make_shared<GdiPen>();
  pen->style = style;
  pen->width = std::max(1, width);
  pen->color = color & 0xFFFFFF;
  return static_cast<HPEN>(RegisterGdiObject(pen));
}

HPEN CreatePenIndirect(const LOGPEN* pen) {
  if (!pen) return nullptr;
  return CreatePen(static_cast<int>(pen->lopnStyle), pen->lopnWidth.x, pen->lopnColor);
}

HBRUSH CreateSolidBrush(COLORREF color) {
  auto brush = std::make_shared<GdiBrush>();
  brush->color = color & 0xFFFFFF;
  return static_cast<HBRUSH>(RegisterGdiObject(brush));
}

BOOL MoveToEx(HDC dc, int x, int y, LPPOINT previous) {
  auto target = LookupDC(dc);
  if (!target) return FALSE;
  if (previous) *previous = target->state.position;
  target->state.position = {x, y};
  return TRUE;
}

// Draws from the current position up to, not including, the end point.
BOOL LineTo(HDC dc, int x, int y) {
  auto target = LookupDC(dc);
  if (!target) return FALSE;
  POINT from = target->state.position;
  target->state.position = {x, y};
  const GdiPen& pen = *target->state.pen;
  if (pen.style == PS_NULL) return TRUE;
  cairo_t* cr = BeginShapes(*target);
  if (!cr) return FALSE;
  int w = pen.width;
  if (IsSolid(pen) && (from.y == y || from.x == x)) {
    if (from.y == y) {
      int left = from.x <= x ? from.x : x + 1, right = from.x <= x ? x : from.x + 1;
      FillBox(cr, pen.color, left, y - (w - 1) / 2, right - left, w);
    } else {
      int top = from.y <= y ? from.y : y + 1, bottom = from.y <= y ? y : from.y + 1;
      FillBox(cr, pen.color, x - (w - 1) / 2, top, w, bottom - top);
    }
  } else {
    ApplyPenStyle(cr, pen);
    cairo_move_to(cr, from.x + 0.5, from.y + 0.5);
    cairo_line_to(cr, x + 0.5, y + 0.5);
    cairo_stroke(cr);
  }
  FinishDrawing(cr);
  return TRUE;
}

BOOL Rectangle(HDC dc, int left, int top, int right, int bottom) {
  auto target = LookupDC(dc);
  if (!target) return FALSE;
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  cairo_t* cr = BeginShapes(*target);
  if (!cr) return FALSE;
  const GdiPen& pen = *target->state.pen;
  const GdiBrush& brush = *target->state.brush;
  bool nullPen = pen.style == PS_NULL;
  // Without a pen the filled area is one pixel smaller, as in GDI.
  int shrink = nullPen ? 1 : 0;
  if (!brush.hollow) FillBox(cr, brush.color, left, top, right - left - shrink, bottom - top - shrink);
  if (!nullPen) {
    int w = pen.width;
    int grow = pen.style == PS_INSIDEFRAME ? 0 : (w - 1) / 2;
    double l = left - grow, t = top - grow, r = right + grow, b = bottom + grow;
    if (IsSolid(pen)) {
      FillBox(cr, pen.color, l, t, r - l, std::min<double>(w, b - t));
      FillBox(cr, pen.color, l, b - w, r - l, std::min<double>(w, b - t));
      FillBox(cr, pen.color, l, t + w, std::min<double>(w, r - l), b - t - 2 * w);
      FillBox(cr, pen.color, r - w, t + w, std::min<double>(w, r - l), b - t - 2 * w);
    } else {
      ApplyPenStyle(cr, pen);
      cairo_rectangle(cr, l + 0.5, t + 0.5, r - l - 1, b - t - 1);
      cairo_stroke(cr);
    }
  }
  FinishDrawing(cr);
  return TRUE;
}

BOOL RoundRect(HDC dc, int left, int top, int right, int bottom, int width, int height) {
  auto target = LookupDC(dc);
  if (!target) return FALSE;
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  cairo_t* cr = BeginShapes(*target);
  if (!cr) return FALSE;
  const GdiPen& pen = *target->state.pen;
  const GdiBrush& brush = *target->state.brush;
  double w = right - left, h = bottom - top;
  if (!brush.hollow) {
    SetSourceColor(cr, brush.color);
    RoundedPath(cr, left, top, w, h, width, height);
    cairo_fill(cr);
  }
  if (pen.style != PS_NULL) {
    // The pen runs inside the shape: its outer edge is the shape's edge.
    double pw = pen.width, half = pw / 2;
    ApplyPenStyle(cr, pen);
    RoundedPath(cr, left + half, top + half, w - pw, h - pw, width - pw, height - pw);
    cairo_stroke(cr);
  }
  FinishDrawing(cr);
  return TRUE;
}

int FillRect(HDC dc, const RECT* rect, HBRUSH brush) {
  auto target = LookupDC(dc);
  auto fill = LookupGdi<GdiBrush>(brush, GdiKind::Brush);
  if (!target || !rect || !fill) return 0;
  if (fill->hollow) return 1;
  cairo_t* cr = BeginShapes(*target);
  if (!cr) return 0;
  FillBox(cr, fill->color, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top);
  FinishDrawing(cr);
  return 1;
}

COLORREF SetTextColor(HDC dc, COLORREF color) {
  auto target = LookupDC(dc);
  if (!target) return CLR_INVALID;
  COLORREF previous = target->state.textColor;
  target->state.textColor = color & 0xFFFFFF;
  return previous;
}

COLORREF GetTextColor(HDC dc) {
  auto target = LookupDC(dc);
  return target ? target->state.textColor : CLR_INVALID;
}

COLORREF SetBkColor(HDC dc, COLORREF color) {
  auto target = LookupDC(dc);
  if (!target) return CLR_INVALID;
  COLORREF previous = target->state.bkColor;
  target->state.bkColor = color & 0xFFFFFF;
  return previous;
}

COLORREF GetBkColor(HDC dc) {
  auto target = LookupDC(dc);
  return target ? target->state.bkColor : CLR_INVALID;
}

int SetBkMode(HDC dc, int mode) {
  auto target = LookupDC(dc);
  if (!target || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  int previous = target->state.bkMode;
  target->state.bkMode = mode;
  return previous;
}

int GetBkMode(HDC dc) {
  auto target = LookupDC(dc);
  return target ? target->state.bkMode : 0;
}
