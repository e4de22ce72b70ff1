#pragma once
// Effect chains: attaching plug-ins to selections, rebinding a stored chain
// caption, and running one effect or a whole chain over a frame bitmap.
// Errors raised inside a plug-in reach the caller as std::exception.

#include "pluginhost/PluginRecord.h"
#include "selection/Selection.h"

#include <QImage>
#include <QString>

#include <vector>

namespace stillora {

// Runs one effect: `dst` becomes the effect of the plug-in on `src`. Both are
// 32-bit frame bitmaps (QImage::Format_RGB32); the plug-in works on
// temporary copies. A plug-in of the older hand-over (Version 256) gets the
// two QImage objects themselves through RunProc.
void ApplyEffectEntry(const TPluginRecord& entry, QImage& src, QImage& dst);

// Runs `entries` in order over `picture`, each effect reading the output of
// the one before.
void RunChain(const std::vector<TPluginRecord>& entries, QImage& picture);

// The picture as the image viewer shows it: the selection's chain (if any)
// followed by the highlighted plug-ins.
void PreviewChain(const TSelection* selection, const std::vector<TPluginRecord>& highlighted, QImage& picture);

// Appends copies of `records` to the chain, after clearing it unless `keep`.
void AttachEffects(TSelection& selection, const std::vector<TPluginRecord>& records, bool keep);

} // namespace stillora
