#include "FuzzSupport.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" {
#include <libavutil/log.h>
}

namespace fuzzsupport {

namespace {

void dropMessage(QtMsgType, const QMessageLogContext &, const QString &) {}

QTemporaryDir &inputFolder()
{
    static QTemporaryDir s_folder(QDir::tempPath() + QStringLiteral("/pictora-fuzz-XXXXXX"));
    return s_folder;
}

bool startsWith(const uint8_t *pData, size_t iSize, size_t iOffset, const char *szMagic, size_t iLength)
{
    return iSize >= iOffset + iLength && std::memcmp(pData + iOffset, szMagic, iLength) == 0;
}

} // namespace

void startQuietApplication(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qInstallMessageHandler(dropMessage);
    av_log_set_level(AV_LOG_QUIET);
    // The application lives as long as the process.
    static QGuiApplication *s_pApp = new QGuiApplication(*argc, *argv);
    (void)s_pApp;
    if (!inputFolder().isValid())
        fail("cannot make a folder for the inputs");
}

QString writeInputFile(const uint8_t *pData, size_t iSize, const char *szSuffix)
{
    const QString szPath = inputFolder().filePath(QStringLiteral("input.") + QLatin1String(szSuffix));
    QFile file(szPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(reinterpret_cast<const char *>(pData), static_cast<qint64>(iSize)) != static_cast<qint64>(iSize))
        fail("cannot write the input file");
    return szPath;
}

const char *materialSuffix(const uint8_t *pData, size_t iSize)
{
    static const struct
    {
        size_t iOffset;
        const char *szMagic;
        size_t iLength;
        const char *szSuffix;
    } kSignatures[] = {
        {0, "\x89PNG", 4, "png"},       {0, "\xFF\xD8\xFF", 3, "jpg"},  {0, "GIF8", 4, "gif"},
        {0, "\x1A\x45\xDF\xA3", 4, "mkv"}, {8, "AVI ", 4, "avi"},       {0, "FLV", 3, "flv"},
        {4, "ftyp", 4, "mp4"},          {0, "OggS", 4, "ogv"},           {0, "\x00\x00\x01\xBA", 4, "mpg"},
        {0, "\x30\x26\xB2\x75", 4, "wmv"}, {0, ".RMF", 4, "rm"},         {0, "\x47", 1, "ts"},
        {0, "\x06\x0E\x2B\x34", 4, "mxf"},
    };
    for (const auto &st : kSignatures)
        if (startsWith(pData, iSize, st.iOffset, st.szMagic, st.iLength))
            return st.szSuffix;
    return "mp4";
}

void fail(const char *szWhat)
{
    std::fprintf(stderr, "fuzz target: %s\n", szWhat);
    std::abort();
}

} // namespace fuzzsupport
