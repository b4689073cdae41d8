// Text with inline tags (<b>, <c #AARRGGBB>, <f ...>, <a ...>, <i ...>, <n>, <p n>, <r>,
// <s>, <u>, <x n>, <y n>, with { } as alternative brackets), laid out line by line:
// each line is measured first (height, links) and then painted from the same start state.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/framework/DrawHost.h"

namespace SkinUI {

class CMarkupTextPainter {
 public:
  CMarkupTextPainter(HDC dc, IDrawHost* host, DWORD color, RECT* linkRects, std::wstring* linkTexts, int linkCapacity,
                     UINT flags);
  // Paints the text in rect (or, with DT_CALCRECT, shrinks rect to the text); returns the
  // number of link rectangles filled.
  int Paint(RECT& rect, LPCWSTR text);

 private:
  // Everything a line's painting run restores from the line's start.
  struct State {
    const wchar_t* p = nullptr;
    std::vector<HFONT> fonts;
    std::vector<DWORD> colors;
    std::vector<int> paragraphs;
    bool raw = false;
    bool selected = false;
    int linkStart = -1;  // x where the open link's current rectangle starts; -1 = no link
    int linksUsed = 0;
    std::wstring linkText;
  };
  struct LineResult {
    int height = 0;
    int width = 0;
    bool stop = false;  // nothing more to lay out (single line ended, or end of text)
  };

  // Where the line being laid out stands.
  struct Line {
    int x;
    int y;
    int height;
    int shift;  // horizontal offset of the painting run (multi-line alignment)
    bool paint;
    bool ended;
  };

  int Layout(RECT& rect, LPCWSTR text);
  LineResult RunLine(State& s, Line line);
  bool HandleTag(State& s, Line& line);
  bool HandleImage(const std::wstring& value, Line& line);
  int DrawText(State& s, const wchar_t* text, int length, Line& line);
  void PushFont(State& s, HFONT font, Line& line);
  void PopFont(State& s, Line& line);
  int LineStartHeight(State& s);
  void RecordLink(State& s, const Line& line);
  HFONT DeriveFont(HFONT font, int bold, int underline, int italic);
  const TEXTMETRICW& Metrics(HFONT font);
  int TextWidth(HFONT font, const wchar_t* text, int length);
  bool IsHovered(const State& s, const std::wstring& text) const;

  HDC dc_;
  IDrawHost* host_;
  DWORD color_;
  RECT* linkRects_;
  std::wstring* linkTexts_;
  int linkCapacity_;
  UINT flags_;
  bool measureOnly_;
  bool singleLine_;
  RECT rc_ = {};
  int hovered_ = -1;
  int imageBottom_ = 0;
  TEXTMETRICW metrics_ = {};
};

}  // namespace SkinUI
