// Blits between device contexts: BitBlt, StretchBlt (halftone is Cairo's smooth filter),
// AlphaBlend (Cairo OVER with a constant opacity) and the rectangle gradient fill.
#include <algorithm>
#include <cmath>

#include "internal/gdi.h"

namespace kvplat {

namespace {

struct BlitArea {
  double x, y, w, h;
};

// A copy of the source rectangle, so that a blit within one surface reads what was there
// before it, and so that a source read without its alpha channel is opaque.
cairo_surface_t* CopyPiece(cairo_surface_t* source, int x, int y, int w, int h, bool opaque) {
  cairo_surface_t* piece = cairo_image_surface_create(opaque ? CAIRO_FORMAT_RGB24 : CAIRO_FORMAT_ARGB32, w, h);
  cairo_t* cr = cairo_create(piece);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(cr, source, -x, -y);
  cairo_paint(cr);
  cairo_destroy(cr);
  return piece;
}

// Draws the source rectangle (sx, sy, sw, sh) of src onto the destination rectangle of
// dst, scaling as needed. Negative sizes mirror, as in GDI.
bool Compose(GdiDC& dst, BlitArea to, GdiDC& src, int sx, int sy, int sw, int sh, cairo_operator_t op, double alpha,
             bool ignoreSourceAlpha) {
  cairo_surface_t* source = src.Surface();
  if (!source || !dst.Surface()) return false;
  if (to.w == 0 || to.h == 0 || sw == 0 || sh == 0) return true;
  bool flipX = (sw < 0) != (to.w < 0);
  bool flipY = (sh < 0) != (to.h < 0);
  if (sw < 0) sx += sw, sw = -sw;
  if (sh < 0) sy += sh, sh = -sh;
  if (to.w < 0) to.x += to.w, to.w = -to.w;
  if (to.h < 0) to.y += to.h, to.h = -to.h;
  double scaleX = to.w / sw;
  double scaleY = to.h / sh;
  cairo_surface_mark_dirty(source);
  // The source rectangle is read in place when it lies inside the source surface and
  // the source is another surface; otherwise from a copy.
  bool inside = sx >= 0 && sy >= 0 && sx + sw <= cairo_image_surface_get_width(source) &&
                sy + sh <= cairo_image_surface_get_height(source);
  cairo_surface_t* piece = inside && !ignoreSourceAlpha && source != dst.Surface()
                               ? cairo_surface_create_for_rectangle(source, sx, sy, sw, sh)
                               : CopyPiece(source, sx, sy, sw, sh, ignoreSourceAlpha);
  cairo_t* cr = BeginDrawing(dst);
  cairo_rectangle(cr, to.x, to.y, to.w, to.h);
  cairo_clip(cr);
  cairo_translate(cr, flipX ? to.x + to.w : to.x, flipY ? to.y + to.h : to.y);
  cairo_scale(cr, flipX ? -scaleX : scaleX, flipY ? -scaleY : scaleY);
  cairo_set_source_surface(cr, piece, 0, 0);
  cairo_pattern_t* pattern = cairo_get_source(cr);
  bool natural = scaleX == 1.0 && scaleY == 1.0;
  bool smooth = dst.state.stretchMode == HALFTONE && !natural;
  cairo_pattern_set_filter(pattern, smooth ? CAIRO_FILTER_GOOD : CAIRO_FILTER_NEAREST);
  // Edge pixels repeat outward instead of fading into transparency when scaled.
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  cairo_set_operator(cr, op);
  if (alpha < 1.0) {
    cairo_paint_with_alpha(cr, alpha);
  } else {
    cairo_paint(cr);
  }
  FinishDrawing(cr);
  cairo_surface_destroy(piece);
  return true;
}

}  // namespace

}  // namespace kvplat

using namespace kvplat;

BOOL BitBlt(HDC dest, int x, int y, int cx, int cy, HDC src, int x1, int y1, DWORD rop) {
  auto dst = LookupDC(dest);
  auto source = LookupDC(src);
  if (!dst || !source || rop != SRCCOPY) return FALSE;
  if (cx <= 0 || cy <= 0) return TRUE;
  return Compose(*dst, {double(x), double(y), double(cx), double(cy)}, *source, x1, y1, cx, cy, CAIRO_OPERATOR_SOURCE,
                 1.0, false);
}

BOOL StretchBlt(HDC dest, int xDest, int yDest, int wDest, int hDest, HDC src, int xSrc, int ySrc, int wSrc,
                int hSrc, DWORD rop) {
  auto dst = LookupDC(dest);
  auto source = LookupDC(src);
  if (!dst || !source || rop != SRCCOPY) return FALSE;
  return Compose(*dst, {double(xDest), double(yDest), double(wDest), double(hDest)}, *source, xSrc, ySrc, wSrc, hSrc,
                 CAIRO_OPERATOR_SOURCE, 1.0, false);
}

// As documented: sizes must not be negative and the source rectangle must lie inside the
// source surface, otherwise the call fails.
BOOL AlphaBlend(HDC dest, int xDest, int yDest, int wDest, int hDest, HDC src, int xSrc, int ySrc, int wSrc, int hSrc,
                BLENDFUNCTION blend) {
  auto dst = LookupDC(dest);
  auto source = LookupDC(src);
  if (!dst || !source || blend.BlendOp != AC_SRC_OVER) return FALSE;
  if (wDest < 0 || hDest < 0 || wSrc < 0 || hSrc < 0) return FALSE;
  cairo_surface_t* surface = source->Surface();
  if (!surface) return FALSE;
  if (xSrc < 0 || ySrc < 0 || xSrc + wSrc > cairo_image_surface_get_width(surface) ||
      ySrc + hSrc > cairo_image_surface_get_height(surface)) {
    return FALSE;
  }
  bool perPixel = (blend.AlphaFormat & AC_SRC_ALPHA) != 0;
  return Compose(*dst, {double(xDest), double(yDest), double(wDest), double(hDest)}, *source, xSrc, ySrc, wSrc, hSrc,
                 CAIRO_OPERATOR_OVER, blend.SourceConstantAlpha / 255.0, !perPixel);
}

// Rectangle meshes only. The first row (or column) takes the first vertex colour, the last
// one the second vertex colour.
BOOL GradientFill(HDC dc, PTRIVERTEX vertices, ULONG vertexCount, PVOID mesh, ULONG meshCount, ULONG mode) {
  auto target = LookupDC(dc);
  if (!target || !vertices || !mesh || mode > GRADIENT_FILL_RECT_V) return FALSE;
  auto* rects = static_cast<GRADIENT_RECT*>(mesh);
  cairo_t* cr = BeginDrawing(*target);
  if (!cr) return FALSE;
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  bool ok = true;
  for (ULONG i = 0; i < meshCount; ++i) {
    if (rects[i].UpperLeft >= vertexCount || rects[i].LowerRight >= vertexCount) {
      ok = false;
      break;
    }
    const TRIVERTEX& a = vertices[rects[i].UpperLeft];
    const TRIVERTEX& b = vertices[rects[i].LowerRight];
    double left = std::min(a.x, b.x), right = std::max(a.x, b.x);
    double top = std::min(a.y, b.y), bottom = std::max(a.y, b.y);
    if (right <= left || bottom <= top) continue;
    bool vertical = mode == GRADIENT_FILL_RECT_V;
    const TRIVERTEX& first = (vertical ? a.y <= b.y : a.x <= b.x) ? a : b;
    const TRIVERTEX& last = &first == &a ? b : a;
    cairo_pattern_t* pattern = vertical ? cairo_pattern_create_linear(0, top + 0.5, 0, std::max(top + 0.5, bottom - 0.5))
                                        : cairo_pattern_create_linear(left + 0.5, 0, std::max(left + 0.5, right - 0.5), 0);
    for (const TRIVERTEX* v : {&first, &last}) {
      cairo_pattern_add_color_stop_rgba(pattern, v == &first ? 0 : 1, (v->Red >> 8) / 255.0, (v->Green >> 8) / 255.0,
                                        (v->Blue >> 8) / 255.0, (v->Alpha >> 8) / 255.0);
    }
    cairo_set_source(cr, pattern);
    cairo_rectangle(cr, left, top, right - left, bottom - top);
    cairo_fill(cr);
    cairo_pattern_destroy(pattern);
  }
  FinishDrawing(cr);
  return ok ? TRUE : FALSE;
}
