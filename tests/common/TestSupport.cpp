#include "common/TestSupport.h"

#include <csignal>

#include <sys/resource.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QGuiApplication>
#include <QProcess>
#include <QScreen>
#include <QTest>
#include <QTextDocument>
#include <QTextDocumentFragment>

namespace testsupport {

ToolResult runTool(const QString &szProgram, const QStringList &args, int iTimeoutMs)
{
    ToolResult st;
    QProcess process;
    process.start(szProgram, args);
    if (!process.waitForStarted(10000))
        return st;
    st.bFinished = process.waitForFinished(iTimeoutMs);
    if (!st.bFinished) {
        process.kill();
        process.waitForFinished(5000);
    }
    st.iExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    st.stdOut = process.readAllStandardOutput();
    st.stdErr = process.readAllStandardError();
    return st;
}

bool ffmpeg(const QStringList &args, QString *pszError)
{
    const ToolResult st = runTool(QStringLiteral("ffmpeg"),
                                  QStringList{"-hide_banner", "-loglevel", "error", "-y"} + args, 120000);
    if (pszError)
        *pszError = QString::fromLocal8Bit(st.stdErr);
    return st.bFinished && st.iExitCode == 0;
}

QJsonObject ffprobe(const QString &szPath)
{
    const ToolResult st = runTool(QStringLiteral("ffprobe"),
                                  {"-v", "error", "-print_format", "json", "-show_format", "-show_streams", szPath});
    if (!st.bFinished || st.iExitCode != 0)
        return {};
    return QJsonDocument::fromJson(st.stdOut).object();
}

QJsonObject probeStream(const QJsonObject &stProbe, const QString &szType)
{
    const QJsonArray streams = stProbe.value(QStringLiteral("streams")).toArray();
    for (const QJsonValue &v : streams) {
        if (v.toObject().value(QStringLiteral("codec_type")).toString() == szType)
            return v.toObject();
    }
    return {};
}

int countVideoFrames(const QString &szPath)
{
    // JSON rather than CSV: some containers add fields to the CSV line.
    const ToolResult st = runTool(QStringLiteral("ffprobe"),
                                  {"-v", "error", "-count_frames", "-select_streams", "v:0",
                                   "-show_entries", "stream=nb_read_frames", "-of", "json", szPath},
                                  300000);
    if (!st.bFinished || st.iExitCode != 0)
        return -1;
    const QJsonArray streams = QJsonDocument::fromJson(st.stdOut).object().value("streams").toArray();
    if (streams.isEmpty())
        return -1;
    bool bOk = false;
    const int n = streams.first().toObject().value("nb_read_frames").toString().toInt(&bOk);
    return bOk ? n : -1;
}

QImage grabScreen(const QString &szName)
{
    QTest::qWait(200);
    const QImage image = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
    const QString szDir = qEnvironmentVariable("PICTORA_SHOT_DIR");
    if (!szDir.isEmpty())
        image.save(szDir + '/' + szName + ".png");
    return image;
}

QString toolTipAsRead(const QString &szTip)
{
    return Qt::mightBeRichText(szTip) ? QTextDocumentFragment::fromHtml(szTip).toPlainText() : szTip;
}

QString binDir()
{
    return QStringLiteral(PICTORA_BIN_DIR);
}

int countPixels(const QImage &image, const QRect &stArea, const std::function<bool(QRgb)> &fnMatch)
{
    int n = 0;
    const QRect stInside = stArea & image.rect();
    for (int y = stInside.top(); y <= stInside.bottom(); ++y)
        for (int x = stInside.left(); x <= stInside.right(); ++x)
            n += fnMatch(image.pixel(x, y));
    return n;
}

int darkestGrey(const QImage &image, const QRect &stArea)
{
    int iDarkest = 255;
    countPixels(image, stArea, [&](QRgb c) {
        iDarkest = std::min(iDarkest, qGray(c));
        return false;
    });
    return iDarkest;
}

FileSizeLimit::FileSizeLimit(uint64_t iBytes)
{
    rlimit stLimit{};
    if (::getrlimit(RLIMIT_FSIZE, &stLimit) != 0)
        return;
    m_iOldLimit = stLimit.rlim_cur;
    m_pfnOldHandler = std::signal(SIGXFSZ, SIG_IGN);
    stLimit.rlim_cur = static_cast<rlim_t>(iBytes);
    m_bSet = ::setrlimit(RLIMIT_FSIZE, &stLimit) == 0;
    if (!m_bSet)
        std::signal(SIGXFSZ, m_pfnOldHandler);
}

FileSizeLimit::~FileSizeLimit()
{
    if (!m_bSet)
        return;
    rlimit stLimit{};
    if (::getrlimit(RLIMIT_FSIZE, &stLimit) == 0) {
        stLimit.rlim_cur = static_cast<rlim_t>(m_iOldLimit);
        ::setrlimit(RLIMIT_FSIZE, &stLimit);
    }
    std::signal(SIGXFSZ, m_pfnOldHandler);
}

} // namespace testsupport
