// Regions as Cairo integer regions (unions of pixel rectangles), and DC clipping.
#include <algorithm>
#include <cmath>

#include "internal/gdi.h"

namespace kvplat {

namespace {

int RegionType(const cairo_region_t* region) {
  int n = cairo_region_num_rectangles(region);
  return n == 0 ? NULLREGION : n == 1 ? SIMPLEREGION : COMPLEXREGION;
}

HRGN NewRegion(cairo_region_t* region) {
  return static_cast<HRGN>(RegisterGdiObject(std::make_shared<GdiRegion>(region)));
}

cairo_rectangle_int_t Normalized(int left, int top, int right, int bottom) {
  if (right < left) std::swap(left, right);
  if (bottom < top) std::swap(top, bottom);
  return {left, top, right - left, bottom - top};
}

// The DC's clip region, or its whole surface when it has none.
cairo_region_t* EffectiveClip(const GdiDC& dc) {
  if (dc.state.clip) return cairo_region_copy(dc.state.clip);
  cairo_surface_t* surface = dc.Surface();
  cairo_rectangle_int_t all = {0, 0, surface ? cairo_image_surface_get_width(surface) : 1,
                               surface ? cairo_image_surface_get_height(surface) : 1};
  return cairo_region_create_rectangle(&all);
}

// Combines `other` into `result` as CombineRgn's mode says (RGN_COPY leaves it as is).
void Combine(cairo_region_t* result, const cairo_region_t* other, int mode) {
  switch (mode) {
    case RGN_AND: cairo_region_intersect(result, other); break;
    case RGN_OR: cairo_region_union(result, other); break;
    case RGN_XOR: cairo_region_xor(result, other); break;
    case RGN_DIFF: cairo_region_subtract(result, other); break;
    default: break;
  }
}

// The bounding box of a region into rect; returns the region's type.
int BoundingBox(const cairo_region_t* region, LPRECT rect) {
  cairo_rectangle_int_t box;
  cairo_region_get_extents(region, &box);
  *rect = {box.x, box.y, box.x + box.width, box.y + box.height};
  return RegionType(region);
}

}  // namespace

cairo_region_t* RegionOf(HRGN region) {
  auto object = LookupGdi<GdiRegion>(region, GdiKind::Region);
  return object ? object->region : nullptr;
}

}  // namespace kvplat

using namespace kvplat;

HRGN CreateRectRgn(int left, int top, int right, int bottom) {
  cairo_rectangle_int_t r = Normalized(left, top, right, bottom);
  return NewRegion(cairo_region_create_rectangle(&r));
}

HRGN CreateRectRgnIndirect(const RECT* rect) {
  if (!rect) return nullptr;
  return CreateRectRgn(rect->left, rect->top, rect->right, rect->bottom);
}

// Built row by row: each pixel row spans the rounded shape at the row's centre line.
HRGN CreateRoundRectRgn(int left, int top, int right, int bottom, int width, int height) {
  cairo_rectangle_int_t box = Normalized(left, top, right, bottom);
  double rx = std::min(width / 2.0, box.width / 2.0), ry = std::min(height / 2.0, box.height / 2.0);
  cairo_region_t* region = cairo_region_create();
  for (int row = 0; row < box.height; ++row) {
    double y = row + 0.5;
    double inset = 0;
    double dy = y < ry ? ry - y : (y > box.height - ry ? y - (box.height - ry) : 0);
    if (rx > 0 && ry > 0 && dy > 0) inset = rx - rx * std::sqrt(std::max(0.0, 1 - (dy / ry) * (dy / ry)));
    int cut = static_cast<int>(std::lround(inset));
    cairo_rectangle_int_t line = {box.x + cut, box.y + row, box.width - 2 * cut, 1};
    if (line.width > 0) cairo_region_union_rectangle(region, &line);
  }
  return NewRegion(region);
}

int CombineRgn(HRGN dest, HRGN src1, HRGN src2, int mode) {
  cairo_region_t* target = RegionOf(dest);
  cairo_region_t* a = RegionOf(src1);
  cairo_region_t* b = mode == RGN_COPY ? a : RegionOf(src2);
  if (!target || !a || !b || mode < RGN_AND || mode > RGN_COPY) return ERROR;
  cairo_region_t* result = cairo_region_copy(a);
  Combine(result, b, mode);
  auto object = LookupGdi<GdiRegion>(dest, GdiKind::Region);
  cairo_region_destroy(object->region);
  object->region = result;
  return RegionType(result);
}

int GetRgnBox(HRGN region, LPRECT rect) {
  cairo_region_t* r = RegionOf(region);
  if (!r || !rect) return ERROR;
  return BoundingBox(r, rect);
}

int GetClipBox(HDC dc, LPRECT rect) {
  auto target = LookupDC(dc);
  if (!target || !rect) return ERROR;
  cairo_region_t* clip = EffectiveClip(*target);
  int type = BoundingBox(clip, rect);
  cairo_region_destroy(clip);
  return type;
}

int ExtSelectClipRgn(HDC dc, HRGN region, int mode) {
  auto target = LookupDC(dc);
  if (!target) return ERROR;
  DcState& s = target->state;
  if (!region) {
    if (mode != RGN_COPY) return ERROR;
    if (s.clip) cairo_region_destroy(s.clip);
    s.clip = nullptr;
    return SIMPLEREGION;
  }
  cairo_region_t* r = RegionOf(region);
  if (!r || mode < RGN_AND || mode > RGN_COPY) return ERROR;
  cairo_region_t* result = mode == RGN_COPY ? cairo_region_copy(r) : EffectiveClip(*target);
  Combine(result, r, mode);
  if (s.clip) cairo_region_destroy(s.clip);
  s.clip = result;
  return RegionType(result);
}

int SelectClipRgn(HDC dc, HRGN region) { return ExtSelectClipRgn(dc, region, RGN_COPY); }
