// The text engine shared by the GDI text functions: one Pango context over a fontconfig
// configuration that carries the platform's face-name aliases. Pango objects are not
// thread-safe, so every use holds TextLock().
#pragma once

#include <pango/pangocairo.h>

#include <mutex>

#include "internal/gdi.h"

namespace kvplat {

std::recursive_mutex& TextLock();
// The process's Pango context (caller holds TextLock()).
PangoContext* TextContext();
// Metrics of a font in whole pixels, computed on first use (caller holds TextLock()).
const TEXTMETRICW& FontMetrics(GdiFont& font);

}  // namespace kvplat
