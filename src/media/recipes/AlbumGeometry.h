#pragma once

// Where the album's pictures and watermark sit: the export frame size from
// the tier and the ratio, and the watermark's rectangle on a frame. The
// export, the preview and the editor all place them with these.

#include <QFont>
#include <QRect>
#include <QString>

// Recomputes the album's iExportWidth x iExportHeight from its tier and ratio.
void updateExportSize();

// Watermark geometry on a W x H frame; pos is one of the nine position codes.
QRect placeWatermark(int w, int h, int pos, int W, int H);
QRect textWatermarkRect(const QString &szText, const QFont &stFont, int pos, int W, int H);
QRect imageWatermarkRect(int imageW, int imageH, int pos, int W, int H);
