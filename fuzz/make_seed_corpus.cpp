// pictora-fuzz-seeds <fuzz folder>: writes the seed corpora of the fuzz
// targets with the tests' own media generators: a few tiny files of every
// kind each target reads, so that fuzzing starts from inside the formats.

#include "common/TestMedia.h"
#include "common/TestSupport.h"

#include <QDir>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QDir g_root;
QTemporaryDir *g_pScratch = nullptr;
bool g_bOk = true;

void put(const char *szTarget, const QString &szName, const QByteArray &data)
{
    QDir dir(g_root.filePath(QStringLiteral("corpus/") + QLatin1String(szTarget)));
    if (data.isEmpty() || !dir.mkpath(QStringLiteral(".")) || !testmedia::writeFile(dir.filePath(szName), data)) {
        std::fprintf(stderr, "cannot make %s/%s\n", szTarget, qPrintable(szName));
        g_bOk = false;
    }
}

// A file made by the ffmpeg CLI from a lavfi source; empty when that fails.
QByteArray made(const QString &szName, const QStringList &args)
{
    const QString szPath = g_pScratch->filePath(szName);
    QString szError;
    if (!testsupport::ffmpeg(args + QStringList{szPath}, &szError)) {
        std::fprintf(stderr, "ffmpeg failed for %s: %s\n", qPrintable(szName), qPrintable(szError));
        return QByteArray();
    }
    return testmedia::readFile(szPath);
}

QByteArray picture(const QString &szName, const QString &szPixelFormat)
{
    return made(szName, {"-f", "lavfi", "-i", "testsrc2=s=32x24", "-frames:v", "1", "-pix_fmt", szPixelFormat});
}

QByteArray clip(const QString &szName, const QStringList &codec, const QString &szSize = "64x48")
{
    return made(szName, QStringList{"-f", "lavfi", "-i", "testsrc2=s=" + szSize + ":r=10:d=0.3"} + codec);
}

QByteArray tone(const QString &szName, const QStringList &codec)
{
    return made(szName, QStringList{"-f", "lavfi", "-i", "sine=f=440:r=8000:d=0.3", "-ac", "1"} + codec);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: pictora-fuzz-seeds <fuzz folder>\n");
        return 2;
    }
    g_root = QDir(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir scratch;
    g_pScratch = &scratch;

    const QByteArray jpeg = picture("p.jpg", "yuvj420p");
    const QByteArray png = picture("p.png", "rgb24");
    put("material_picture", "small.jpg", jpeg);
    put("material_picture", "grey.jpg", picture("g.jpg", "gray"));
    put("material_picture", "small.png", png);
    put("material_picture", "palette.png", picture("pal.png", "pal8"));
    put("material_picture", "alpha.png", picture("a.png", "rgba"));
    put("material_picture", "exif6.jpg", testmedia::withExifOrientation(jpeg, 6, true, false));
    put("material_picture", "exif8.png", testmedia::pngWithExifOrientation(png, 8, false));
    put("material_picture", "header-5000x3000.png", testmedia::pngWithHeaderSize(5000, 3000));

    put("material_clip", "mpeg4.mp4", clip("c.mp4", {"-c:v", "mpeg4"}));
    put("material_clip", "h264.mov", clip("c.mov", {"-c:v", "libx264", "-preset", "ultrafast"}));
    put("material_clip", "vp8.webm", clip("c.webm", {"-c:v", "libvpx", "-b:v", "50k"}));
    put("material_clip", "mjpeg.mkv", clip("c.mkv", {"-c:v", "mjpeg"}));
    put("material_clip", "mpeg4.avi", clip("c.avi", {"-c:v", "mpeg4"}));
    put("material_clip", "flv1.flv", clip("c.flv", {"-c:v", "flv1"}));
    put("material_clip", "mpeg2.mpg", clip("c.mpg", {"-c:v", "mpeg2video"}));
    put("material_clip", "mpeg2.ts", clip("c.ts", {"-c:v", "mpeg2video"}));
    put("material_clip", "wmv2.wmv", clip("c.wmv", {"-c:v", "wmv2"}));
    put("material_clip", "theora.ogv", clip("c.ogv", {"-c:v", "libtheora"}));
    put("material_clip", "h263.3gp", clip("c.3gp", {"-c:v", "h263"}, "128x96"));
    put("material_clip", "anim.gif", clip("c.gif", {}));

    const QByteArray mp3 = tone("t.mp3", {"-c:a", "libmp3lame", "-b:a", "8k"});
    put("music_probe", "tone.mp3", mp3);
    put("music_probe", "mp3-in.mkv", tone("t.mkv", {"-c:a", "libmp3lame", "-b:a", "8k"}));
    put("music_probe", "aac.m4a", tone("t.m4a", {"-c:a", "aac", "-b:a", "8k"}));
    put("music_probe", "pcm.wav", tone("t.wav", {"-t", "0.05"}));

    put("exif", "tiff-mm-6.bin", testmedia::exifTiffBlock(6, true));
    put("exif", "tiff-ii-3.bin", testmedia::exifTiffBlock(3, false));
    put("exif", "app0-exif5.jpg", testmedia::withExifOrientation(jpeg, 5, false, true));
    put("exif", "exif2.png", testmedia::pngWithExifOrientation(png, 2, true));

    put("http_encoding", "url-spaces-cjk.txt", QString::fromUtf8("https://logs.example.org/a b/照片?x=1&y=2").toUtf8());
    put("http_encoding", "url-encoded.txt", "http://127.0.0.1:8080/a%2Fb/DoLoadLog.php?q=%zz%");
    put("http_encoding", "url-latin1.txt", QByteArray("http://h/caf\xe9/%41"));
    // A form: keys and values separated by NUL bytes.
    put("http_encoding", "form.txt",
        QByteArrayList{"exception", "SIGSEGV at 0x0", "mcode", "a1b2", "uid", "", "vform", "2.3.0 x=y&z"}.join('\0'));
    return g_bOk ? 0 : 1;
}
