// Pictures of the main window: program logo, caption buttons, bottom bar
// buttons and the application menu's background.

#include "artgen/ArtKit.h"

#include <QLinearGradient>
#include <QPainter>

using namespace art;
using namespace art::kit;

namespace {

enum class Glyph { Menu, Minimise, Maximise, Restore, Close };

// Caption glyphs sit in the middle 10x10 of a 30x30 button; straight
// strokes lie on pixel centres so they stay sharp at 1x and 2x.
void drawCaptionGlyph(QPainter &painter, Glyph eGlyph, const QColor &stInk)
{
    QPen pen(stInk, 1.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    switch (eGlyph) {
    case Glyph::Menu:
        for (qreal y : {11.5, 15.5, 19.5})
            painter.drawLine(QPointF(10, y), QPointF(20, y));
        break;
    case Glyph::Minimise:
        painter.drawLine(QPointF(10, 15.5), QPointF(20, 15.5));
        break;
    case Glyph::Maximise:
        painter.drawRect(QRectF(10.5, 10.5, 9, 9));
        break;
    case Glyph::Restore: {
        painter.drawRect(QRectF(10.5, 12.5, 7, 7));
        QPainterPath back;
        back.moveTo(12.5, 12.5);
        back.lineTo(12.5, 10.5);
        back.lineTo(19.5, 10.5);
        back.lineTo(19.5, 17.5);
        back.lineTo(17.5, 17.5);
        painter.drawPath(back);
        break;
    }
    case Glyph::Close:
        drawCross(painter, QPointF(15, 15), 4.6, roundPen(stInk, 1.2));
        break;
    }
}

StateDrawFn captionButton(Glyph eGlyph, bool bDark)
{
    return [eGlyph, bDark](QPainter &painter, const QSizeF &, State eState) {
        Ink ink = bDark ? flatInkDark(eState) : flatInk(eState);
        if (eGlyph == Glyph::Close && (eState == State::Hover || eState == State::Pressed))
            ink = {Qt::white, eState == State::Hover ? kDanger : kDangerPressed};
        if (ink.stFill.isValid())
            drawRounded(painter, QRectF(1, 1, 28, 28), 5, ink.stFill);
        drawCaptionGlyph(painter, eGlyph, ink.stGlyph);
    };
}

std::vector<Entry> captionSet(const QString &szTheme, bool bDark)
{
    const QString szDir = szTheme + QStringLiteral("/imgs/caption/");
    // Four states of 120 pixels each: the buttons are 30x30, drawn at 4x.
    return {strip(szDir + "btn_menu.png", {30, 30}, 4, captionButton(Glyph::Menu, bDark)),
            strip(szDir + "btn_min1.png", {30, 30}, 4, captionButton(Glyph::Minimise, bDark)),
            strip(szDir + "btn_max1.png", {30, 30}, 4, captionButton(Glyph::Maximise, bDark)),
            strip(szDir + "btn_restore1.png", {30, 30}, 4, captionButton(Glyph::Restore, bDark)),
            strip(szDir + "btn_close1.png", {30, 30}, 4, captionButton(Glyph::Close, bDark))};
}

void drawLogo(QPainter &painter, const QSizeF &stSize)
{
    const qreal s = stSize.width() / 30.0;
    painter.scale(s, s);
    QLinearGradient gradient(QPointF(2, 2), QPointF(28, 28));
    gradient.setColorAt(0, QColor(0x8e, 0x7d, 0xff));
    gradient.setColorAt(0.55, kAccent);
    gradient.setColorAt(1, kAccentPressed);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawRoundedRect(QRectF(1, 1, 28, 28), 7, 7);
    // A photo card over a second, tilted one: an album.
    painter.save();
    painter.translate(15, 15);
    painter.rotate(-12);
    painter.setBrush(QColor(255, 255, 255, 110));
    painter.drawRoundedRect(QRectF(-8, -8.5, 15, 12), 2, 2);
    painter.restore();
    const QRectF card(8, 10, 15, 12);
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(card, 2, 2);
    painter.setClipRect(card.adjusted(1.5, 1.5, -1.5, -1.5));
    QPainterPath hills;
    hills.moveTo(9.5, 20.5);
    hills.lineTo(14, 15.5);
    hills.lineTo(17, 18.5);
    hills.lineTo(19, 16.5);
    hills.lineTo(21.5, 19.5);
    hills.lineTo(21.5, 20.5);
    hills.closeSubpath();
    painter.setBrush(kAccent);
    painter.drawPath(hills);
    painter.drawEllipse(QPointF(18.6, 13.4), 1.4, 1.4);
}

QColor bottomInk(State eState)
{
    switch (eState) {
    case State::Normal: return kInk;
    case State::Hover: return kAccent;
    case State::Pressed: return kAccentPressed;
    case State::Disabled: return kInkDisabled;
    }
    return kInk;
}

// Bottom-bar buttons are 75x20 with the text right of a 20x20 icon.
void drawGlobe(QPainter &painter, const QSizeF &, State eState)
{
    const QColor stInk = bottomInk(eState);
    painter.setPen(QPen(stInk, 1.1));
    painter.setBrush(Qt::NoBrush);
    const QPointF c(11, 10);
    painter.drawEllipse(c, 6, 6);
    painter.drawEllipse(c, 2.6, 6);
    painter.drawLine(QPointF(5.2, 10), QPointF(16.8, 10));
}

void drawChat(QPainter &painter, const QSizeF &, State eState)
{
    const QColor stInk = bottomInk(eState);
    painter.setPen(QPen(stInk, 1.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(bubblePath(QRectF(4.5, 4.5, 13, 9.5), 3, QPointF(6.5, 17), 1.8));
    painter.setPen(Qt::NoPen);
    painter.setBrush(stInk);
    for (qreal x : {8.0, 11.0, 14.0})
        painter.drawEllipse(QPointF(x, 9.25), 0.9, 0.9);
}

void drawUpdate(QPainter &painter, const QSizeF &stSize, State eState)
{
    static const QColor kGold[] = {QColor(0xf5, 0xa6, 0x23), QColor(0xf7, 0xb8, 0x4b), QColor(0xe0, 0x91, 0x1a),
                                   QColor(0xd9, 0xd9, 0xde)};
    const QRectF circle(QPointF(1, 1), stSize - QSizeF(2, 2));
    painter.setPen(Qt::NoPen);
    painter.setBrush(kGold[static_cast<int>(eState)]);
    painter.drawEllipse(circle);
    const QPointF c = circle.center();
    painter.setPen(roundPen(Qt::white, 1.4));
    painter.drawLine(QPointF(c.x(), c.y() + 3.6), QPointF(c.x(), c.y() - 3.4));
    painter.drawLine(QPointF(c.x() - 3, c.y() - 0.6), QPointF(c.x(), c.y() - 3.6));
    painter.drawLine(QPointF(c.x() + 3, c.y() - 0.6), QPointF(c.x(), c.y() - 3.6));
}

DrawFn menuBackground(const QColor &stFill, const QColor &stBorder)
{
    return [stFill, stBorder](QPainter &painter, const QSizeF &stSize) {
        // A soft shadow of a few widening, fading outlines around the panel.
        const QRectF panel(QPointF(4, 4), stSize - QSizeF(8, 8));
        for (int i = 4; i >= 1; --i)
            drawRounded(painter, panel.adjusted(-i, -i + 1, i, i + 1), 6 + i, QColor(40, 40, 60, 10));
        drawRounded(painter, panel.adjusted(0.5, 0.5, -0.5, -0.5), 6, stFill, QPen(stBorder, 1));
    };
}

const Registrar registrar{
    picture("theme_default/imgs/logo.png", {30, 30}, drawLogo),
    desktopIcon("org.pictora.Pictora", drawLogo),
    captionSet("theme_default", false),
    captionSet("theme_dark", true),
    // States of 80 and 64 pixels: 75x20 and 16x16 buttons drawn at 4x.
    strip("theme_default/imgs/bottom/officeweb.png", {75, 20}, 4, drawGlobe),
    strip("theme_default/imgs/bottom/btn_kefu.png", {75, 20}, 4, drawChat),
    strip("theme_default/imgs/bottom/update.png", {16, 16}, 4, drawUpdate),
    picture("theme_default/imgs/menu/bg_menu_round.png", {40, 40}, menuBackground(Qt::white, QColor(0xe6, 0xe6, 0xeb))),
    picture("theme_dark/imgs/menu/bg_menu_round.png", {40, 40},
            menuBackground(QColor(0x2e, 0x2e, 0x35), QColor(0x44, 0x44, 0x4e))),
};

} // namespace
