#pragma once

#include <QImage>
#include <QString>

#include <vector>

namespace art {

// Writes an endlessly looping GIF of equally long frames. The frames are
// opaque (alpha is ignored); their colours share one palette of at most 256
// entries, the most frequent ones, and rarer colours take the nearest entry.
bool writeGif(const QString &szPath, const std::vector<QImage> &listFrames, int iDelayMs, QString *pszError);

} // namespace art
