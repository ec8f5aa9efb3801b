#include "online/CDumpCatchInterface.h"

#include <cstdio>

void printCrashNotice(const QString &szCaption, const QString &szText)
{
    std::fprintf(stderr, "%s: %s\n", szCaption.toUtf8().constData(), szText.toUtf8().constData());
    std::fflush(stderr);
}
