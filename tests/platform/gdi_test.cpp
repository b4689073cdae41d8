#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "internal/gdi.h"
#include "internal/text.h"

namespace {

// A memory DC with a 32-bit top-down DIB section selected, and direct pixel access.
class Canvas {
 public:
  Canvas(int width, int height, DWORD fill = 0) : width_(width), height_(height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    bitmap_ = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<DWORD*>(bits);
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bitmap_);
    std::fill(bits_, bits_ + width * height, fill);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteObject(bitmap_);
    DeleteDC(dc_);
  }
  HDC dc() const { return dc_; }
  HBITMAP bitmap() const { return bitmap_; }
  DWORD& At(int x, int y) { return bits_[y * width_ + x]; }
  // Bounding box of the pixels that differ from the background colour.
  RECT InkBox(DWORD background) {
    RECT box = {width_, height_, 0, 0};
    for (int y = 0; y < height_; ++y) {
      for (int x = 0; x < width_; ++x) {
        if (At(x, y) == background) continue;
        box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y), std::max<LONG>(box.right, x + 1),
               std::max<LONG>(box.bottom, y + 1)};
      }
    }
    return box;
  }
  int CountNot(DWORD background) {
    int n = 0;
    for (int i = 0; i < width_ * height_; ++i) n += bits_[i] != background;
    return n;
  }

 private:
  int width_, height_;
  HBITMAP bitmap_;
  DWORD* bits_;
  HDC dc_;
  HGDIOBJ old_;
};

int Channel(DWORD pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); }

TEST(Gdi, DibSectionsAreTopDownPremultipliedBgraThatBlitsCopy) {
  Canvas source(3, 2), target(3, 2);
  source.At(2, 0) = 0x80402010;  // half-transparent, premultiplied
  source.At(0, 1) = 0xFF0000FF;
  ASSERT_TRUE(BitBlt(target.dc(), 0, 0, 3, 2, source.dc(), 0, 0, SRCCOPY));
  EXPECT_EQ(target.At(2, 0), 0x80402010u);
  EXPECT_EQ(target.At(0, 1), 0xFF0000FFu);
  EXPECT_EQ(target.At(1, 1), 0u);

  BITMAP info = {};
  ASSERT_EQ(GetObjectW(source.bitmap(), sizeof(info), &info), static_cast<int>(sizeof(info)));
  EXPECT_EQ(info.bmWidth, 3);
  EXPECT_EQ(info.bmHeight, 2);
  EXPECT_EQ(info.bmBitsPixel, 32);
  EXPECT_EQ(info.bmWidthBytes, 12);

  BITMAPINFO bottomUp = {};
  bottomUp.bmiHeader = {sizeof(BITMAPINFOHEADER), 4, 4, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = reinterpret_cast<void*>(1);
  EXPECT_EQ(CreateDIBSection(nullptr, &bottomUp, DIB_RGB_COLORS, &bits, nullptr, 0), nullptr);
  EXPECT_EQ(bits, nullptr);
}

TEST(Gdi, ClipRegionsLimitDrawingAndSaveDcRestoresThem) {
  Canvas canvas(10, 10);
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  RECT all = {0, 0, 10, 10};
  HRGN clip = CreateRectRgn(2, 2, 5, 5);
  int saved = SaveDC(canvas.dc());
  EXPECT_EQ(ExtSelectClipRgn(canvas.dc(), clip, RGN_AND), SIMPLEREGION);
  RECT box = {};
  EXPECT_EQ(GetClipBox(canvas.dc(), &box), SIMPLEREGION);
  EXPECT_EQ(box.left, 2);
  EXPECT_EQ(box.bottom, 5);
  FillRect(canvas.dc(), &all, red);
  EXPECT_EQ(canvas.CountNot(0), 9);
  EXPECT_EQ(canvas.At(2, 2), 0xFFFF0000u);
  ASSERT_TRUE(RestoreDC(canvas.dc(), saved));
  EXPECT_EQ(GetClipBox(canvas.dc(), &box), SIMPLEREGION);
  EXPECT_EQ(box.right, 10);
  FillRect(canvas.dc(), &all, red);
  EXPECT_EQ(canvas.CountNot(0), 100);
  EXPECT_FALSE(RestoreDC(canvas.dc(), -1));
  DeleteObject(clip);
  DeleteObject(red);
}

TEST(Gdi, RegionsCombineAndRoundRectanglesCutTheirCorners) {
  HRGN a = CreateRectRgn(0, 0, 10, 10);
  HRGN b = CreateRectRgn(5, 5, 15, 15);
  HRGN result = CreateRectRgn(0, 0, 0, 0);
  const struct {
    int mode;
    int type;
    RECT box;
  } cases[] = {{RGN_AND, SIMPLEREGION, {5, 5, 10, 10}},
               {RGN_OR, COMPLEXREGION, {0, 0, 15, 15}},
               {RGN_DIFF, COMPLEXREGION, {0, 0, 10, 10}},
               {RGN_XOR, COMPLEXREGION, {0, 0, 15, 15}},
               {RGN_COPY, SIMPLEREGION, {0, 0, 10, 10}}};
  for (const auto& c : cases) {
    EXPECT_EQ(CombineRgn(result, a, b, c.mode), c.type) << c.mode;
    RECT box;
    GetRgnBox(result, &box);
    EXPECT_TRUE(EqualRect(&box, &c.box)) << c.mode;
  }
  EXPECT_EQ(CombineRgn(result, a, CreateRectRgn(20, 20, 30, 30), RGN_AND), NULLREGION);

  Canvas canvas(20, 20);
  HRGN round = CreateRoundRectRgn(0, 0, 20, 20, 10, 10);
  SelectClipRgn(canvas.dc(), round);
  RECT all = {0, 0, 20, 20};
  HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
  FillRect(canvas.dc(), &all, blue);
  EXPECT_EQ(canvas.At(0, 0), 0u);
  EXPECT_EQ(canvas.At(19, 19), 0u);
  EXPECT_EQ(canvas.At(10, 0), 0xFF0000FFu);
  EXPECT_EQ(canvas.At(0, 10), 0xFF0000FFu);
  for (HGDIOBJ o : {HGDIOBJ(a), HGDIOBJ(b), HGDIOBJ(result), HGDIOBJ(round), HGDIOBJ(blue)}) DeleteObject(o);
}

TEST(Gdi, StretchModesChooseNearestOrSmoothSampling) {
  Canvas source(2, 1), target(8, 1);
  source.At(0, 0) = 0xFFFF0000;
  source.At(1, 0) = 0xFF0000FF;
  SetStretchBltMode(target.dc(), COLORONCOLOR);
  ASSERT_TRUE(StretchBlt(target.dc(), 0, 0, 8, 1, source.dc(), 0, 0, 2, 1, SRCCOPY));
  for (int x = 0; x < 8; ++x) EXPECT_EQ(target.At(x, 0), x < 4 ? 0xFFFF0000u : 0xFF0000FFu) << x;
  SetStretchBltMode(target.dc(), HALFTONE);
  ASSERT_TRUE(StretchBlt(target.dc(), 0, 0, 8, 1, source.dc(), 0, 0, 2, 1, SRCCOPY));
  EXPECT_EQ(target.At(0, 0), 0xFFFF0000u);
  EXPECT_EQ(target.At(7, 0), 0xFF0000FFu);
  EXPECT_GT(Channel(target.At(4, 0), 16), 0);  // blended in the middle
  EXPECT_GT(Channel(target.At(3, 0), 0), 0);
  // A negative source width mirrors.
  SetStretchBltMode(target.dc(), COLORONCOLOR);
  ASSERT_TRUE(StretchBlt(target.dc(), 0, 0, 8, 1, source.dc(), 2, 0, -2, 1, SRCCOPY));
  EXPECT_EQ(target.At(0, 0), 0xFF0000FFu);
  EXPECT_EQ(target.At(7, 0), 0xFFFF0000u);
}

TEST(Gdi, AlphaBlendComposesPremultipliedSourceOver) {
  const struct {
    DWORD source;
    DWORD dest;
    BYTE constant;
    BYTE format;
    DWORD expected;
  } cases[] = {
      {0xFF102030, 0xFFFFFFFF, 255, AC_SRC_ALPHA, 0xFF102030},
      {0x80400000, 0xFF0000FF, 255, AC_SRC_ALPHA, 0xFF40007F},  // half red over blue
      {0x00000000, 0xFF123456, 255, AC_SRC_ALPHA, 0xFF123456},  // transparent pixel
      {0xFF00FF00, 0xFF000000, 0, AC_SRC_ALPHA, 0xFF000000},     // constant opacity 0
      {0xFFFF0000, 0xFF0000FF, 128, AC_SRC_ALPHA, 0xFF80007F},
      {0x00FF0000, 0xFF0000FF, 128, 0, 0xFF80007F},  // without per-pixel alpha the source is opaque
  };
  for (const auto& c : cases) {
    Canvas source(1, 1, c.source), target(1, 1, c.dest);
    ASSERT_TRUE(AlphaBlend(target.dc(), 0, 0, 1, 1, source.dc(), 0, 0, 1, 1, {AC_SRC_OVER, 0, c.constant, c.format}));
    DWORD got = target.At(0, 0);
    for (int shift : {0, 8, 16, 24}) {
      EXPECT_NEAR(Channel(got, shift), Channel(c.expected, shift), 1) << std::hex << c.source << " shift " << shift;
    }
  }
  Canvas source(4, 4), target(4, 4);
  BLENDFUNCTION blend = {AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  EXPECT_FALSE(AlphaBlend(target.dc(), 0, 0, 4, 4, source.dc(), 1, 0, 4, 4, blend));
  EXPECT_FALSE(AlphaBlend(target.dc(), 0, 0, -4, 4, source.dc(), 0, 0, 4, 4, blend));
}

TEST(Gdi, VerticalGradientRunsFromTheTopColourToTheBottomColour) {
  Canvas canvas(2, 9);
  TRIVERTEX v[2] = {{0, 0, 0xFF00, 0, 0, 0xFF00}, {2, 9, 0, 0, 0xFF00, 0xFF00}};
  GRADIENT_RECT mesh = {0, 1};
  ASSERT_TRUE(GradientFill(canvas.dc(), v, 2, &mesh, 1, GRADIENT_FILL_RECT_V));
  EXPECT_EQ(canvas.At(0, 0), 0xFFFF0000u);
  EXPECT_EQ(canvas.At(1, 8), 0xFF0000FFu);
  for (int y = 1; y < 9; ++y) EXPECT_LE(Channel(canvas.At(0, y), 16), Channel(canvas.At(0, y - 1), 16));
  EXPECT_NEAR(Channel(canvas.At(0, 4), 16), 128, 2);
  GRADIENT_RECT bad = {0, 5};
  EXPECT_FALSE(GradientFill(canvas.dc(), v, 2, &bad, 1, GRADIENT_FILL_RECT_V));
}

TEST(Gdi, ShapesFollowGdiPixelRules) {
  Canvas canvas(12, 12);
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(0, 255, 0));
  HGDIOBJ oldPen = SelectObject(canvas.dc(), pen);
  MoveToEx(canvas.dc(), 1, 1, nullptr);
  LineTo(canvas.dc(), 5, 1);  // the end point is not drawn
  EXPECT_EQ(canvas.At(1, 1), 0xFF00FF00u);
  EXPECT_EQ(canvas.At(4, 1), 0xFF00FF00u);
  EXPECT_EQ(canvas.At(5, 1), 0u);

  Canvas frame(12, 12);
  HPEN inside = CreatePen(PS_INSIDEFRAME, 2, RGB(255, 0, 0));
  SelectObject(frame.dc(), inside);
  SelectObject(frame.dc(), GetStockObject(NULL_BRUSH));
  Rectangle(frame.dc(), 2, 2, 10, 10);
  EXPECT_EQ(frame.InkBox(0).left, 2);
  EXPECT_EQ(frame.InkBox(0).right, 10);
  EXPECT_EQ(frame.At(3, 5), 0xFFFF0000u);
  EXPECT_EQ(frame.At(4, 5), 0u);  // no fill inside the 2-pixel frame
  EXPECT_EQ(frame.CountNot(0), 64 - 16);

  Canvas round(20, 20);
  SelectObject(round.dc(), inside);
  HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
  SelectObject(round.dc(), white);
  RoundRect(round.dc(), 0, 0, 20, 20, 10, 10);
  EXPECT_EQ(round.At(0, 0), 0u);
  EXPECT_EQ(round.At(10, 0), 0xFFFF0000u);
  EXPECT_EQ(round.At(10, 10), 0xFFFFFFFFu);
  SelectObject(canvas.dc(), oldPen);
  DeleteObject(pen);
  DeleteObject(inside);
  DeleteObject(white);
}

TEST(Gdi, DeletedObjectsStayUsableWhileSelected) {
  Canvas canvas(4, 4);
  HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
  HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
  SelectObject(canvas.dc(), brush);
  SelectObject(canvas.dc(), pen);
  EXPECT_TRUE(DeleteObject(brush));
  EXPECT_FALSE(DeleteObject(brush));
  Rectangle(canvas.dc(), 0, 0, 4, 4);
  EXPECT_EQ(canvas.At(1, 1), 0xFF010203u);
  EXPECT_TRUE(DeleteObject(GetStockObject(NULL_BRUSH)));  // stock objects survive
  EXPECT_NE(SelectObject(canvas.dc(), GetStockObject(NULL_BRUSH)), nullptr);
  DeleteObject(pen);
}

class GdiText : public testing::Test {
 protected:
  GdiText() {
    LOGFONTW lf = {};
    lf.lfHeight = -14;
    lf.lfWeight = FW_NORMAL;
    std::wcscpy(lf.lfFaceName, L"宋体");
    font_ = CreateFontIndirectW(&lf);
  }
  ~GdiText() override { DeleteObject(font_); }
  HFONT font_;
};

TEST_F(GdiText, ChineseFaceNamesResolveToTheInstalledCjkFont) {
  for (const wchar_t* face : {L"宋体", L"微软雅黑"}) {
    LOGFONTW lf = {};
    lf.lfHeight = -12;
    std::wcscpy(lf.lfFaceName, face);
    HFONT font = CreateFontIndirectW(&lf);
    auto object = kvplat::LookupGdi<kvplat::GdiFont>(font, kvplat::GdiKind::Font);
    std::lock_guard<std::recursive_mutex> lock(kvplat::TextLock());
    PangoFont* loaded = pango_context_load_font(kvplat::TextContext(), object->description);
    ASSERT_NE(loaded, nullptr);
    PangoFontDescription* real = pango_font_describe(loaded);
    EXPECT_STREQ(pango_font_description_get_family(real), "WenQuanYi Micro Hei");
    pango_font_description_free(real);
    g_object_unref(loaded);
    DeleteObject(font);
  }
}

TEST_F(GdiText, MeasurementsAgree) {
  Canvas canvas(10, 10);
  SelectObject(canvas.dc(), font_);
  TEXTMETRICW tm = {};
  ASSERT_TRUE(GetTextMetricsW(canvas.dc(), &tm));
  EXPECT_GE(tm.tmHeight, 14);
  EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent);
  EXPECT_GE(tm.tmMaxCharWidth, tm.tmAveCharWidth);
  SIZE ab = {}, abc = {}, han = {};
  GetTextExtentPoint32W(canvas.dc(), L"ab", 2, &ab);
  GetTextExtentPoint32W(canvas.dc(), L"abc", 3, &abc);
  GetTextExtentPoint32W(canvas.dc(), L"安装", 2, &han);
  EXPECT_GT(ab.cx, 0);
  EXPECT_GT(abc.cx, ab.cx);
  EXPECT_EQ(ab.cy, tm.tmHeight);
  EXPECT_NEAR(han.cx, 28, 2);  // ideographs are one em wide
  ABC widths[2] = {};
  ASSERT_TRUE(GetCharABCWidthsW(canvas.dc(), L'a', L'b', widths));
  EXPECT_GT(widths[0].abcB, 0u);

  RECT calc = {0, 0, 1000, 0};
  EXPECT_EQ(DrawTextW(canvas.dc(), L"abc", -1, &calc, DT_SINGLELINE | DT_CALCRECT), tm.tmHeight);
  EXPECT_EQ(calc.right, abc.cx);
  EXPECT_EQ(calc.bottom, tm.tmHeight);
  // Prefix marks are not measured unless DT_NOPREFIX keeps them.
  RECT prefixed = {0, 0, 1000, 0}, literal = {0, 0, 1000, 0};
  DrawTextW(canvas.dc(), L"&abc", -1, &prefixed, DT_SINGLELINE | DT_CALCRECT);
  DrawTextW(canvas.dc(), L"&abc", -1, &literal, DT_SINGLELINE | DT_CALCRECT | DT_NOPREFIX);
  EXPECT_EQ(prefixed.right, abc.cx);
  EXPECT_GT(literal.right, abc.cx);
  // Word break wraps within the width; without it only line feeds break.
  RECT wrapped = {0, 0, abc.cx + 2, 0};
  DrawTextW(canvas.dc(), L"abc abc abc", -1, &wrapped, DT_WORDBREAK | DT_CALCRECT);
  EXPECT_EQ(wrapped.bottom, 3 * tm.tmHeight);
  EXPECT_LE(wrapped.right, abc.cx + 2);
  RECT lines = {0, 0, 10, 0};
  DrawTextW(canvas.dc(), L"abc abc\nabc", -1, &lines, DT_CALCRECT);
  EXPECT_EQ(lines.bottom, 2 * tm.tmHeight);
  EXPECT_GT(lines.right, abc.cx * 2);
}

TEST_F(GdiText, DrawTextPlacesTheTextByItsFlags) {
  const struct {
    UINT flags;
    bool right, hcentre, vcentre, bottom;
  } cases[] = {
      {DT_SINGLELINE, false, false, false, false},
      {DT_SINGLELINE | DT_RIGHT, true, false, false, false},
      {DT_SINGLELINE | DT_CENTER | DT_VCENTER, false, true, true, false},
      {DT_SINGLELINE | DT_BOTTOM, false, false, false, true},
      {DT_VCENTER, false, false, false, false},  // vertical placement needs a single line
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags);
    Canvas canvas(200, 60, 0xFFFFFFFF);
    SelectObject(canvas.dc(), font_);
    SetBkMode(canvas.dc(), TRANSPARENT);
    SetTextColor(canvas.dc(), RGB(0, 0, 0));
    RECT rect = {10, 5, 190, 55};
    DrawTextW(canvas.dc(), L"安装 setup", -1, &rect, c.flags);
    RECT ink = canvas.InkBox(0xFFFFFFFF);
    ASSERT_LT(ink.left, ink.right);
    if (c.right) {
      EXPECT_NEAR(ink.right, 190, 3);
    } else if (c.hcentre) {
      EXPECT_NEAR((ink.left + ink.right) / 2, 100, 3);
    } else {
      EXPECT_NEAR(ink.left, 10, 3);
    }
    if (c.vcentre) {
      EXPECT_NEAR((ink.top + ink.bottom) / 2, 30, 4);
    } else if (c.bottom) {
      EXPECT_NEAR(ink.bottom, 55, 5);
      EXPECT_GT(ink.top, 30);
    } else {
      EXPECT_LT(ink.top, 12);
    }
  }
}

TEST_F(GdiText, LongTextIsClippedOrEllipsized) {
  const wchar_t* text = L"a long line of text that does not fit";
  Canvas clipped(200, 30, 0xFFFFFFFF), ellipsized(200, 30, 0xFFFFFFFF);
  for (Canvas* c : {&clipped, &ellipsized}) {
    SelectObject(c->dc(), font_);
    SetBkMode(c->dc(), TRANSPARENT);
    RECT rect = {0, 0, 60, 30};
    DrawTextW(c->dc(), text, -1, &rect, DT_SINGLELINE | (c == &ellipsized ? DT_END_ELLIPSIS : 0));
    EXPECT_LE(c->InkBox(0xFFFFFFFF).right, 60);
  }
  // The ellipsized text ends with dots: the last inked column holds only a few pixels near
  // the baseline, unlike a clipped glyph.
  RECT a = clipped.InkBox(0xFFFFFFFF), b = ellipsized.InkBox(0xFFFFFFFF);
  EXPECT_LT(b.bottom - b.top, a.bottom - a.top + 1);
  int dotColumnInk = 0;
  for (int y = 0; y < 30; ++y) dotColumnInk += ellipsized.At(b.right - 1, y) != 0xFFFFFFFF;
  EXPECT_LE(dotColumnInk, 4);
}

TEST_F(GdiText, OpaqueBackgroundsFillBehindText) {
  Canvas canvas(100, 30);
  SelectObject(canvas.dc(), font_);
  SetBkColor(canvas.dc(), RGB(0, 0, 255));
  RECT rect = {5, 5, 50, 25};
  ASSERT_TRUE(ExtTextOutW(canvas.dc(), 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr));
  EXPECT_EQ(canvas.At(5, 5), 0xFF0000FFu);
  EXPECT_EQ(canvas.At(49, 24), 0xFF0000FFu);
  EXPECT_EQ(canvas.At(50, 25), 0u);
  SetBkMode(canvas.dc(), OPAQUE);
  SetTextColor(canvas.dc(), RGB(255, 255, 255));
  ASSERT_TRUE(TextOutW(canvas.dc(), 60, 0, L"ab", 2));
  EXPECT_EQ(canvas.At(60, 1), 0xFF0000FFu);
}

}  // namespace

namespace {

TEST(RectHelpers, IntersectUnionAndHitTestFollowTheDocumentedRules) {
  const struct {
    RECT a, b;
    BOOL intersects;
    RECT intersection, unionRect;
  } cases[] = {
      {{0, 0, 10, 10}, {5, 5, 15, 15}, TRUE, {5, 5, 10, 10}, {0, 0, 15, 15}},
      {{0, 0, 10, 10}, {10, 0, 20, 10}, FALSE, {0, 0, 0, 0}, {0, 0, 20, 10}},  // touching edges only
      {{0, 0, 10, 10}, {3, 3, 3, 8}, FALSE, {0, 0, 0, 0}, {0, 0, 10, 10}},     // an empty rectangle adds nothing
  };
  for (const auto& c : cases) {
    RECT r = {1, 2, 3, 4};
    EXPECT_EQ(IntersectRect(&r, &c.a, &c.b), c.intersects);
    EXPECT_TRUE(EqualRect(&r, &c.intersection));
    EXPECT_TRUE(UnionRect(&r, &c.a, &c.b));
    EXPECT_TRUE(EqualRect(&r, &c.unionRect));
  }
  RECT r = {0, 0, 10, 10};
  EXPECT_TRUE(PtInRect(&r, {0, 0}));
  EXPECT_FALSE(PtInRect(&r, {10, 5}));  // right and bottom edges are outside
  OffsetRect(&r, 5, -5);
  InflateRect(&r, 1, 2);
  RECT expected = {4, -7, 16, 7};
  EXPECT_TRUE(EqualRect(&r, &expected));
  EXPECT_FALSE(IsRectEmpty(&expected));
  SetRectEmpty(&r);
  EXPECT_TRUE(IsRectEmpty(&r));
}

}  // namespace
