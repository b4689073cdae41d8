// GDI object table, device contexts, bitmaps, object selection and saved DC states.
#include <mutex>
#include <unordered_map>

#include "internal/gdi.h"

namespace kvplat {

namespace {

std::mutex& TableMutex() {
  static std::mutex mutex;
  return mutex;
}

std::unordered_map<HGDIOBJ, std::shared_ptr<GdiObject>>& Table() {
  static auto* table = new std::unordered_map<HGDIOBJ, std::shared_ptr<GdiObject>>();
  return *table;
}

}  // namespace

GdiBitmap::GdiBitmap(int w, int h) : GdiObject(GdiKind::Bitmap), width(w), height(h) {
  surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
}

GdiBitmap::~GdiBitmap() { cairo_surface_destroy(surface); }

GdiRegion::GdiRegion() : GdiObject(GdiKind::Region), region(cairo_region_create()) {}
GdiRegion::GdiRegion(cairo_region_t* r) : GdiObject(GdiKind::Region), region(r) {}
GdiRegion::~GdiRegion() { cairo_region_destroy(region); }

GdiDC::GdiDC() : GdiObject(GdiKind::DC) {
  state.pen = LookupGdi<GdiPen>(GetStockObject(BLACK_PEN), GdiKind::Pen);
  state.brush = LookupGdi<GdiBrush>(GetStockObject(WHITE_BRUSH), GdiKind::Brush);
  state.font = LookupGdi<GdiFont>(GetStockObject(DEFAULT_GUI_FONT), GdiKind::Font);
}

GdiDC::~GdiDC() {
  if (state.clip) cairo_region_destroy(state.clip);
  for (auto& s : saved) {
    if (s.clip) cairo_region_destroy(s.clip);
  }
}

cairo_surface_t* GdiDC::Surface() const {
  if (fixedSurface) return fixedSurface;
  return state.bitmap ? state.bitmap->surface : nullptr;
}

HGDIOBJ RegisterGdiObject(std::shared_ptr<GdiObject> object) {
  HGDIOBJ handle = object.get();
  std::lock_guard<std::mutex> lock(TableMutex());
  Table()[handle] = std::move(object);
  return handle;
}

std::shared_ptr<GdiObject> LookupGdiObject(HGDIOBJ handle) {
  if (!handle) return nullptr;
  std::lock_guard<std::mutex> lock(TableMutex());
  auto it = Table().find(handle);
  return it == Table().end() ? nullptr : it->second;
}

HDC CreateSurfaceDC(cairo_surface_t* surface) {
  auto dc = std::make_shared<GdiDC>();
  dc->fixedSurface = surface;
  return static_cast<HDC>(RegisterGdiObject(dc));
}

cairo_t* BeginDrawing(const GdiDC& dc) {
  cairo_surface_t* surface = dc.Surface();
  if (!surface) return nullptr;
  // The program may have written the pixels directly since the last drawing.
  cairo_surface_mark_dirty(surface);
  cairo_t* cr = cairo_create(surface);
  if (dc.state.clip) {
    int n = cairo_region_num_rectangles(dc.state.clip);
    for (int i = 0; i < n; ++i) {
      cairo_rectangle_int_t r;
      cairo_region_get_rectangle(dc.state.clip, i, &r);
      cairo_rectangle(cr, r.x, r.y, r.width, r.height);
    }
    cairo_clip(cr);
  }
  return cr;
}

void FinishDrawing(cairo_t* cr) {
  cairo_surface_t* surface = cairo_get_target(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
}

void SetSourceColor(cairo_t* cr, COLORREF color) {
  cairo_set_source_rgb(cr, GetRValue(color) / 255.0, GetGValue(color) / 255.0, GetBValue(color) / 255.0);
}

}  // namespace kvplat

using namespace kvplat;

HGDIOBJ GetStockObject(int object) {
  static HGDIOBJ stock[18] = {};
  static std::once_flag once;
  std::call_once(once, [] {
    auto brush = [](COLORREF color, bool hollow) {
      auto b = std::make_shared<GdiBrush>();
      b->color = color;
      b->hollow = hollow;
      b->stock = true;
      return RegisterGdiObject(b);
    };
    auto pen = [](int style, COLORREF color) {
      auto p = std::make_shared<GdiPen>();
      p->style = style;
      p->color = color;
      p->stock = true;
      return RegisterGdiObject(p);
    };
    stock[WHITE_BRUSH] = brush(0xFFFFFF, false);
    stock[BLACK_BRUSH] = brush(0, false);
    stock[NULL_BRUSH] = brush(0, true);
    stock[WHITE_PEN] = pen(PS_SOLID, 0xFFFFFF);
    stock[BLACK_PEN] = pen(PS_SOLID, 0);
    stock[NULL_PEN] = pen(PS_NULL, 0);
    // The default GUI font: 8 points at 96 dots per inch.
    LOGFONTW lf = {};
    lf.lfHeight = -11;
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    const wchar_t face[] = L"MS Shell Dlg";
    for (size_t i = 0; i < sizeof(face) / sizeof(face[0]); ++i) lf.lfFaceName[i] = face[i];
    auto font = std::make_shared<GdiFont>(lf);
    font->stock = true;
    stock[DEFAULT_GUI_FONT] = RegisterGdiObject(font);
  });
  if (object < 0 || object >= 18) return nullptr;
  return stock[object];
}

HDC CreateCompatibleDC(HDC) { return static_cast<HDC>(RegisterGdiObject(std::make_shared<GdiDC>())); }

BOOL DeleteDC(HDC dc) {
  auto object = LookupDC(dc);
  if (!object) return FALSE;
  std::lock_guard<std::mutex> lock(TableMutex());
  Table().erase(dc);
  return TRUE;
}

HBITMAP CreateCompatibleBitmap(HDC, int width, int height) {
  if (width <= 0 || height <= 0) return nullptr;
  auto bitmap = std::make_shared<GdiBitmap>(width, height);
  if (cairo_surface_status(bitmap->surface) != CAIRO_STATUS_SUCCESS) return nullptr;
  return static_cast<HBITMAP>(RegisterGdiObject(bitmap));
}

// Only the form the program uses: 32 bits per pixel, BI_RGB, top-down (negative height).
HBITMAP CreateDIBSection(HDC, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section, DWORD) {
  if (bits) *bits = nullptr;
  if (!info || usage != DIB_RGB_COLORS || section) return nullptr;
  const BITMAPINFOHEADER& h = info->bmiHeader;
  if (h.biBitCount != 32 || h.biCompression != BI_RGB || h.biWidth <= 0 || h.biHeight >= 0) return nullptr;
  auto bitmap = std::make_shared<GdiBitmap>(h.biWidth, -h.biHeight);
  if (cairo_surface_status(bitmap->surface) != CAIRO_STATUS_SUCCESS) return nullptr;
  bitmap->dib = true;
  cairo_surface_flush(bitmap->surface);
  if (bits) *bits = cairo_image_surface_get_data(bitmap->surface);
  return static_cast<HBITMAP>(RegisterGdiObject(bitmap));
}

HGDIOBJ SelectObject(HDC dc, HGDIOBJ object) {
  auto target = LookupDC(dc);
  auto selected = LookupGdiObject(object);
  if (!target || !selected) return nullptr;
  DcState& s = target->state;
  HGDIOBJ previous = nullptr;
  switch (selected->kind) {
    case GdiKind::Bitmap:
      if (target->fixedSurface) return nullptr;
      previous = s.bitmap.get();
      s.bitmap = std::static_pointer_cast<GdiBitmap>(selected);
      break;
    case GdiKind::Pen:
      previous = s.pen.get();
      s.pen = std::static_pointer_cast<GdiPen>(selected);
      break;
    case GdiKind::Brush:
      previous = s.brush.get();
      s.brush = std::static_pointer_cast<GdiBrush>(selected);
      break;
    case GdiKind::Font:
      previous = s.font.get();
      s.font = std::static_pointer_cast<GdiFont>(selected);
      break;
    case GdiKind::Region:
      // Selecting a region sets the clip region; the result is the region type.
      return reinterpret_cast<HGDIOBJ>(static_cast<intptr_t>(SelectClipRgn(dc, static_cast<HRGN>(object))));
    default:
      return nullptr;
  }
  // A memory DC's initial bitmap is a placeholder; give back something non-null.
  if (!previous && selected->kind == GdiKind::Bitmap) {
    static HBITMAP placeholder = CreateCompatibleBitmap(nullptr, 1, 1);
    previous = placeholder;
  }
  return previous;
}

// Deleting a handle removes it from the table; a DC that still has the object selected
// keeps it alive until it selects another, so nothing dangles.
BOOL DeleteObject(HGDIOBJ object) {
  auto found = LookupGdiObject(object);
  if (!found || found->kind == GdiKind::DC) return FALSE;
  if (found->stock) return TRUE;
  std::lock_guard<std::mutex> lock(TableMutex());
  Table().erase(object);
  return TRUE;
}

int GetObjectW(HANDLE handle, int size, LPVOID buffer) {
  auto object = LookupGdiObject(handle);
  if (!object) return 0;
  if (object->kind == GdiKind::Bitmap) {
    if (!buffer) return sizeof(BITMAP);
    if (size < static_cast<int>(sizeof(BITMAP))) return 0;
    auto& b = static_cast<GdiBitmap&>(*object);
    BITMAP info = {};
    info.bmWidth = b.width;
    info.bmHeight = b.height;
    info.bmWidthBytes = b.width * 4;
    info.bmPlanes = 1;
    info.bmBitsPixel = 32;
    info.bmBits = b.dib ? cairo_image_surface_get_data(b.surface) : nullptr;
    *static_cast<BITMAP*>(buffer) = info;
    return sizeof(BITMAP);
  }
  if (object->kind == GdiKind::Font) {
    if (!buffer) return sizeof(LOGFONTW);
    if (size < static_cast<int>(sizeof(LOGFONTW))) return 0;
    *static_cast<LOGFONTW*>(buffer) = static_cast<GdiFont&>(*object).logFont;
    return sizeof(LOGFONTW);
  }
  if (object->kind == GdiKind::Pen) {
    if (!buffer) return sizeof(LOGPEN);
    if (size < static_cast<int>(sizeof(LOGPEN))) return 0;
    auto& p = static_cast<GdiPen&>(*object);
    *static_cast<LOGPEN*>(buffer) = LOGPEN{static_cast<UINT>(p.style), {p.width, 0}, p.color};
    return sizeof(LOGPEN);
  }
  return 0;
}

int SaveDC(HDC dc) {
  auto target = LookupDC(dc);
  if (!target) return 0;
  DcState copy = target->state;
  if (copy.clip) copy.clip = cairo_region_copy(copy.clip);
  target->saved.push_back(std::move(copy));
  return static_cast<int>(target->saved.size());
}

// savedDC > 0 names a level returned by SaveDC; a negative value counts back from the top.
BOOL RestoreDC(HDC dc, int savedDC) {
  auto target = LookupDC(dc);
  if (!target) return FALSE;
  int depth = static_cast<int>(target->saved.size());
  int level = savedDC < 0 ? depth + savedDC + 1 : savedDC;
  if (savedDC == 0 || level < 1 || level > depth) return FALSE;
  while (static_cast<int>(target->saved.size()) > level) {
    if (target->saved.back().clip) cairo_region_destroy(target->saved.back().clip);
    target->saved.pop_back();
  }
  if (target->state.clip) cairo_region_destroy(target->state.clip);
  target->state = std::move(target->saved.back());
  target->saved.pop_back();
  return TRUE;
}

int SetStretchBltMode(HDC dc, int mode) {
  auto target = LookupDC(dc);
  if (!target || mode < BLACKONWHITE || mode > HALFTONE) return 0;
  int previous = target->state.stretchMode;
  target->state.stretchMode = mode;
  return previous;
}

int GetStretchBltMode(HDC dc) {
  auto target = LookupDC(dc);
  return target ? target->state.stretchMode : 0;
}
