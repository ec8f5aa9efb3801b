// Pictures of the web dialog: frame, close and refresh buttons, and the
// loading animation of both themes.

#include "artgen/ArtKit.h"

#include <QPainter>
#include <QtMath>

using namespace art;
using namespace art::kit;

namespace {

// A white panel inside a 10-pixel band of soft shadow.
void drawFrame(QPainter &painter, const QSizeF &stSize)
{
    const QRectF panel(QPointF(5, 5), stSize - QSizeF(10, 10));
    for (int i = 5; i >= 1; --i)
        drawRounded(painter, panel.adjusted(-i, -i + 1, i, i + 1), 5 + i, QColor(106, 106, 106, 9));
    drawRounded(painter, panel, 5, Qt::white);
}

void drawSquareFrame(QPainter &painter, const QSizeF &stSize)
{
    drawRounded(painter, QRectF(QPointF(0.5, 0.5), stSize - QSizeF(1, 1)), 0, Qt::white,
                QPen(QColor(0xd0, 0xd0, 0xd6), 1));
}

void drawDialogClose(QPainter &painter, const QSizeF &, State eState)
{
    const Ink ink = flatInk(eState);
    if (ink.stFill.isValid())
        drawRounded(painter, QRectF(6, 6, 28, 28), 6, ink.stFill);
    drawCross(painter, QPointF(20, 20), 5.5, roundPen(ink.stGlyph, 1.3));
}

void drawRefresh(QPainter &painter, const QSizeF &stSize, State eState)
{
    drawRounded(painter, QRectF(QPointF(0, 0), stSize), 4, accentFill(eState));
}

// Three dots swelling in turn above the loading text.
FrameDrawFn loadingDots(const QColor &stRest, const QColor &stPeak)
{
    return [stRest, stPeak](QPainter &painter, const QSizeF &stSize, int iFrame) {
        painter.setPen(Qt::NoPen);
        for (int i = 0; i < 3; ++i) {
            const qreal lfPhase = iFrame / 12.0 - i * 0.16;
            const qreal lfPulse = qMax(0.0, qSin(lfPhase * 2 * M_PI)) ;
            const qreal lfRadius = 4.0 + 2.5 * lfPulse;
            QColor stColor;
            stColor.setRgbF(stRest.redF() + (stPeak.redF() - stRest.redF()) * lfPulse,
                            stRest.greenF() + (stPeak.greenF() - stRest.greenF()) * lfPulse,
                            stRest.blueF() + (stPeak.blueF() - stRest.blueF()) * lfPulse);
            painter.setBrush(stColor);
            painter.drawEllipse(QPointF(stSize.width() / 2 + (i - 1) * 20, 62), lfRadius, lfRadius);
        }
    };
}

const Registrar registrar{
    picture("theme_default/imgs/global/bg.png", {40, 40}, drawFrame),
    picture("theme_default/imgs/global/win7_bg.png", {40, 40}, drawSquareFrame),
    strip("theme_default/imgs/global/btn_DlgClose.png", {40, 40}, 1, drawDialogClose),
    strip("theme_default/imgs/global/btn_refresh.png", {90, 36}, 1, drawRefresh),
    animation("theme_default/gif/loading_dotted_1.gif", {140, 140}, 12, 80, Qt::white,
              loadingDots(QColor(0xdc, 0xd7, 0xfd), kAccent)),
    animation("theme_dark/gif/loading_dotted_1.gif", {140, 140}, 12, 80, QColor(0x2b, 0x2b, 0x31),
              loadingDots(QColor(0x4b, 0x44, 0x70), QColor(0x8c, 0x7b, 0xff))),
};

} // namespace
