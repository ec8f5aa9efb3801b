#include "ArtRegistry.h"

namespace art {

namespace {

std::vector<Entry> &table()
{
    static std::vector<Entry> s_listEntries;
    return s_listEntries;
}

} // namespace

const char *stateSuffix(State eState)
{
    switch (eState) {
    case State::Normal: return "normal";
    case State::Hover: return "hover";
    case State::Pressed: return "pressed";
    case State::Disabled: return "disabled";
    }
    return "";
}

Entry picture(const QString &szPath, QSize stSize, DrawFn fnDraw)
{
    Entry stEntry;
    stEntry.szPath = szPath;
    stEntry.stSize = stSize;
    stEntry.fnDraw = std::move(fnDraw);
    return stEntry;
}

Entry strip(const QString &szPath, QSize stStateSize, int iScale, StateDrawFn fnDraw)
{
    Entry stEntry;
    stEntry.eKind = Entry::Kind::Strip;
    stEntry.szPath = szPath;
    stEntry.stSize = stStateSize;
    stEntry.iScale = iScale;
    stEntry.fnStateDraw = std::move(fnDraw);
    return stEntry;
}

std::vector<Entry> stateFiles(const QString &szPattern, QSize stSize, StateDrawFn fnDraw)
{
    std::vector<Entry> list;
    int iNumber = 1;
    for (State eState : kStates) {
        list.push_back(picture(szPattern.arg(iNumber++), stSize,
                               [fnDraw, eState](QPainter &painter, const QSizeF &stArea) {
                                   fnDraw(painter, stArea, eState);
                               }));
    }
    return list;
}

Entry animation(const QString &szPath, QSize stSize, int iFrames, int iDelayMs, const QColor &stMatte,
                FrameDrawFn fnDraw)
{
    Entry stEntry;
    stEntry.eKind = Entry::Kind::Animation;
    stEntry.szPath = szPath;
    stEntry.stSize = stSize;
    stEntry.iFrames = iFrames;
    stEntry.iDelayMs = iDelayMs;
    stEntry.stMatte = stMatte;
    stEntry.fnFrameDraw = std::move(fnDraw);
    return stEntry;
}

Entry desktopIcon(const QString &szIconName, DrawFn fnDraw)
{
    Entry stEntry = picture(szIconName, QSize(), std::move(fnDraw));
    stEntry.eKind = Entry::Kind::DesktopIcon;
    return stEntry;
}

const std::vector<Entry> &entries()
{
    return table();
}

Registrar::Registrar(std::initializer_list<Row> rows)
{
    for (const Row &stRow : rows)
        table().insert(table().end(), stRow.listEntries.begin(), stRow.listEntries.end());
}

QImage render(QSize stSize, int iScale, const DrawFn &fnDraw)
{
    QImage image(stSize * iScale, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.scale(iScale, iScale);
    fnDraw(painter, QSizeF(stSize));
    return image;
}

} // namespace art
