#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/DrawTestHost.h"
#include "support/TempPrefix.h"
#include "ui/framework/DrawEngine.h"
#include "ui/framework/SkinResources.h"

using namespace SkinUI;
using skintest::Canvas;

namespace {

constexpr DWORD kWhite = 0xFFFFFFFF;

class MarkupTextTest : public testing::Test {
 protected:
  MarkupTextTest() {
    CSkinResources::Reset();
    CSkinResources::SetResourceFolder(L"C:\\skin");
    EXPECT_TRUE(skintest::WritePng(prefix_.Host("drive_c/skin/icon.png"), 30, 20, std::vector<DWORD>(600, 0xFF00FF00)));
    HDC dc = measure_.dc();
    SelectObject(dc, host_.GetDefaultFontInfo()->font);
    GetTextMetricsW(dc, &tm_);
  }
  ~MarkupTextTest() override { CSkinResources::Reset(); }

  int Width(const wchar_t* text) {
    SIZE size = {};
    GetTextExtentPoint32W(measure_.dc(), text, static_cast<int>(wcslen(text)), &size);
    return size.cx;
  }
  RECT Measure(const wchar_t* text, UINT flags = 0, LONG width = 400) {
    RECT rect = {0, 0, width, 300};
    int count = 0;
    CDrawEngine::PaintMarkupText(measure_.dc(), &host_, rect, text, 0xFF000000, nullptr, nullptr, count,
                                 flags | DT_CALCRECT);
    return rect;
  }
  // Paints on a fresh white canvas and returns the link count.
  int Paint(Canvas& canvas, RECT rect, const wchar_t* text, UINT flags, int capacity = 0) {
    int count = capacity;
    CDrawEngine::PaintMarkupText(canvas.dc(), &host_, rect, text, 0xFF000000, links_, texts_, count, flags);
    return count;
  }
  // Pixels whose strongest channel is the given one by a clear margin.
  static int Tinted(Canvas& canvas, int w, int h, int shift) {
    int n = 0;
    for (int y = 0; y < h; ++y) {
      for (int x = 0; x < w; ++x) {
        DWORD p = canvas.At(x, y);
        int c = (p >> shift) & 0xFF, others = 0;
        for (int s : {0, 8, 16}) {
          if (s != shift) others = std::max<int>(others, (p >> s) & 0xFF);
        }
        n += c > 120 && others < c - 80;
      }
    }
    return n;
  }

  TempPrefix prefix_;
  skintest::TestDrawHost host_;
  Canvas measure_{4, 4, kWhite};
  TEXTMETRICW tm_ = {};
  RECT links_[4] = {};
  std::wstring texts_[4];
};

TEST_F(MarkupTextTest, MeasureOnlyShrinksTheRectangleToTheText) {
  const int h = tm_.tmHeight + tm_.tmExternalLeading;
  const struct {
    const wchar_t* text;
    UINT flags;
    int right;  // -1: not checked
    int bottom;
  } cases[] = {
      {L"abc", 0, Width(L"abc"), h},
      {L"abc<n>de", 0, Width(L"abc"), 2 * h},
      {L"abc\nde", 0, Width(L"abc"), 2 * h},
      {L"abc<n>de", DT_SINGLELINE, Width(L"abcde"), h},
      {L"ab<x 20>c", 0, Width(L"ab") + 20 + Width(L"c"), h},
      {L"<y 40>ab", 0, Width(L"ab"), 40},
      {L"<p 10>ab</p>cd", 0, -1, 2 * h + 10},
      {L"<r><b>x</b></r>", 0, Width(L"<b>x</b>"), h},
      {L"<{>x<}>", 0, Width(L"{x}"), h},
      {L"{<}b{>}", 0, Width(L"<b>"), h},
      {L"a <i icon.png> b", 0, Width(L"a ") + 30 + Width(L" b"), std::max(h, 20)},
      {L"<i icon.png 3 1>", 0, 10, std::max(h, 20)},
      {L"a < b", 0, Width(L"a < b"), h},  // a bracket that starts no tag is text
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case with right " << c.right << " bottom " << c.bottom);
    RECT r = Measure(c.text, c.flags);
    if (c.right >= 0) {
      EXPECT_NEAR(r.right, c.right, 2);
    }
    EXPECT_EQ(r.bottom, c.bottom);
  }
  // Word break moves whole words to the next line.
  RECT wrapped = Measure(L"aaa bbb ccc", DT_WORDBREAK, Width(L"aaa bbb") + 2);
  EXPECT_EQ(wrapped.bottom, 2 * h);
}

TEST_F(MarkupTextTest, TagsChangeFontAndColour) {
  Canvas plain(200, 30, kWhite), bold(200, 30, kWhite), colored(200, 30, kWhite);
  RECT rect = {0, 0, 200, 30};
  Paint(plain, rect, L"abcdef", 0);
  Paint(bold, rect, L"<b>abcdef</b>", 0);
  Paint(colored, rect, L"<c #FFFF0000>abc</c>def", DT_SINGLELINE);
  EXPECT_GT(bold.Count(kWhite), 0);
  EXPECT_LT(bold.Count(kWhite), plain.Count(kWhite));  // bold strokes cover more pixels
  EXPECT_GT(Tinted(colored, 200, 30, 16), 5);
  EXPECT_EQ(Tinted(plain, 200, 30, 16), 0);
  // <s> gives the text the host's selected background; </s> ends it.
  Canvas selected(200, 30, kWhite);
  Paint(selected, rect, L"<s>ab</s>cd", DT_SINGLELINE);
  RECT band = {0, 0, 0, 0};
  for (int x = 0; x < 200; ++x) {
    if (selected.At(x, 1) == 0xFFBAE4FF) band.right = x + 1;
  }
  EXPECT_NEAR(band.right, Width(L"ab"), 1);
  // <u> and <i> derive fonts from the current one; italic text is followed by half a blank.
  EXPECT_NEAR(Measure(L"<u>ab</u>").right, Width(L"ab"), 1);
  EXPECT_NEAR(Measure(L"<i>ab</i>c").right, Width(L"ab") + Width(L" ") / 2 + Width(L"c"), 2);
  // <f name size style> makes a font of that face and size: taller text.
  RECT big = Measure(L"<f 宋体 30 bold>ab</f>");
  EXPECT_GT(big.bottom, 30);
}

TEST_F(MarkupTextTest, LinksReportRectanglesTextsAndHover) {
  Canvas canvas(300, 40, kWhite);
  RECT rect = {0, 0, 300, 40};
  ASSERT_EQ(Paint(canvas, rect, L"go <a http://x>here</a> now", DT_SINGLELINE, 4), 1);
  EXPECT_EQ(texts_[0], L"http://x");
  EXPECT_NEAR(links_[0].left, Width(L"go "), 2);
  EXPECT_NEAR(links_[0].right - links_[0].left, Width(L"here"), 2);
  EXPECT_EQ(links_[0].bottom - links_[0].top, tm_.tmHeight);
  EXPECT_GT(Tinted(canvas, 300, 40, 0), 5);  // link colour: blue

  host_.mouse = {links_[0].left + 2, links_[0].top + 2};
  Canvas hovered(300, 40, kWhite);
  Paint(hovered, rect, L"go <a http://x>here</a> now", DT_SINGLELINE, 4);
  EXPECT_EQ(Tinted(hovered, 300, 40, 0), 0);
  EXPECT_GT(Tinted(hovered, 300, 40, 16), 5);  // hover colour: red-violet
  host_.mouse = {-1, -1};

  // A link that wraps gets one rectangle per line; the caller's capacity is respected.
  Canvas wrapped(300, 60, kWhite);
  RECT narrow = {0, 0, Width(L"aaa bbb") + 2, 60};
  ASSERT_EQ(Paint(wrapped, narrow, L"<a u>aaa bbb ccc</a>", DT_WORDBREAK, 4), 2);
  EXPECT_EQ(texts_[1], L"u");
  EXPECT_EQ(links_[1].top - links_[0].top, tm_.tmHeight);
  Canvas limited(300, 40, kWhite);
  EXPECT_EQ(Paint(limited, rect, L"<a 1>a</a> <a 2>b</a>", 0, 1), 1);
}

TEST_F(MarkupTextTest, SingleLineTextIsPlacedByItsFlags) {
  const struct {
    UINT flags;
    bool centre, right, vcentre;
  } cases[] = {
      {DT_SINGLELINE, false, false, false},
      {DT_SINGLELINE | DT_CENTER | DT_VCENTER, true, false, true},
      {DT_SINGLELINE | DT_RIGHT, false, true, false},
  };
  const int w = Width(L"abc");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.flags);
    Canvas canvas(200, 60, kWhite);
    Paint(canvas, {10, 0, 190, 60}, L"abc", c.flags);
    RECT ink = canvas.InkBox();
    ASSERT_LT(ink.left, ink.right);
    if (c.centre) {
      EXPECT_NEAR((ink.left + ink.right) / 2, 100, 3);
    } else if (c.right) {
      EXPECT_NEAR(ink.right, 190, 3);
      EXPECT_NEAR(ink.left, 190 - w, 3);
    } else {
      EXPECT_NEAR(ink.left, 10, 2);
    }
    if (c.vcentre) {
      EXPECT_NEAR((ink.top + ink.bottom) / 2, 30, 4);
    } else {
      EXPECT_LT(ink.top, tm_.tmHeight);
    }
  }
}

// Multi-line text is aligned line by line: the runs of a line move together.
TEST_F(MarkupTextTest, MultiLineAlignmentMovesWholeLines) {
  for (UINT flags : {UINT(DT_CENTER), UINT(DT_RIGHT)}) {
    Canvas canvas(200, 60, kWhite);
    Paint(canvas, {0, 0, 200, 60}, L"ab <b>cd</b> ef<n>g", flags);
    RECT ink = canvas.InkBox();
    RECT firstLine = {200, 0, 0, 0};
    for (int y = 0; y < tm_.tmHeight; ++y) {
      for (int x = 0; x < 200; ++x) {
        if (canvas.At(x, y) == kWhite) continue;
        firstLine.left = std::min<LONG>(firstLine.left, x);
        firstLine.right = std::max<LONG>(firstLine.right, x + 1);
      }
    }
    EXPECT_NEAR(firstLine.right - firstLine.left, Width(L"ab cd ef"), 3) << flags;
    if (flags == DT_CENTER) {
      EXPECT_NEAR((firstLine.left + firstLine.right) / 2, 100, 3);
    } else {
      EXPECT_NEAR(firstLine.right, 200, 2);
      EXPECT_NEAR(ink.right, 200, 2);
    }
  }
}

TEST_F(MarkupTextTest, OverflowIsCutOrEndsWithAnEllipsis) {
  const wchar_t* text = L"abcdefghijklmnopqrstuvwxyz";
  const int limit = Width(L"abcdefghij");
  Canvas cut(300, 30, kWhite), dots(300, 30, kWhite);
  Paint(cut, {0, 0, limit, 30}, text, DT_SINGLELINE);
  Paint(dots, {0, 0, limit, 30}, text, DT_SINGLELINE | DT_END_ELLIPSIS);
  EXPECT_LE(cut.InkBox().right, limit);
  EXPECT_LE(dots.InkBox().right, limit);
  // The dots replace letters: the ellipsized line has less ink in its last few columns.
  int cutInk = 0, dotInk = 0;
  for (int x = limit - Width(L"..."); x < limit; ++x) {
    for (int y = 0; y < 30; ++y) {
      cutInk += cut.At(x, y) != kWhite;
      dotInk += dots.At(x, y) != kWhite;
    }
  }
  EXPECT_LT(dotInk, cutInk);
  EXPECT_GT(dotInk, 0);
}

TEST_F(MarkupTextTest, NothingHappensWithoutTextHostOrRoom) {
  Canvas canvas(50, 20, kWhite);
  RECT rect = {0, 0, 50, 20}, empty = {5, 5, 5, 5};
  int count = 4;
  CDrawEngine::PaintMarkupText(canvas.dc(), nullptr, rect, L"abc", 0xFF000000, links_, texts_, count, 0);
  CDrawEngine::PaintMarkupText(canvas.dc(), &host_, rect, nullptr, 0xFF000000, links_, texts_, count, 0);
  CDrawEngine::PaintMarkupText(canvas.dc(), &host_, empty, L"abc", 0xFF000000, links_, texts_, count, 0);
  EXPECT_EQ(canvas.Count(kWhite), 50 * 20);
  EXPECT_EQ(count, 4);
}

TEST_F(MarkupTextTest, PlainTextDrawsDirectlyOrThroughAnAlphaBitmap) {
  Canvas canvas(100, 30, kWhite);
  CDrawEngine::PaintPlainText(canvas.dc(), &host_, {0, 0, 100, 30}, L"&abc", 0xFFFF0000, 0, DT_SINGLELINE);
  EXPECT_GT(Tinted(canvas, 100, 30, 16), 5);
  EXPECT_NEAR(canvas.InkBox().right - canvas.InkBox().left, Width(L"&abc"), 3);  // no prefix processing

  host_.layered = true;
  Canvas layered(100, 30, 0);
  CDrawEngine::PaintPlainText(layered.dc(), &host_, {0, 0, 100, 30}, L"abc", 0xFF0000FF, 0,
                              DT_SINGLELINE | DT_CENTER | DT_VCENTER);
  RECT ink = layered.InkBox();
  ASSERT_LT(ink.left, ink.right);
  EXPECT_NEAR((ink.left + ink.right) / 2, 50, 3);
  bool premultiplied = true, opaqueSeen = false;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 100; ++x) {
      DWORD p = layered.At(x, y);
      premultiplied &= (p & 0xFF) <= (p >> 24) && ((p >> 16) & 0xFF) == 0;
      opaqueSeen |= (p >> 24) > 0xC0;
    }
  }
  EXPECT_TRUE(premultiplied);
  EXPECT_TRUE(opaqueSeen);
}

}  // namespace
