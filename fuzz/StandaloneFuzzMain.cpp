// Runs a fuzz target once over given files and folders of files, without
// libFuzzer: how the normal and sanitizer builds replay the seed corpora and
// the inputs of fixed findings as tests.

#include "FuzzSupport.h"

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    LLVMFuzzerInitialize(&argc, &argv);
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QString szArg = QString::fromLocal8Bit(argv[i]);
        if (!QFileInfo(szArg).isDir()) {
            files << szArg;
            continue;
        }
        QDirIterator it(szArg, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            files << it.next();
    }
    files.sort();
    for (const QString &szFile : files) {
        QFile file(szFile);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(szFile));
            return 1;
        }
        const QByteArray data = file.readAll();
        std::fprintf(stderr, "running %s (%d bytes)\n", qPrintable(szFile), int(data.size()));
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(data.constData()), static_cast<size_t>(data.size()));
    }
    std::fprintf(stderr, "%d inputs run\n", int(files.size()));
    return files.isEmpty() ? 1 : 0;
}
