// Pictures of the editor window: the material strip's icons and buttons,
// the add buttons, the file buttons of the settings, the tip bubbles and
// the watermark help.

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

// A folder outline with its tab, inside stRect.
QPainterPath folderPath(const QRectF &stRect)
{
    const qreal w = stRect.width(), h = stRect.height();
    QPainterPath folder;
    folder.moveTo(stRect.left(), stRect.top() + h * 0.12);
    folder.lineTo(stRect.left() + w * 0.38, stRect.top() + h * 0.12);
    folder.lineTo(stRect.left() + w * 0.48, stRect.top() + h * 0.26);
    folder.lineTo(stRect.right(), stRect.top() + h * 0.26);
    folder.lineTo(stRect.right(), stRect.bottom());
    folder.lineTo(stRect.left(), stRect.bottom());
    folder.closeSubpath();
    return folder;
}

// The add buttons of the empty material area: an accent glyph with a plus.
void drawPlusBadge(QPainter &painter, QPointF stCentre)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(kAccent);
    painter.drawEllipse(stCentre, 5.5, 5.5);
    painter.setPen(roundPen(Qt::white, 1.4));
    painter.drawLine(stCentre - QPointF(2.6, 0), stCentre + QPointF(2.6, 0));
    painter.drawLine(stCentre - QPointF(0, 2.6), stCentre + QPointF(0, 2.6));
}

void drawAddFile(QPainter &painter, const QSizeF &)
{
    drawPictureGlyph(painter, QRectF(2, 4, 17, 14), kAccent, 1.6);
    drawPlusBadge(painter, QPointF(18, 18));
}

void drawAddFolder(QPainter &painter, const QSizeF &)
{
    painter.setPen(QPen(kAccent, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(kAccentPale);
    painter.drawPath(folderPath(QRectF(2, 3.5, 18, 15)));
    drawPlusBadge(painter, QPointF(18, 18));
}

// The small "choose a file" button of the music and image-watermark rows.
DrawFn folderButton(const QColor &stInk)
{
    return [stInk](QPainter &painter, const QSizeF &) {
        painter.setPen(QPen(stInk, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(folderPath(QRectF(4, 5, 16, 14)));
    };
}

// The arrows of the duration box.
DrawFn spinArrow(bool bUp, const QColor &stInk)
{
    return [bUp, stInk](QPainter &painter, const QSizeF &) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(stInk);
        QPolygonF arrow;
        if (bUp)
            arrow << QPointF(1, 5.5) << QPointF(5, 1) << QPointF(9, 5.5);
        else
            arrow << QPointF(1, 0.5) << QPointF(5, 5) << QPointF(9, 0.5);
        painter.drawPolygon(arrow);
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
    picture("theme_local/imgs/addFile.png", {24, 24}, drawAddFile),
    picture("theme_local/imgs/addFolder.png", {24, 24}, drawAddFolder),
    picture("theme_local/imgs/selectFile.png", {24, 24}, folderButton(kInk)),
    picture("theme_local/imgs/selectFile-1.png", {24, 24}, folderButton(kAccent)),
    picture("theme_local/imgs/spinUp.png", {10, 6}, spinArrow(true, kInk)),
    picture("theme_local/imgs/spinDown.png", {10, 6}, spinArrow(false, kInk)),
    picture("theme_local/imgs/spinUp-disabled.png", {10, 6}, spinArrow(true, kInkDisabled)),
    picture("theme_local/imgs/spinDown-disabled.png", {10, 6}, spinArrow(false, kInkDisabled)),
    picture("theme_local/imgs/watermarkHelp.png", {16, 16}, helpButton(kInkMuted)),
    picture("theme_local/imgs/watermarkHelp-1.png", {16, 16}, helpButton(kAccent)),
    // Shown 226 px left of and 12 px below the cursor: the pointer marks it.
    picture("theme_local/imgs/watermarkHelpDialog.png", {256, 68},
            bubble(QRectF(0, 6, 256, 62), QPointF(226, 0), kBubble)),
};

} // namespace
