#include "album/AlbumFonts.h"

#include <QFont>
#include <QStringList>

void registerFontSubstitutions()
{
    const QStringList cjk{QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")};
    QFont::insertSubstitutions(QStringLiteral("Microsoft YaHei"), cjk);
    QFont::insertSubstitutions(QStringLiteral("Microsoft YaHei UI"), cjk);
}
