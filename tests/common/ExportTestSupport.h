#pragma once

// Helpers for the export tests: an album of pictures made on the spot, an
// export run through MediaEncoder in its own thread (as the editor runs it),
// and independent looks at the result with the ffmpeg tools.

#include "common/TestMedia.h"

#include <QImage>
#include <QList>
#include <QRgb>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <cstdint>
#include <functional>

class MediaEncoder;

namespace exporttest {

// Empties the album and sets the editor's defaults and an export of szFormat
// to szDir/szName at iFps, 44100 Hz stereo, automatic bit rates, with the
// frame size set directly to iWidth x iHeight (16:9 unless given).
void resetAlbum(const QString &szDir, const QString &szName, const QString &szFormat, int iFps = 24,
                int iWidth = 320, int iHeight = 180);

// What the export settings dialog sets: an export of szFormat to
// szDir/szName at iFps, 44100 Hz stereo, automatic bit rates, sound in
// every format that has it. The album itself is left as it is.
void setExportTarget(const QString &szDir, const QString &szName, const QString &szFormat, int iFps = 24);

// Appends a picture file as the import would, with its size and ratio from
// decodeEdgeFrames; false when it does not decode.
bool appendImage(const QString &szPath, int64_t iRotation = 0);

// Appends a video clip as the import would: the duration of its first
// picture stream (of the container when the stream has none), the size and
// ratio of its first picture; false when it does not decode.
bool appendClip(const QString &szPath, int64_t iRotation = 0);

// Writes a clip with the ffmpeg CLI: the lavfi picture source (e.g.
// "testsrc2=s=160x90:r=30:d=2") as H.264, and when given the lavfi sound
// source (e.g. "sine=f=1000:d=2") as AAC; extraArgs go before the output.
bool makeClip(const QString &szPath, const QString &szVideoSource, const QString &szAudioSource = QString(),
              const QStringList &extraArgs = QStringList());

// A "counter" clip's lavfi source: frame N has luma 40 + 9 * (N mod 20) in
// its upper half and 40 + 9 * (N / 20) in its lower half; up to 400 frames.
QString counterSource(int iFps, double lfSeconds, const QString &szSize = "64x64");

// Sets how long each image stays, in microseconds (the total follows).
void setImageDurationUs(int64_t iMicroseconds);

// Writes a picture with the ffmpeg CLI from a lavfi source such as
// "color=c=red:s=320x180"; false on failure.
bool makePicture(const QString &szPath, const QString &szLavfiSource);
// Writes an image through Qt (PNG keeps alpha).
bool savePicture(const QString &szPath, const QImage &stImage);

struct ExportResult
{
    bool bFinished = false;     // a result signal came before the timeout
    bool bSucceeded = false;
    QString szError;
    QList<int> progress;        // every sig_exportProgress value, in order
};

// Runs one export through a MediaEncoder in its own thread. pfnInWorker
// (optional) is called in the worker thread after every progress value
// with the encoder and the number of values so far, e.g. to cancel.
ExportResult runExport(int iTimeoutMs = 120000,
                       const std::function<void(MediaEncoder &, int)> &pfnInWorker = nullptr);

// The output path the renderer builds from the album state.
QString outputPath();

// Frames iFirst .. iFirst + iCount - 1 of the first video stream decoded by
// the ffmpeg CLI, as RGB images; empty on failure. stSize is the frame size
// when known (saves asking ffprobe).
QList<QImage> decodeFrames(const QString &szPath, int iFirst, int iCount, QSize stSize = QSize());
QImage decodeFrame(const QString &szPath, int iIndex, QSize stSize = QSize());

// End of a stream on the file's timeline (the latest packet time plus its
// duration), in seconds, and the longest packet duration; false on failure.
bool streamEnd(const QString &szPath, const QString &szType, double *plfEnd, double *plfLongestPacket);

// The first sound stream decoded by the ffmpeg CLI to 32-bit float at its own
// rate: the samples of channel iChannel, the rate in *piRate (optional).
// Empty on failure.
QVector<float> decodeSound(const QString &szPath, int iChannel = 0, int *piRate = nullptr);

// Amplitude of the lfHz component of samples [iFrom, iTo) (Goertzel), and
// the root mean square of the same stretch.
double toneAmplitude(const QVector<float> &samples, int iRate, double lfHz, int iFrom, int iTo);
double rootMeanSquare(const QVector<float> &samples, int iFrom, int iTo);

// Every entry of a folder, hidden ones included (no "." / "..").
QStringList folderEntries(const QString &szDir);

using testmedia::maxDifference;
using testmedia::meanDifference;

// Smallest rectangle holding every pixel for which pfnMatch is true; null when none.
QRect boundingBox(const QImage &stImage, const std::function<bool(QRgb)> &pfnMatch);

} // namespace exporttest
