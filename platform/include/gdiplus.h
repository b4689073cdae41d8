// The small GDI+ subset: anti-aliased paths filled with image brushes, over Cairo.
#pragma once

#include "windef.h"
#include "wingdi.h"

#define WINGDIPAPI

namespace Gdiplus {

typedef float REAL;

enum Status {
  Ok = 0,
  GenericError = 1,
  InvalidParameter = 2,
  OutOfMemory = 3,
  NotImplemented = 6,
};
typedef Status GpStatus;

enum SmoothingMode {
  SmoothingModeInvalid = -1,
  SmoothingModeDefault = 0,
  SmoothingModeHighSpeed = 1,
  SmoothingModeHighQuality = 2,
  SmoothingModeNone = 3,
  SmoothingModeAntiAlias = 4,
};

enum PixelOffsetMode {
  PixelOffsetModeInvalid = -1,
  PixelOffsetModeDefault = 0,
  PixelOffsetModeHighSpeed = 1,
  PixelOffsetModeHighQuality = 2,
  PixelOffsetModeNone = 3,
  PixelOffsetModeHalf = 4,
};

enum FillMode { FillModeAlternate = 0, FillModeWinding = 1 };

enum WrapMode {
  WrapModeTile = 0,
  WrapModeTileFlipX = 1,
  WrapModeTileFlipY = 2,
  WrapModeTileFlipXY = 3,
  WrapModeClamp = 4,
};

struct GdiplusStartupInput {
  UINT GdiplusVersion = 1;
  void* DebugEventCallback = nullptr;
  BOOL SuppressBackgroundThread = FALSE;
  BOOL SuppressExternalCodecs = FALSE;
};

struct GdiplusStartupOutput {
  void* NotificationHook;
  void* NotificationUnhook;
};

Status GdiplusStartup(ULONG_PTR* token, const GdiplusStartupInput* input, GdiplusStartupOutput* output);
void GdiplusShutdown(ULONG_PTR token);

// Opaque objects of the flat API; the library derives its implementations from them.
class GpGraphics {
 public:
  virtual ~GpGraphics() = default;
};
class GpImage {
 public:
  virtual ~GpImage() = default;
};
class GpBitmap : public GpImage {};
class GpPath {
 public:
  virtual ~GpPath() = default;
};
class GpBrush {
 public:
  virtual ~GpBrush() = default;
};
class GpTexture : public GpBrush {};

namespace DllExports {

GpStatus WINGDIPAPI GdipCreateFromHDC(HDC dc, GpGraphics** graphics);
GpStatus WINGDIPAPI GdipDeleteGraphics(GpGraphics* graphics);
GpStatus WINGDIPAPI GdipSetSmoothingMode(GpGraphics* graphics, SmoothingMode mode);
GpStatus WINGDIPAPI GdipSetPixelOffsetMode(GpGraphics* graphics, PixelOffsetMode mode);
GpStatus WINGDIPAPI GdipCreateBitmapFromHBITMAP(HBITMAP bitmap, HPALETTE palette, GpBitmap** result);
GpStatus WINGDIPAPI GdipDisposeImage(GpImage* image);
GpStatus WINGDIPAPI GdipCreatePath(FillMode fillMode, GpPath** path);
GpStatus WINGDIPAPI GdipDeletePath(GpPath* path);
GpStatus WINGDIPAPI GdipAddPathArcI(GpPath* path, INT x, INT y, INT width, INT height, REAL startAngle,
                                    REAL sweepAngle);
GpStatus WINGDIPAPI GdipAddPathLineI(GpPath* path, INT x1, INT y1, INT x2, INT y2);
GpStatus WINGDIPAPI GdipClosePathFigure(GpPath* path);
GpStatus WINGDIPAPI GdipCreateTexture(GpImage* image, WrapMode wrapMode, GpTexture** texture);
GpStatus WINGDIPAPI GdipDeleteBrush(GpBrush* brush);
GpStatus WINGDIPAPI GdipFillPath(GpGraphics* graphics, GpBrush* brush, GpPath* path);

}  // namespace DllExports

}  // namespace Gdiplus
