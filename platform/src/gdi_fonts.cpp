// Fonts: LOGFONTW descriptions turned into Pango font descriptions, and the fontconfig
// setup with the platform's alias file built in.
#include <fontconfig/fontconfig.h>
#include <pango/pangofc-fontmap.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "internal/text.h"
#include "internal/utf.h"

// The alias file's bytes, placed in the library by the assembler.
__asm__(
    ".pushsection .rodata\n"
    ".balign 16\n"
    "kvplat_font_aliases:\n"
    ".incbin \"" KV_FONT_ALIASES_FILE
    "\"\n"
    ".byte 0\n"
    ".popsection\n");
extern "C" const char kvplat_font_aliases[] __asm__("kvplat_font_aliases");

namespace kvplat {

namespace {

// Height of a face at the given pixel size, rounded as GDI cell heights are.
int CellHeight(PangoFontDescription* description) {
  PangoFont* font = pango_context_load_font(TextContext(), description);
  if (!font) return 0;
  PangoFontMetrics* m = pango_font_get_metrics(font, nullptr);
  int height = PANGO_PIXELS(pango_font_metrics_get_ascent(m)) + PANGO_PIXELS(pango_font_metrics_get_descent(m));
  pango_font_metrics_unref(m);
  g_object_unref(font);
  return height;
}

}  // namespace

std::recursive_mutex& TextLock() {
  static std::recursive_mutex lock;
  return lock;
}

PangoContext* TextContext() {
  static PangoContext* context = [] {
    FcConfig* config = FcInitLoadConfigAndFonts();
    FcConfigParseAndLoadFromMemory(config, reinterpret_cast<const FcChar8*>(kvplat_font_aliases), FcTrue);
    PangoFontMap* map = pango_cairo_font_map_new_for_font_type(CAIRO_FONT_TYPE_FT);
    pango_fc_font_map_set_config(PANGO_FC_FONT_MAP(map), config);
    FcConfigDestroy(config);
    pango_cairo_font_map_set_resolution(PANGO_CAIRO_FONT_MAP(map), 96.0);
    PangoContext* c = pango_font_map_create_context(map);
    // Whole-pixel advances, so that measured and drawn widths agree.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_ON);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(c, options);
    cairo_font_options_destroy(options);
    return c;
  }();
  return context;
}

// A negative height is the character (em) height in pixels, a positive one the cell
// height, and 0 a default size.
GdiFont::GdiFont(const LOGFONTW& lf) : GdiObject(GdiKind::Font), logFont(lf) {
  std::lock_guard<std::recursive_mutex> lock(TextLock());
  description = pango_font_description_new();
  size_t faceLength = 0;
  while (faceLength < LF_FACESIZE && lf.lfFaceName[faceLength]) ++faceLength;
  std::string face = WideToUtf8(std::wstring_view(lf.lfFaceName, faceLength));
  pango_font_description_set_family(description, face.empty() ? "sans-serif" : face.c_str());
  int weight = lf.lfWeight == FW_DONTCARE ? FW_NORMAL : std::clamp<int>(lf.lfWeight, 100, 1000);
  pango_font_description_set_weight(description, static_cast<PangoWeight>(weight));
  pango_font_description_set_style(description, lf.lfItalic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  int height = lf.lfHeight < 0 ? -lf.lfHeight : lf.lfHeight > 0 ? lf.lfHeight : 16;
  pango_font_description_set_absolute_size(description, height * PANGO_SCALE);
  if (lf.lfHeight > 0) {
    int cell = CellHeight(description);
    if (cell > 0) pango_font_description_set_absolute_size(description, double(height) * height / cell * PANGO_SCALE);
  }
}

GdiFont::~GdiFont() { pango_font_description_free(description); }

const TEXTMETRICW& FontMetrics(GdiFont& font) {
  if (font.metricsKnown) return font.metrics;
  TEXTMETRICW tm = {};
  PangoFont* loaded = pango_context_load_font(TextContext(), font.description);
  if (loaded) {
    PangoFontMetrics* m = pango_font_get_metrics(loaded, nullptr);
    tm.tmAscent = PANGO_PIXELS(pango_font_metrics_get_ascent(m));
    tm.tmDescent = PANGO_PIXELS(pango_font_metrics_get_descent(m));
    tm.tmAveCharWidth = PANGO_PIXELS(pango_font_metrics_get_approximate_char_width(m));
    pango_font_metrics_unref(m);
    g_object_unref(loaded);
  }
  tm.tmHeight = tm.tmAscent + tm.tmDescent;
  int em = PANGO_PIXELS(pango_font_description_get_size(font.description));
  tm.tmInternalLeading = std::max(0, tm.tmHeight - em);
  // Ideographs are one em wide, the widest characters the skins show.
  tm.tmMaxCharWidth = std::max<LONG>(em, tm.tmAveCharWidth);
  tm.tmWeight = pango_font_description_get_weight(font.description);
  tm.tmItalic = font.logFont.lfItalic;
  tm.tmUnderlined = font.logFont.lfUnderline;
  tm.tmStruckOut = font.logFont.lfStrikeOut;
  tm.tmCharSet = font.logFont.lfCharSet;
  tm.tmFirstChar = 0x20;
  tm.tmLastChar = 0xFFFD;
  tm.tmDefaultChar = L'?';
  tm.tmBreakChar = L' ';
  tm.tmDigitizedAspectX = tm.tmDigitizedAspectY = 96;
  font.metrics = tm;
  font.metricsKnown = true;
  return font.metrics;
}

}  // namespace kvplat

using namespace kvplat;

HFONT CreateFontIndirectW(const LOGFONTW* font) {
  if (!font) return nullptr;
  return static_cast<HFONT>(RegisterGdiObject(std::make_shared<GdiFont>(*font)));
}

#if defined(__SANITIZE_ADDRESS__)
// Fontconfig allocates its configuration and pattern caches once and keeps them for the
// life of the process; the leak checker is told so, and still checks everything else.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
#endif
