// pictora-artgen: draws every registered picture of the resource tree and
// writes the .qrc that compiles them, together with the hand-written files
// (style sheets) of the theme folders and our own web pages, into the program.
//
//   pictora-artgen <output folder> <source resource folder> <qrc file>
//   pictora-artgen --icons <output folder>     (the desktop icons alone)

#include "ArtRegistry.h"
#include "GifWriter.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMap>
#include <QTextStream>

#include <cstdio>

namespace {

QString hiDpiName(const QString &szPath)
{
    const int iDot = szPath.lastIndexOf('.');
    return szPath.left(iDot) + QStringLiteral("@2x") + szPath.mid(iDot);
}

QString stateName(const QString &szPath, art::State eState)
{
    const int iDot = szPath.lastIndexOf('.');
    return szPath.left(iDot) + '_' + QString::fromLatin1(art::stateSuffix(eState)) + szPath.mid(iDot);
}

class Writer
{
public:
    explicit Writer(const QString &szOutDir) : m_dir(szOutDir) {}

    bool add(const QString &szAlias, const QImage &image)
    {
        const QString szFile = m_dir.filePath(szAlias);
        if (!claim(szAlias, szFile))
            return false;
        QDir().mkpath(QFileInfo(szFile).absolutePath());
        if (!image.save(szFile, "PNG"))
            return fail(QStringLiteral("cannot write %1").arg(szFile));
        return true;
    }

    bool addPicture(const QString &szAlias, QSize stSize, const art::DrawFn &fnDraw)
    {
        return add(szAlias, art::render(stSize, 1, fnDraw)) && add(hiDpiName(szAlias), art::render(stSize, 2, fnDraw));
    }

    bool addGif(const art::Entry &stEntry)
    {
        const QString szFile = m_dir.filePath(stEntry.szPath);
        if (!claim(stEntry.szPath, szFile))
            return false;
        QDir().mkpath(QFileInfo(szFile).absolutePath());
        std::vector<QImage> frames;
        for (int i = 0; i < stEntry.iFrames; ++i) {
            QImage frame(stEntry.stSize, QImage::Format_ARGB32_Premultiplied);
            frame.fill(stEntry.stMatte);
            QPainter painter(&frame);
            painter.setRenderHint(QPainter::Antialiasing);
            stEntry.fnFrameDraw(painter, QSizeF(stEntry.stSize), i);
            painter.end();
            frames.push_back(frame);
        }
        QString szError;
        if (!art::writeGif(szFile, frames, stEntry.iDelayMs, &szError))
            return fail(QStringLiteral("cannot write %1: %2").arg(szFile, szError));
        return true;
    }

    // Hand-written files of the source tree go in under their own names.
    bool addStatic(const QString &szAlias, const QString &szFile) { return claim(szAlias, szFile); }

    bool writeQrc(const QString &szQrc)
    {
        QByteArray text("<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/\">\n");
        for (auto it = m_files.constBegin(); it != m_files.constEnd(); ++it)
            text += QStringLiteral("  <file alias=\"%1\">%2</file>\n").arg(it.key(), it.value()).toUtf8();
        text += "</qresource>\n</RCC>\n";
        QFile file(szQrc);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
            return fail(QStringLiteral("cannot write %1").arg(szQrc));
        return true;
    }

    int count() const { return m_files.size(); }

private:
    bool claim(const QString &szAlias, const QString &szFile)
    {
        if (m_files.contains(szAlias))
            return fail(QStringLiteral("%1 is made twice").arg(szAlias));
        m_files.insert(szAlias, QFileInfo(szFile).absoluteFilePath());
        return true;
    }

    static bool fail(const QString &szMessage)
    {
        std::fprintf(stderr, "pictora-artgen: %s\n", qPrintable(szMessage));
        return false;
    }

    QDir m_dir;
    QMap<QString, QString> m_files; // alias -> file
};

bool writeEntry(Writer &writer, const art::Entry &stEntry)
{
    switch (stEntry.eKind) {
    case art::Entry::Kind::Picture:
        return writer.addPicture(stEntry.szPath, stEntry.stSize, stEntry.fnDraw);
    case art::Entry::Kind::Strip: {
        const QSize stState = stEntry.stSize;
        const QSize stStrip(stState.width(), stState.height() * 4);
        const art::DrawFn fnStrip = [&stEntry, stState](QPainter &painter, const QSizeF &) {
            for (int i = 0; i < 4; ++i) {
                painter.save();
                painter.translate(0, i * stState.height());
                painter.setClipRect(QRectF(QPointF(0, 0), QSizeF(stState)));
                stEntry.fnStateDraw(painter, QSizeF(stState), art::kStates[i]);
                painter.restore();
            }
        };
        if (!writer.add(stEntry.szPath, art::render(stStrip, stEntry.iScale, fnStrip)))
            return false;
        for (art::State eState : art::kStates) {
            const art::DrawFn fnState = [&stEntry, eState](QPainter &painter, const QSizeF &stArea) {
                stEntry.fnStateDraw(painter, stArea, eState);
            };
            if (!writer.addPicture(stateName(stEntry.szPath, eState), stState, fnState))
                return false;
        }
        return true;
    }
    case art::Entry::Kind::Animation:
        return writer.addGif(stEntry);
    case art::Entry::Kind::DesktopIcon:
        return true;    // not part of the resources
    }
    return false;
}

bool writeDesktopIcons(const QString &szOutDir)
{
    for (const art::Entry &stEntry : art::entries()) {
        if (stEntry.eKind != art::Entry::Kind::DesktopIcon)
            continue;
        for (int iSize : art::kDesktopIconSizes) {
            const QString szDir = QStringLiteral("%1/hicolor/%2x%2/apps").arg(szOutDir).arg(iSize);
            const QString szFile = QStringLiteral("%1/%2.png").arg(szDir, stEntry.szPath);
            if (!QDir().mkpath(szDir) || !art::render(QSize(iSize, iSize), 1, stEntry.fnDraw).save(szFile, "PNG")) {
                std::fprintf(stderr, "pictora-artgen: cannot write %s\n", qPrintable(szFile));
                return false;
            }
        }
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // Text in pictures needs a font database, and nothing here needs a screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--icons"))
        return writeDesktopIcons(args[2]) ? 0 : 1;
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: pictora-artgen <output folder> <source resource folder> <qrc file>\n");
        return 2;
    }
    Writer writer(args[1]);
    for (const art::Entry &stEntry : art::entries())
        if (!writeEntry(writer, stEntry))
            return 1;

    const QDir source(args[2]);
    for (const QString &szTheme : source.entryList({QStringLiteral("theme_*"), QStringLiteral("web")}, QDir::Dirs)) {
        QDirIterator it(source.filePath(szTheme), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString szFile = it.next();
            if (!writer.addStatic(source.relativeFilePath(szFile), szFile))
                return 1;
        }
    }
    return writer.writeQrc(args[3]) ? 0 : 1;
}
