// Pictures of the preview player: play and pause buttons, the empty
// display's word mark and the preview-quality help.

#include "artgen/ArtKit.h"

#include <QFont>
#include <QPainter>

using namespace art;
using namespace art::kit;

namespace {

QColor playerFill(State eState)
{
    return eState == State::Disabled ? QColor(0xd5, 0xd5, 0xdb) : accentFill(eState);
}

StateDrawFn playerButton(bool bPause)
{
    return [bPause](QPainter &painter, const QSizeF &, State eState) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(playerFill(eState));
        painter.drawEllipse(QRectF(0, 0, 24, 24));
        if (bPause)
            drawPauseGlyph(painter, QPointF(12, 12), 9, Qt::white);
        else
            drawPlayGlyph(painter, QPointF(12, 12), 9, Qt::white);
    };
}

// The player's four looks are separate files named after the state.
std::vector<Entry> playerButtons(const QString &szName, bool bPause)
{
    static const char *const kNames[] = {"normal", "hover", "click", "disable"};
    std::vector<Entry> list;
    for (int i = 0; i < 4; ++i) {
        const State eState = kStates[i];
        const StateDrawFn fnDraw = playerButton(bPause);
        list.push_back(picture(QStringLiteral("theme_local/imgs/%1_%2.png").arg(szName, kNames[i]), {24, 24},
                               [fnDraw, eState](QPainter &painter, const QSizeF &stSize) {
                                   fnDraw(painter, stSize, eState);
                               }));
    }
    return list;
}

// A film-frame mark and the program's name, quiet grey on the dark display.
void drawWordMark(QPainter &painter, const QSizeF &stSize)
{
    const QColor stInk(0x8a, 0x8a, 0x96);
    drawVideoGlyph(painter, QRectF(8, 5, 16, 10), stInk);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(14);
    font.setBold(true);
    font.setLetterSpacing(QFont::AbsoluteSpacing, 0.8);
    QPainterPath text;
    text.addText(0, 0, font, QStringLiteral("Pictora"));
    const QRectF bounds = text.boundingRect();
    painter.translate(31 - bounds.left(), (stSize.height() - bounds.height()) / 2 - bounds.top());
    painter.setPen(Qt::NoPen);
    painter.setBrush(stInk);
    painter.drawPath(text);
}

// The preview-quality help: its pointer reaches up to the help spot.
void drawPreviewHelp(QPainter &painter, const QSizeF &)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(38, 38, 46, 235));
    painter.drawPath(bubblePath(QRectF(0, 7, 352, 116), 8, QPointF(217, 0), 7));
}

const Registrar registrar{
    playerButtons("pause", true),
    playerButtons("play", false),
    picture("theme_local/imgs/video_text.png", {108, 20}, drawWordMark),
    picture("theme_local/imgs/bg_preHelp_dlg.png", {352, 123}, drawPreviewHelp),
};

} // namespace
