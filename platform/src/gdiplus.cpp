// The GDI+ subset over Cairo: a graphics object on a device context, bitmaps copied from
// GDI bitmaps, paths of arcs and lines, texture brushes, and path filling.
#include <gdiplus.h>

#include <cmath>
#include <vector>

#include "internal/gdi.h"

namespace Gdiplus {

namespace {

class Graphics : public GpGraphics {
 public:
  HDC dc = nullptr;
  SmoothingMode smoothing = SmoothingModeDefault;
  PixelOffsetMode pixelOffset = PixelOffsetModeDefault;
};

class Bitmap : public GpBitmap {
 public:
  ~Bitmap() override { cairo_surface_destroy(surface); }
  cairo_surface_t* surface = nullptr;
};

struct Segment {
  enum Kind { Arc, Line, Close } kind;
  double x, y, w, h, a, b;  // arc: bounds and angles (degrees); line: x,y to w,h
};

class Path : public GpPath {
 public:
  FillMode fillMode = FillModeAlternate;
  std::vector<Segment> segments;
};

class Texture : public GpTexture {
 public:
  ~Texture() override { cairo_surface_destroy(surface); }
  cairo_surface_t* surface = nullptr;
  WrapMode wrap = WrapModeTile;
};

// The parameter of an ellipse point at the given true angle (GDI+ arc angles are true
// angles, measured clockwise from the x axis).
double EllipseParameter(double degrees, double rx, double ry) {
  double angle = degrees * M_PI / 180.0;
  return std::atan2(rx * std::sin(angle), ry * std::cos(angle));
}

void AddArc(cairo_t* cr, const Segment& s) {
  double rx = s.w / 2, ry = s.h / 2;
  if (rx <= 0 || ry <= 0) return;
  double t0 = EllipseParameter(s.a, rx, ry);
  double t1 = EllipseParameter(s.a + s.b, rx, ry);
  // Keep the sweep's direction and size across the atan2 wrap.
  if (s.b >= 0) {
    while (t1 < t0) t1 += 2 * M_PI;
    if (s.b >= 360) t1 = t0 + 2 * M_PI;
  } else {
    while (t1 > t0) t1 -= 2 * M_PI;
    if (s.b <= -360) t1 = t0 - 2 * M_PI;
  }
  cairo_save(cr);
  cairo_translate(cr, s.x + rx, s.y + ry);
  cairo_scale(cr, rx, ry);
  if (s.b >= 0) {
    cairo_arc(cr, 0, 0, 1, t0, t1);
  } else {
    cairo_arc_negative(cr, 0, 0, 1, t0, t1);
  }
  cairo_restore(cr);
}

}  // namespace

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput*) {
  if (!token || !input || input->GdiplusVersion != 1) return InvalidParameter;
  *token = 1;
  return Ok;
}

void GdiplusShutdown(ULONG_PTR) {}

namespace DllExports {

GpStatus WINGDIPAPI GdipCreateFromHDC(HDC dc, GpGraphics** graphics) {
  if (!graphics || !kvplat::LookupDC(dc)) return InvalidParameter;
  auto* g = new Graphics();
  g->dc = dc;
  *graphics = g;
  return Ok;
}

GpStatus WINGDIPAPI GdipDeleteGraphics(GpGraphics* graphics) {
  if (!graphics) return InvalidParameter;
  delete graphics;
  return Ok;
}

GpStatus WINGDIPAPI GdipSetSmoothingMode(GpGraphics* graphics, SmoothingMode mode) {
  if (!graphics) return InvalidParameter;
  static_cast<Graphics*>(graphics)->smoothing = mode;
  return Ok;
}

GpStatus WINGDIPAPI GdipSetPixelOffsetMode(GpGraphics* graphics, PixelOffsetMode mode) {
  if (!graphics) return InvalidParameter;
  static_cast<Graphics*>(graphics)->pixelOffset = mode;
  return Ok;
}

// As on Windows, a bitmap made from a GDI bitmap ignores the alpha channel (32bppRGB).
GpStatus WINGDIPAPI GdipCreateBitmapFromHBITMAP(HBITMAP bitmap, HPALETTE, GpBitmap** result) {
  auto source = kvplat::LookupGdi<kvplat::GdiBitmap>(bitmap, kvplat::GdiKind::Bitmap);
  if (!source || !result) return InvalidParameter;
  auto* b = new Bitmap();
  b->surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, source->width, source->height);
  cairo_surface_mark_dirty(source->surface);
  cairo_t* cr = cairo_create(b->surface);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_set_source_surface(cr, source->surface, 0, 0);
  cairo_paint(cr);
  cairo_destroy(cr);
  *result = b;
  return Ok;
}

GpStatus WINGDIPAPI GdipDisposeImage(GpImage* image) {
  if (!image) return InvalidParameter;
  delete image;
  return Ok;
}

GpStatus WINGDIPAPI GdipCreatePath(FillMode fillMode, GpPath** path) {
  if (!path) return InvalidParameter;
  auto* p = new Path();
  p->fillMode = fillMode;
  *path = p;
  return Ok;
}

GpStatus WINGDIPAPI GdipDeletePath(GpPath* path) {
  if (!path) return InvalidParameter;
  delete path;
  return Ok;
}

GpStatus WINGDIPAPI GdipAddPathArcI(GpPath* path, INT x, INT y, INT width, INT height, REAL startAngle,
                                    REAL sweepAngle) {
  if (!path) return InvalidParameter;
  static_cast<Path*>(path)->segments.push_back(
      {Segment::Arc, double(x), double(y), double(width), double(height), startAngle, sweepAngle});
  return Ok;
}

GpStatus WINGDIPAPI GdipAddPathLineI(GpPath* path, INT x1, INT y1, INT x2, INT y2) {
  if (!path) return InvalidParameter;
  static_cast<Path*>(path)->segments.push_back(
      {Segment::Line, double(x1), double(y1), double(x2), double(y2), 0, 0});
  return Ok;
}

GpStatus WINGDIPAPI GdipClosePathFigure(GpPath* path) {
  if (!path) return InvalidParameter;
  static_cast<Path*>(path)->segments.push_back({Segment::Close, 0, 0, 0, 0, 0, 0});
  return Ok;
}

GpStatus WINGDIPAPI GdipCreateTexture(GpImage* image, WrapMode wrapMode, GpTexture** texture) {
  auto* bitmap = dynamic_cast<Bitmap*>(image);
  if (!bitmap || !texture) return InvalidParameter;
  auto* t = new Texture();
  t->surface = cairo_surface_reference(bitmap->surface);
  t->wrap = wrapMode;
  *texture = t;
  return Ok;
}

GpStatus WINGDIPAPI GdipDeleteBrush(GpBrush* brush) {
  if (!brush) return InvalidParameter;
  delete brush;
  return Ok;
}

// Figures are filled as closed shapes; consecutive segments of a figure are joined by
// straight lines, as GDI+ joins them.
GpStatus WINGDIPAPI GdipFillPath(GpGraphics* graphics, GpBrush* brush, GpPath* path) {
  auto* g = static_cast<Graphics*>(graphics);
  auto* texture = dynamic_cast<Texture*>(brush);
  auto* p = static_cast<Path*>(path);
  if (!g || !texture || !p) return InvalidParameter;
  auto dc = kvplat::LookupDC(g->dc);
  if (!dc) return InvalidParameter;
  cairo_t* cr = kvplat::BeginDrawing(*dc);
  if (!cr) return GenericError;
  // Without the half-pixel offset, integer coordinates are pixel centres.
  if (g->pixelOffset != PixelOffsetModeHighQuality && g->pixelOffset != PixelOffsetModeHalf) {
    cairo_translate(cr, 0.5, 0.5);
  }
  bool smooth = g->smoothing == SmoothingModeAntiAlias || g->smoothing == SmoothingModeHighQuality;
  cairo_set_antialias(cr, smooth ? CAIRO_ANTIALIAS_GRAY : CAIRO_ANTIALIAS_NONE);
  cairo_set_fill_rule(cr, p->fillMode == FillModeWinding ? CAIRO_FILL_RULE_WINDING : CAIRO_FILL_RULE_EVEN_ODD);
  bool figureOpen = false;
  for (const Segment& s : p->segments) {
    switch (s.kind) {
      case Segment::Arc:
        if (!figureOpen) cairo_new_sub_path(cr);
        AddArc(cr, s);
        figureOpen = true;
        break;
      case Segment::Line:
        if (figureOpen) {
          cairo_line_to(cr, s.x, s.y);
        } else {
          cairo_move_to(cr, s.x, s.y);
        }
        cairo_line_to(cr, s.w, s.h);
        figureOpen = true;
        break;
      case Segment::Close:
        cairo_close_path(cr);
        figureOpen = false;
        break;
    }
  }
  cairo_close_path(cr);
  cairo_set_source_surface(cr, texture->surface, 0, 0);
  cairo_pattern_set_extend(cairo_get_source(cr),
                           texture->wrap == WrapModeClamp ? CAIRO_EXTEND_NONE : CAIRO_EXTEND_REPEAT);
  cairo_set_operator(cr, CAIRO_OPERATOR_OVER);
  cairo_fill(cr);
  kvplat::FinishDrawing(cr);
  return Ok;
}

}  // namespace DllExports

}  // namespace Gdiplus
