// Pictures of the editor window: the material strip's icons and buttons,
// the tip bubbles and the watermark help.

#include "artgen/ArtKit.h"

#include <QPainter>

using namespace art;
using namespace art::kit;

namespace {

const QColor kShade(0, 0, 0, 115);
const QColor kBubble(38, 38, 46, 235);

void drawImageType(QPainter &painter, const QSizeF &)
{
    drawRounded(painter, QRectF(0, 0, 16, 16), 3, kShade);
    drawPictureGlyph(painter, QRectF(3.5, 4.5, 9, 7), Qt::white, 1.0);
}

void drawVideoType(QPainter &painter, const QSizeF &)
{
    drawRounded(painter, QRectF(0, 0, 16, 16), 3, kShade);
    drawVideoGlyph(painter, QRectF(3, 5, 10, 6), Qt::white);
}

// 18x18 round buttons over a thumbnail; the hover picture takes a colour.
DrawFn deleteButton(const QColor &stFill)
{
    return [stFill](QPainter &painter, const QSizeF &) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(stFill);
        painter.drawEllipse(QRectF(0, 0, 18, 18));
        painter.setPen(roundPen(Qt::white, 1.1));
        painter.setBrush(Qt::NoBrush);
        painter.drawLine(QPointF(5.2, 6.3), QPointF(12.8, 6.3));
        painter.drawLine(QPointF(7.8, 4.7), QPointF(10.2, 4.7));
        QPainterPath bin;
        bin.moveTo(6.3, 6.3);
        bin.lineTo(6.9, 13.2);
        bin.lineTo(11.1, 13.2);
        bin.lineTo(11.7, 6.3);
        painter.drawPath(bin);
        painter.drawLine(QPointF(9, 8.4), QPointF(9, 11.4));
    };
}

DrawFn rotateButton(const QColor &stFill)
{
    return [stFill](QPainter &painter, const QSizeF &) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(stFill);
        painter.drawEllipse(QRectF(0, 0, 18, 18));
        painter.setPen(roundPen(Qt::white, 1.2));
        painter.setBrush(Qt::NoBrush);
        const QRectF arc(4.8, 4.8, 8.4, 8.4);
        painter.drawArc(arc, 100 * 16, 280 * 16);
        // Arrow head at the arc's open end, pointing clockwise.
        QPainterPath head;
        head.moveTo(7.2, 3.4);
        head.lineTo(9.6, 4.9);
        head.lineTo(7.7, 6.9);
        painter.drawPath(head);
    };
}

DrawFn bubble(const QRectF &stBody, QPointF stTip, const QColor &stFill)
{
    return [stBody, stTip, stFill](QPainter &painter, const QSizeF &) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(stFill);
        painter.drawPath(bubblePath(stBody, 6, stTip, 6));
    };
}

DrawFn helpButton(const QColor &stInk)
{
    return [stInk](QPainter &painter, const QSizeF &) {
        drawQuestion(painter, QRectF(1.5, 1.5, 13, 13), QPen(stInk, 1.1), stInk);
    };
}

const Registrar registrar{
    picture("theme_local/imgs/imageType.png", {16, 16}, drawImageType),
    picture("theme_local/imgs/videoType.png", {16, 16}, drawVideoType),
    picture("theme_local/imgs/deleteImage.png", {18, 18}, deleteButton(QColor(0, 0, 0, 140))),
    picture("theme_local/imgs/deleteImage-1.png", {18, 18}, deleteButton(kDanger)),
    picture("theme_local/imgs/transposeImage.png", {18, 18}, rotateButton(QColor(0, 0, 0, 140))),
    picture("theme_local/imgs/transposeImage-1.png", {18, 18}, rotateButton(kAccent)),
    // 126x35 bubble whose text sits 7 px from the top and 12 from the bottom.
    picture("theme_local/imgs/open_image_tip.png", {126, 35},
            bubble(QRectF(0, 0, 126, 29), QPointF(22, 35), kAccent)),
    picture("theme_local/imgs/watermarkHelp.png", {16, 16}, helpButton(kInkMuted)),
    picture("theme_local/imgs/watermarkHelp-1.png", {16, 16}, helpButton(kAccent)),
    // Shown 226 px left of and 12 px below the cursor: the pointer marks it.
    picture("theme_local/imgs/watermarkHelpDialog.png", {256, 68},
            bubble(QRectF(0, 6, 256, 62), QPointF(226, 0), kBubble)),
};

} // namespace
