// Rectangle helpers. An empty rectangle has no width or no height.
#include <algorithm>

#include <windows.h>

BOOL SetRect(LPRECT rect, int left, int top, int right, int bottom) {
  if (!rect) return FALSE;
  *rect = {left, top, right, bottom};
  return TRUE;
}

BOOL SetRectEmpty(LPRECT rect) { return SetRect(rect, 0, 0, 0, 0); }

BOOL CopyRect(LPRECT dest, const RECT* src) {
  if (!dest || !src) return FALSE;
  *dest = *src;
  return TRUE;
}

BOOL IsRectEmpty(const RECT* rect) { return !rect || rect->right <= rect->left || rect->bottom <= rect->top; }

BOOL EqualRect(const RECT* a, const RECT* b) {
  if (!a || !b) return FALSE;
  return a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom;
}

BOOL PtInRect(const RECT* rect, POINT point) {
  return rect && point.x >= rect->left && point.x < rect->right && point.y >= rect->top && point.y < rect->bottom;
}

BOOL OffsetRect(LPRECT rect, int dx, int dy) {
  if (!rect) return FALSE;
  rect->left += dx;
  rect->right += dx;
  rect->top += dy;
  rect->bottom += dy;
  return TRUE;
}

BOOL InflateRect(LPRECT rect, int dx, int dy) {
  if (!rect) return FALSE;
  rect->left -= dx;
  rect->right += dx;
  rect->top -= dy;
  rect->bottom += dy;
  return TRUE;
}

// The intersection, or an empty rectangle (and FALSE) when there is none.
BOOL IntersectRect(LPRECT dest, const RECT* a, const RECT* b) {
  if (!dest || !a || !b) return FALSE;
  RECT r = {std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
            std::min(a->bottom, b->bottom)};
  if (IsRectEmpty(&r)) {
    SetRectEmpty(dest);
    return FALSE;
  }
  *dest = r;
  return TRUE;
}

// The bounding rectangle of both; empty inputs do not count.
BOOL UnionRect(LPRECT dest, const RECT* a, const RECT* b) {
  if (!dest || !a || !b) return FALSE;
  if (IsRectEmpty(a)) {
    if (IsRectEmpty(b)) {
      SetRectEmpty(dest);
      return FALSE;
    }
    *dest = *b;
    return TRUE;
  }
  if (IsRectEmpty(b)) {
    *dest = *a;
    return TRUE;
  }
  *dest = {std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
           std::max(a->bottom, b->bottom)};
  return TRUE;
}
