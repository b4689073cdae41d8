// Windows, messages, timers and input; rectangle helpers and text drawing.
#pragma once

#include "windef.h"

// ---------------------------------------------------------------------------------------
// Window classes, windows, messages, message loops and timers.
// ---------------------------------------------------------------------------------------


// (end of windows and messages)

// ---------------------------------------------------------------------------------------
// Rectangle helpers and text drawing (DrawTextW), used by the drawing code.
// ---------------------------------------------------------------------------------------

BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom);
BOOL SetRectEmpty(LPRECT rect);
BOOL CopyRect(LPRECT dest, const RECT* src);
BOOL IsRectEmpty(const RECT* rect);
BOOL EqualRect(const RECT* a, const RECT* b);
BOOL PtInRect(const RECT* rect, POINT point);
BOOL OffsetRect(LPRECT rect, int dx, int dy);
BOOL InflateRect(LPRECT rect, int dx, int dy);
BOOL IntersectRect(LPRECT dest, const RECT* a, const RECT* b);
BOOL UnionRect(LPRECT dest, const RECT* a, const RECT* b);
int FillRect(HDC dc, const RECT* rect, HBRUSH brush);

#define DT_TOP 0x00000000
#define DT_LEFT 0x00000000
#define DT_CENTER 0x00000001
#define DT_RIGHT 0x00000002
#define DT_VCENTER 0x00000004
#define DT_BOTTOM 0x00000008
#define DT_WORDBREAK 0x00000010
#define DT_SINGLELINE 0x00000020
#define DT_NOCLIP 0x00000100
#define DT_CALCRECT 0x00000400
#define DT_NOPREFIX 0x00000800
#define DT_END_ELLIPSIS 0x00008000
int DrawTextW(HDC dc, LPCWSTR text, int count, LPRECT rect, UINT format);

// (end of rectangle helpers and text drawing)
