#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "internal/library.h"
#include "internal/resources.h"
#include "support/DrawTestHost.h"
#include "support/TempPrefix.h"
#include "ui/framework/DrawEngine.h"
#include "ui/framework/SkinResources.h"

using namespace SkinUI;
using skintest::Canvas;

namespace {

constexpr DWORD kBack = 0xFF202020;
constexpr DWORD kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF, kWhite = 0xFFFFFFFF;

int Channel(DWORD pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); }

void ExpectNear(DWORD got, DWORD want, int tolerance, const char* what) {
  for (int shift : {0, 8, 16, 24}) {
    EXPECT_NEAR(Channel(got, shift), Channel(want, shift), tolerance) << what << " shift " << shift << std::hex
                                                                      << " got " << got << " want " << want;
  }
}

// Synthetic skin images in a resource folder, and a host that caches them.
class DrawEngineTest : public testing::Test {
 protected:
  DrawEngineTest() {
    CSkinResources::Reset();
    CSkinResources::SetResourceFolder(L"C:\\skin");
    // 6x6 in four 3x3 quadrants: red, green / blue, white.
    std::vector<DWORD> grid(36);
    for (int y = 0; y < 6; ++y) {
      for (int x = 0; x < 6; ++x) grid[y * 6 + x] = y < 3 ? (x < 3 ? kRed : kGreen) : (x < 3 ? kBlue : kWhite);
    }
    Png("grid.png", 6, 6, grid);
    Png("red16.png", 16, 16, std::vector<DWORD>(256, kRed));
    Png("blue40.png", 40, 40, std::vector<DWORD>(1600, kBlue));
    Png("two.png", 4, 2, {kRed, kRed, kBlue, kBlue, kRed, kRed, kBlue, kBlue});
    // Opaque magenta, then magenta at alpha 0x80 (premultiplied 0x80800080).
    Png("keyed.png", 2, 1, {0xFFFF00FF, 0x80FF00FF});
    Png("half.png", 1, 1, {0x80FF0000});
  }
  ~DrawEngineTest() override {
    kvplat::SetLibraryAvailable(L"msimg32.dll", true);
    CDrawEngine::ResolvePlatformEntryPoints();
    CSkinResources::Reset();
  }
  void Png(const char* name, int w, int h, const std::vector<DWORD>& pixels) {
    ASSERT_TRUE(skintest::WritePng(prefix_.Host(std::string("drive_c/skin/") + name), w, h, pixels));
  }
  // Runs the test body once with the platform's blend and once with the software one.
  template <class Body>
  void WithAndWithoutPlatformBlend(Body body) {
    for (bool available : {true, false}) {
      SCOPED_TRACE(available ? "platform blend" : "software blend");
      kvplat::SetLibraryAvailable(L"msimg32.dll", available);
      CDrawEngine::ResolvePlatformEntryPoints();
      body();
    }
  }

  TempPrefix prefix_;
  skintest::TestDrawHost host_;
};

TEST_F(DrawEngineTest, DescriptionsPlaceTheImage) {
  const struct {
    const wchar_t* description;
    RECT item;
    RECT ink;
  } cases[] = {
      {L"red16.png", {13, 10, 69, 34}, {13, 10, 69, 34}},
      {L"file='red16.png' dest='0,4,16,20'", {13, 10, 69, 34}, {13, 14, 29, 30}},
      {L"file='red16.png' dest='40,4,80,40'", {13, 10, 69, 34}, {53, 14, 69, 34}},
      {L"file='red16.png' rdest='-20,-20,0,0'", {13, 10, 69, 34}, {49, 14, 69, 34}},
      {L"file='red16.png' stretch='false' center='true'", {0, 0, 29, 29}, {6, 6, 22, 22}},
      {L"file='blue40.png' stretch='false' center='true'", {0, 0, 29, 29}, {0, 0, 29, 29}},
      {L"file='red16.png' stretch='false'", {0, 0, 40, 20}, {10, 0, 30, 20}},
      {L"file='red16.png' stretch='false'", {0, 0, 20, 40}, {0, 10, 20, 30}},
      {L"file = 'red16.png'  dest='0,0,4,4'", {0, 0, 20, 20}, {0, 0, 4, 4}},
      {L"file='red16.png'\tdest='0,0,4,4'", {0, 0, 20, 20}, {0, 0, 20, 20}},  // a tab ends the parse
      {L"file='red16.png' dest=''", {0, 0, 20, 20}, {0, 0, 20, 20}},          // empty values are ignored
      {L"file='red16.png' dest='0,0,4,4' fade='0'", {0, 0, 20, 20}, {0, 0, 0, 0}},
      {L"file='missing.png'", {0, 0, 20, 20}, {0, 0, 0, 0}},
      {L"file='red16.png' dest='80,0,90,10'", {0, 0, 20, 20}, {0, 0, 0, 0}},  // outside the item
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::wstring(c.description).size() << " chars, ink left " << c.ink.left);
    Canvas canvas(80, 50, kBack);
    RECT paint = {0, 0, 80, 50};
    EXPECT_TRUE(CDrawEngine::PaintImageDescription(canvas.dc(), &host_, paint, c.item, c.description));
    RECT ink = canvas.InkBox();
    EXPECT_TRUE(EqualRect(&ink, &c.ink)) << ink.left << "," << ink.top << "," << ink.right << "," << ink.bottom;
  }
  Canvas canvas(10, 10, kBack);
  RECT r = {0, 0, 10, 10};
  EXPECT_FALSE(CDrawEngine::PaintImageDescription(canvas.dc(), nullptr, r, r, L"red16.png"));
  EXPECT_FALSE(CDrawEngine::PaintImageDescription(nullptr, &host_, r, r, L"red16.png"));
}

TEST_F(DrawEngineTest, EachFileKeyPaintsTheImageReadSoFar) {
  RECT item = {0, 0, 20, 20};
  // The red image is painted, then the grid's border around a hole over it.
  Canvas both(20, 20, kBack);
  CDrawEngine::PaintImageDescription(both.dc(), &host_, item, item,
                                     L"file='red16.png' file='grid.png' corner='3,3,3,3' hole='true'");
  EXPECT_EQ(both.At(10, 10), kRed);
  EXPECT_EQ(both.At(0, 0), kRed);
  EXPECT_EQ(both.At(19, 19), kWhite);
  // A file named in the modifier replaces the name without painting.
  Canvas replaced(20, 20, kBack);
  CDrawEngine::PaintImageDescription(replaced.dc(), &host_, item, item, L"file='red16.png'",
                                     L"file='grid.png' corner='3,3,3,3' hole='true'");
  EXPECT_EQ(replaced.At(10, 10), kBack);
  EXPECT_EQ(replaced.At(19, 0), kGreen);
  // The modifier's keys override the description's.
  Canvas overridden(20, 20, kBack);
  CDrawEngine::PaintImageDescription(overridden.dc(), &host_, item, item, L"file='red16.png' dest='0,0,5,5'",
                                     L"dest='10,10,20,20'");
  RECT ink = overridden.InkBox(), want = {10, 10, 20, 20};
  EXPECT_TRUE(EqualRect(&ink, &want));
}

TEST_F(DrawEngineTest, NineGridsKeepCornersAndStretchOrTileTheMiddle) {
  WithAndWithoutPlatformBlend([&] {
    RECT item = {0, 0, 20, 20};
    Canvas grid(20, 20, kBack);
    CDrawEngine::PaintImageDescription(grid.dc(), &host_, item, item, L"file='grid.png' corner='3,3,3,3'");
    EXPECT_EQ(grid.At(0, 0), kRed);
    EXPECT_EQ(grid.At(19, 0), kGreen);
    EXPECT_EQ(grid.At(0, 19), kBlue);
    EXPECT_EQ(grid.At(19, 19), kWhite);
    EXPECT_EQ(grid.At(10, 10), kBack);  // a 6x6 source with 3-pixel corners has no middle
    EXPECT_EQ(grid.At(10, 1), kBack);   // nor edges between the corners

    // Tiles of the 4x2 two-colour image: columns of 4, the last one cut.
    for (const wchar_t* description : {L"file='two.png' xtiled='true'", L"file='two.png' xtiled='true' ytiled='true'"}) {
      Canvas canvas(10, 5, kBack);
      RECT area = {0, 0, 10, 5};
      CDrawEngine::PaintImageDescription(canvas.dc(), &host_, area, area, description);
      const DWORD row[10] = {kRed, kRed, kBlue, kBlue, kRed, kRed, kBlue, kBlue, kRed, kRed};
      for (int x = 0; x < 10; ++x) EXPECT_EQ(canvas.At(x, 0), row[x]) << x;
      for (int y = 0; y < 5; ++y) EXPECT_EQ(canvas.At(3, y), kBlue) << y;
    }
  });
}

TEST_F(DrawEngineTest, CenterRectKeepsTheCenterAtNaturalSize) {
  RECT item = {0, 0, 20, 20};
  Canvas canvas(20, 20, kBack);
  CDrawEngine::PaintImageDescription(canvas.dc(), &host_, item, item, L"file='grid.png' centerrect='2,2,4,4'");
  // The 2x2 center sits at (9,9): its quadrant colours meet there unstretched.
  EXPECT_EQ(canvas.At(9, 9), kRed);
  EXPECT_EQ(canvas.At(10, 9), kGreen);
  EXPECT_EQ(canvas.At(9, 10), kBlue);
  EXPECT_EQ(canvas.At(10, 10), kWhite);
  EXPECT_EQ(canvas.At(0, 0), kRed);
  EXPECT_EQ(canvas.At(19, 19), kWhite);
}

TEST_F(DrawEngineTest, MaskRemovesTheKeyColourAfterPremultiplication) {
  const struct {
    const wchar_t* mask;
    DWORD first, second;
  } cases[] = {
      {L"#FFFF00FF", 0, 0x80800080},  // the opaque magenta pixel goes
      {L"80800080", 0xFFFF00FF, 0},   // the half-transparent one matches only premultiplied
      {L"80FF00FF", 0xFFFF00FF, 0x80800080},
  };
  for (const auto& c : cases) {
    auto image = CDrawEngine::LoadSkinImage(L"keyed.png", nullptr,
                                            static_cast<DWORD>(std::wcstoul(c.mask + (c.mask[0] == L'#'), nullptr, 16)));
    ASSERT_NE(image, nullptr);
    EXPECT_TRUE(image->hasAlpha);
    Canvas canvas(2, 1, 0);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, image->bitmap);
    BitBlt(canvas.dc(), 0, 0, 2, 1, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    EXPECT_EQ(canvas.At(0, 0), c.first);
    EXPECT_EQ(canvas.At(1, 0), c.second);
    CDrawEngine::FreeSkinImage(std::move(image));
  }
  auto opaque = CDrawEngine::LoadSkinImage(L"red16.png", nullptr, 0);
  ASSERT_NE(opaque, nullptr);
  EXPECT_FALSE(opaque->hasAlpha);
  EXPECT_EQ(opaque->width, 16);
  CDrawEngine::FreeSkinImage(std::move(opaque));
  EXPECT_EQ(CDrawEngine::LoadSkinImage(L"missing.png", nullptr, 0), nullptr);
  ASSERT_TRUE(WriteHostFile(prefix_.Host("drive_c/skin/bad.png"), "\x89PNG not really"));
  EXPECT_EQ(CDrawEngine::LoadSkinImage(L"bad.png", nullptr, 0), nullptr);
}

TEST_F(DrawEngineTest, ImagesWithAResourceTypeComeFromModuleResources) {
  static const std::string png = ReadHostFile(prefix_.Host("drive_c/skin/red16.png"));
  kvplat::RegisterModuleResource(L"PNG", MAKEINTRESOURCEW(4321), png.data(), static_cast<DWORD>(png.size()));
  RECT item = {0, 0, 8, 8};
  Canvas canvas(8, 8, kBack);
  CDrawEngine::PaintImageDescription(canvas.dc(), &host_, item, item, L"res='4321' restype='png'");
  EXPECT_EQ(canvas.At(4, 4), kRed);
  EXPECT_EQ(CDrawEngine::LoadSkinImage(L"4322", L"PNG", 0), nullptr);
}

TEST_F(DrawEngineTest, HalfTransparentImagesAndFadeBlend) {
  WithAndWithoutPlatformBlend([&] {
    RECT item = {0, 0, 4, 4};
    Canvas half(4, 4, kBlue);
    CDrawEngine::PaintImageDescription(half.dc(), &host_, item, item, L"half.png");
    ExpectNear(half.At(2, 2), 0xFF80007F, 1, "half red over blue");
    Canvas faded(4, 4, kBlue);
    CDrawEngine::PaintImageDescription(faded.dc(), &host_, item, item, L"file='red16.png' fade='128'");
    ExpectNear(faded.At(1, 1), 0xFF80007F, 1, "red at fade 128");
    Canvas invisible(4, 4, kBlue);
    CDrawEngine::PaintImageDescription(invisible.dc(), &host_, item, item, L"file='red16.png' fade='0'");
    EXPECT_EQ(invisible.At(1, 1), kBlue);
  });
}

TEST_F(DrawEngineTest, FillColorHonoursItsAlpha) {
  WithAndWithoutPlatformBlend([&] {
    const struct {
      DWORD color;
      DWORD expected;
    } cases[] = {{0x00FF0000, kBlue}, {0xFFFF0000, kRed}, {0x80FF0000, 0xFF80007F}};
    for (const auto& c : cases) {
      Canvas canvas(6, 6, kBlue);
      CDrawEngine::FillColor(canvas.dc(), {1, 1, 5, 5}, c.color);
      ExpectNear(canvas.At(2, 2), c.expected, 1, "inside");
      EXPECT_EQ(canvas.At(0, 0), kBlue);
      EXPECT_EQ(canvas.At(5, 5), kBlue);
    }
  });
}

TEST_F(DrawEngineTest, GradientsUseThePlatformOrSolidBands) {
  for (bool available : {true, false}) {
    kvplat::SetLibraryAvailable(L"msimg32.dll", available);
    CDrawEngine::ResolvePlatformEntryPoints();
    for (int steps : {8, 16}) {
      Canvas canvas(4, 64, kBack);
      CDrawEngine::FillGradient(canvas.dc(), {0, 0, 4, 64}, 0xFFFF0000, 0xFF0000FF, steps);
      std::vector<DWORD> colours;
      for (int y = 0; y < 64; ++y) {
        if (colours.empty() || colours.back() != canvas.At(0, y)) colours.push_back(canvas.At(0, y));
      }
      if (available) {
        EXPECT_EQ(canvas.At(0, 0), kRed);
        EXPECT_EQ(canvas.At(0, 63), kBlue);
        EXPECT_GT(colours.size(), 32u);
      } else {
        EXPECT_EQ(colours.size(), steps < 16 ? 8u : 16u);
        EXPECT_EQ(canvas.At(0, 63), kBlue);  // the bottom band is the second colour
        EXPECT_GT(Channel(canvas.At(0, 0), 16), 0xD0);
      }
      for (int y = 1; y < 64; ++y) EXPECT_LE(Channel(canvas.At(0, y), 16), Channel(canvas.At(0, y - 1), 16));
    }
    // Half opacity blends the gradient; alpha 0 on both ends draws nothing.
    Canvas half(2, 8, 0xFF000000);
    CDrawEngine::FillGradient(half.dc(), {0, 0, 2, 8}, 0x80FF0000, 0x80FF0000, 8);
    ExpectNear(half.At(0, 4), 0xFF800000, 1, "half gradient");
    Canvas none(2, 8, kBack);
    CDrawEngine::FillGradient(none.dc(), {0, 0, 2, 8}, 0x00FF0000, 0x00FF0000, 8);
    EXPECT_EQ(none.InkBox().right, 0);
  }
}

TEST_F(DrawEngineTest, BlendFallbackMatchesThePlatformBlend) {
  std::vector<DWORD> source;
  for (int i = 0; i < 64; ++i) {
    DWORD a = static_cast<DWORD>((i * 37) & 0xFF);
    DWORD c = a * static_cast<DWORD>(i % 7) / 6;  // premultiplied: colour never above alpha
    source.push_back((a << 24) | (c << 16) | ((a - c) << 8) | (c / 2));
  }
  for (BYTE constant : {255, 200, 64}) {
    Canvas src(8, 8, 0), viaPlatform(8, 8, 0xFF3366CC), viaFallback(8, 8, 0xFF3366CC);
    for (int i = 0; i < 64; ++i) src.At(i % 8, i / 8) = source[static_cast<size_t>(i)];
    BLENDFUNCTION blend = {AC_SRC_OVER, 0, constant, AC_SRC_ALPHA};
    ASSERT_TRUE(AlphaBlend(viaPlatform.dc(), 0, 0, 8, 8, src.dc(), 0, 0, 8, 8, blend));
    ASSERT_TRUE(CDrawEngine::BlendFallback(viaFallback.dc(), 0, 0, 8, 8, src.dc(), 0, 0, 8, 8, blend));
    for (int i = 0; i < 64; ++i) ExpectNear(viaFallback.At(i % 8, i / 8), viaPlatform.At(i % 8, i / 8), 1, "pixel");
  }
}

TEST_F(DrawEngineTest, RoundedCornersKeepTheOldBackgroundOutsideTheArc) {
  RECT item = {0, 0, 20, 20};
  Canvas canvas(20, 20, kBlue);
  CDrawEngine::PaintImageDescription(canvas.dc(), &host_, item, item, L"file='red16.png' roundcorner='6,6'");
  EXPECT_EQ(canvas.At(0, 0), kBlue);
  EXPECT_EQ(canvas.At(19, 0), kBlue);
  EXPECT_EQ(canvas.At(19, 19), kBlue);
  EXPECT_EQ(canvas.At(10, 10), kRed);
  EXPECT_EQ(canvas.At(0, 10), kRed);
  // The arc's edge is smooth: some pixel near the corner mixes both colours.
  bool mixed = false;
  for (int i = 0; i < 6; ++i) {
    DWORD p = canvas.At(i, 2);
    mixed |= Channel(p, 16) > 0 && Channel(p, 0) > 0;
  }
  EXPECT_TRUE(mixed);
}

TEST_F(DrawEngineTest, StrokesDrawInsideTheirRectangle) {
  Canvas canvas(20, 20, kBack);
  CDrawEngine::StrokeRect(canvas.dc(), {2, 2, 18, 18}, 2, kGreen);
  RECT ink = canvas.InkBox(), want = {2, 2, 18, 18};
  EXPECT_TRUE(EqualRect(&ink, &want));
  EXPECT_EQ(canvas.At(3, 10), kGreen);
  EXPECT_EQ(canvas.At(4, 10), kBack);
  Canvas line(20, 20, kBack);
  CDrawEngine::StrokeLine(line.dc(), {0, 5, 10, 5}, 1, kRed);
  EXPECT_EQ(line.Count(kRed), 10);
  Canvas round(20, 20, kBack);
  CDrawEngine::StrokeRoundRect(round.dc(), {0, 0, 20, 20}, 1, 8, 8, kRed);
  EXPECT_EQ(round.At(0, 0), kBack);
  EXPECT_EQ(round.At(10, 0), kRed);
  EXPECT_EQ(round.At(10, 10), kBack);
}

TEST(DrawEngineColor, AdjustHslShiftsHueAndScales) {
  const struct {
    DWORD color;
    short h, s, l;
    DWORD expected;
  } cases[] = {
      {0x80FF0000, 180, 100, 100, 0x80FF0000},  // neutral settings return the colour as it is
      {0xFFFF0000, 300, 100, 100, 0xFF00FF00},  // +120 degrees: red becomes green
      {0xFFFF0000, 60, 100, 100, 0xFF0000FF},   // -120 degrees wraps to 240: blue
      {0xFF808080, 180, 100, 50, 0xFF404040},   // half the lightness
      {0xFFFF0000, 180, 0, 100, 0xFF7F7F7F},    // no saturation: grey
      {0x40FF0000, 180, 100, 200, 0x40FFFFFF},  // lightness is not clamped before conversion
  };
  for (const auto& c : cases) {
    DWORD got = CDrawEngine::AdjustHsl(c.color, c.h, c.s, c.l);
    ExpectNear(got, c.expected, 1, "hsl");
  }
}

}  // namespace
