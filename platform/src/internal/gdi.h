// GDI objects over Cairo. Every HGDIOBJ and HDC names a GdiObject in one table; a device
// context draws on the Cairo image surface of the bitmap selected into it. Surfaces are
// CAIRO_FORMAT_ARGB32: premultiplied B,G,R,A bytes, rows top-down, stride = width * 4,
// which is the memory layout of a 32-bit top-down DIB section, so the DIB's bits pointer
// is the surface's data.
#pragma once

#include <cairo.h>
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

typedef struct _PangoFontDescription PangoFontDescription;

namespace kvplat {

enum class GdiKind { Bitmap, Brush, Pen, Font, Region, DC };

struct GdiObject {
  explicit GdiObject(GdiKind k) : kind(k) {}
  virtual ~GdiObject() = default;
  GdiKind kind;
  bool stock = false;
};

struct GdiBitmap : GdiObject {
  GdiBitmap(int width, int height);
  ~GdiBitmap() override;
  cairo_surface_t* surface = nullptr;
  int width = 0;
  int height = 0;
  bool dib = false;
};

struct GdiBrush : GdiObject {
  GdiBrush() : GdiObject(GdiKind::Brush) {}
  COLORREF color = 0;
  bool hollow = false;
};

struct GdiPen : GdiObject {
  GdiPen() : GdiObject(GdiKind::Pen) {}
  int style = PS_SOLID;
  int width = 1;
  COLORREF color = 0;
};

struct GdiFont : GdiObject {
  explicit GdiFont(const LOGFONTW& lf);
  ~GdiFont() override;
  LOGFONTW logFont;
  PangoFontDescription* description;
  bool metricsKnown = false;
  TEXTMETRICW metrics = {};
};
struct GdiRegion : GdiObject {
  GdiRegion();
  explicit GdiRegion(cairo_region_t* r);
  ~GdiRegion() override;
  cairo_region_t* region;
};

// The drawing state SaveDC keeps and RestoreDC brings back.
struct DcState {
  std::shared_ptr<GdiBitmap> bitmap;
  std::shared_ptr<GdiPen> pen;
  std::shared_ptr<GdiBrush> brush;
  std::shared_ptr<GdiFont> font;
  cairo_region_t* clip = nullptr;  // owned; null = no clip region
  COLORREF textColor = 0;
  COLORREF bkColor = 0xFFFFFF;
  int bkMode = OPAQUE;
  int stretchMode = BLACKONWHITE;
  POINT position = {0, 0};
};

struct GdiDC : GdiObject {
  GdiDC();
  ~GdiDC() override;
  DcState state;
  std::vector<DcState> saved;
  // A DC over a surface it does not own (a window's surface); bitmap selection is then
  // not allowed to replace it.
  cairo_surface_t* fixedSurface = nullptr;
  cairo_surface_t* Surface() const;
};

// Registers an object and returns its handle.
HGDIOBJ RegisterGdiObject(std::shared_ptr<GdiObject> object);
std::shared_ptr<GdiObject> LookupGdiObject(HGDIOBJ handle);
template <class T>
std::shared_ptr<T> LookupGdi(HANDLE handle, GdiKind kind) {
  auto object = LookupGdiObject(handle);
  if (!object || object->kind != kind) return nullptr;
  return std::static_pointer_cast<T>(object);
}
inline std::shared_ptr<GdiDC> LookupDC(HDC dc) { return LookupGdi<GdiDC>(dc, GdiKind::DC); }

// A device context drawing on a surface owned by the caller (window back ends). The
// surface must outlive the DC; release it with DeleteDC.
HDC CreateSurfaceDC(cairo_surface_t* surface);

// A Cairo context on the DC's surface with the DC's clip region applied; null when the DC
// has no surface. The caller destroys it with FinishDrawing, which flushes the surface so
// that direct pixel access sees the result.
cairo_t* BeginDrawing(const GdiDC& dc);
void FinishDrawing(cairo_t* cr);

// Cairo colour from a COLORREF (0x00BBGGRR), opaque.
void SetSourceColor(cairo_t* cr, COLORREF color);

// Region access for the window back ends (window shapes).
cairo_region_t* RegionOf(HRGN region);

}  // namespace kvplat
