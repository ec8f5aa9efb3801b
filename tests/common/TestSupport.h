#pragma once

#include <QImage>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

// Helpers shared by the tests: running the ffmpeg tools that make test media
// and check our output independently of our own code.
namespace testsupport {

struct ToolResult
{
    int iExitCode = -1;
    bool bFinished = false;
    QByteArray stdOut;
    QByteArray stdErr;
};

// Runs a program to completion (or the timeout) and collects its output.
ToolResult runTool(const QString &szProgram, const QStringList &args, int iTimeoutMs = 60000);

// Runs `ffmpeg -hide_banner -loglevel error -y <args>`; true on exit code 0.
bool ffmpeg(const QStringList &args, QString *pszError = nullptr);

// ffprobe's JSON (-show_format -show_streams) of a file; empty when it fails.
QJsonObject ffprobe(const QString &szPath);

// The first stream of codec_type szType ("video"/"audio") in ffprobe's JSON.
QJsonObject probeStream(const QJsonObject &stProbe, const QString &szType);

// Number of decoded video frames, counted by ffprobe (-count_frames); -1 on failure.
int countVideoFrames(const QString &szPath);

// The whole screen (after a moment for the X server to draw); kept as
// <szName>.png in the folder PICTORA_SHOT_DIR names, when it is set.
QImage grabScreen(const QString &szName);

// What a tool tip reads on screen: Qt shows a tip that might be rich text as markup.
QString toolTipAsRead(const QString &szTip);

// Directory holding Pictora's programs in the build tree.
QString binDir();

// Pixels of stArea that fnMatch accepts.
int countPixels(const QImage &image, const QRect &stArea, const std::function<bool(QRgb)> &fnMatch);
// The lowest grey level in stArea (255 for an empty area).
int darkestGrey(const QImage &image, const QRect &stArea);

// While it lives, no file of this process may grow beyond iBytes: writes
// past that fail with EFBIG, as on a full disk (the signal that would end
// the process is ignored meanwhile). One at a time.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(uint64_t iBytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;
    bool isSet() const { return m_bSet; }

private:
    uint64_t m_iOldLimit = 0;
    void (*m_pfnOldHandler)(int) = nullptr;
    bool m_bSet = false;
};

} // namespace testsupport
