// Pictures of the export dialogs: the upper pictures of the progress and
// result dialogs (502x246 panels with rounded top corners) and the small
// icons and buttons of the settings and result dialogs.

#include "artgen/ArtKit.h"

#include <QLinearGradient>
#include <QPainter>

using namespace art;
using namespace art::kit;

namespace {

void drawPanel(QPainter &painter, const QSizeF &stSize)
{
    QPainterPath panel;
    panel.addRoundedRect(QRectF(QPointF(0, 0), stSize + QSizeF(0, 20)), 10, 10);
    QPainterPath clip;
    clip.addRect(QRectF(QPointF(0, 0), stSize));
    QLinearGradient gradient(0, 0, 0, stSize.height());
    gradient.setColorAt(0, QColor(0xf1, 0xef, 0xff));
    gradient.setColorAt(1, Qt::white);
    painter.setPen(Qt::NoPen);
    painter.setBrush(gradient);
    painter.drawPath(panel.intersected(clip));
    // A few quiet dots for depth.
    painter.setBrush(QColor(0x5c, 0x46, 0xf4, 26));
    for (const QPointF &stDot : {QPointF(70, 60), QPointF(430, 48), QPointF(412, 190), QPointF(96, 176)})
        painter.drawEllipse(stDot, 9, 9);
    painter.setBrush(QColor(0x5c, 0x46, 0xf4, 46));
    for (const QPointF &stDot : {QPointF(120, 92), QPointF(384, 120), QPointF(150, 206)})
        painter.drawEllipse(stDot, 4, 4);
}

void drawCard(QPainter &painter, QPointF stCentre, qreal lfAngle, const QColor &stPicture)
{
    painter.save();
    painter.translate(stCentre);
    painter.rotate(lfAngle);
    const QRectF card(-46, -34, 92, 68);
    drawRounded(painter, card.translated(0, 3), 6, QColor(40, 30, 120, 28));
    drawRounded(painter, card, 6, Qt::white);
    const QRectF inner = card.adjusted(6, 6, -6, -6);
    drawRounded(painter, inner, 3, withAlpha(stPicture, 40));
    painter.setClipRect(inner);
    drawPictureGlyph(painter, inner.adjusted(-1, 6, 1, 1), stPicture, 0.01);
    painter.restore();
}

void drawBadge(QPainter &painter, QPointF stCentre, const QColor &stFill, bool bArrowUp)
{
    painter.setPen(QPen(Qt::white, 3));
    painter.setBrush(stFill);
    painter.drawEllipse(stCentre, 17, 17);
    painter.setPen(roundPen(Qt::white, 2.6));
    const qreal d = bArrowUp ? -1 : 1;
    painter.drawLine(stCentre + QPointF(0, -7 * d), stCentre + QPointF(0, 7 * d));
    painter.drawLine(stCentre + QPointF(-6, 1 * d), stCentre + QPointF(0, 7 * d));
    painter.drawLine(stCentre + QPointF(6, 1 * d), stCentre + QPointF(0, 7 * d));
}

void drawImport(QPainter &painter, const QSizeF &stSize)
{
    drawPanel(painter, stSize);
    drawCard(painter, QPointF(225, 120), -14, QColor(0x9a, 0x8c, 0xfa));
    drawCard(painter, QPointF(277, 120), 12, QColor(0x7f, 0x6d, 0xf7));
    drawCard(painter, QPointF(251, 112), 0, kAccent);
    drawBadge(painter, QPointF(298, 152), kAccent, false);
}

void drawExport(QPainter &painter, const QSizeF &stSize)
{
    drawPanel(painter, stSize);
    const QRectF film(171, 70, 160, 100);
    drawRounded(painter, film.translated(0, 4), 10, QColor(40, 30, 120, 30));
    drawRounded(painter, film, 10, QColor(0x2f, 0x2f, 0x36));
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xff, 0xff, 0xff, 200));
    for (int i = 0; i < 8; ++i) {
        const qreal x = film.left() + 12 + i * 18.5;
        painter.drawRoundedRect(QRectF(x, film.top() + 7, 10, 7), 2, 2);
        painter.drawRoundedRect(QRectF(x, film.bottom() - 14, 10, 7), 2, 2);
    }
    painter.setBrush(kAccent);
    painter.drawEllipse(film.center(), 22, 22);
    drawPlayGlyph(painter, film.center(), 18, Qt::white);
    drawBadge(painter, QPointF(326, 76), QColor(0x2e, 0xbd, 0x85), true);
}

void drawResult(QPainter &painter, const QSizeF &stSize, const QColor &stFill, bool bSuccess)
{
    drawPanel(painter, stSize);
    const QPointF c(251, 118);
    painter.setPen(Qt::NoPen);
    painter.setBrush(withAlpha(stFill, 36));
    painter.drawEllipse(c, 62, 62);
    painter.setBrush(stFill);
    painter.drawEllipse(c, 46, 46);
    if (bSuccess)
        drawCheck(painter, QRectF(c.x() - 22, c.y() - 20, 44, 40), roundPen(Qt::white, 7));
    else
        drawCross(painter, c, 15, roundPen(Qt::white, 7));
}

// The pencil of the file-name field.
DrawFn pencil(const QColor &stInk)
{
    return [stInk](QPainter &painter, const QSizeF &) {
        painter.translate(10, 10);
        painter.rotate(45);
        painter.setPen(QPen(stInk, 1.3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(-2.2, -8, 4.4, 12));
        QPolygonF tip;
        tip << QPointF(-2.2, 4) << QPointF(0, 8) << QPointF(2.2, 4);
        painter.drawPolyline(tip);
        painter.drawLine(QPointF(-2.2, -5.2), QPointF(2.2, -5.2));
    };
}

// Section icons: a film frame for the picture settings, a note for the sound.
DrawFn videoIcon(const QColor &stInk)
{
    return [stInk](QPainter &painter, const QSizeF &) { drawVideoGlyph(painter, QRectF(0, 2, 16, 12), stInk); };
}

DrawFn audioIcon(const QColor &stInk)
{
    return [stInk](QPainter &painter, const QSizeF &) {
        painter.setPen(roundPen(stInk, 1.6));
        painter.drawLine(QPointF(6, 12), QPointF(6, 3));
        painter.drawLine(QPointF(6, 3), QPointF(13, 1.5));
        painter.drawLine(QPointF(13, 1.5), QPointF(13, 10.5));
        painter.setPen(Qt::NoPen);
        painter.setBrush(stInk);
        painter.drawEllipse(QPointF(4, 12.5), 2.6, 2.2);
        painter.drawEllipse(QPointF(11, 11), 2.6, 2.2);
    };
}

// A four-pointed spark either side of "Export succeeded".
void drawSpark(QPainter &painter, const QSizeF &)
{
    QPainterPath spark;
    spark.moveTo(8, 1);
    spark.quadTo(9, 7, 15, 8);
    spark.quadTo(9, 9, 8, 15);
    spark.quadTo(7, 9, 1, 8);
    spark.quadTo(7, 7, 8, 1);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kAccent);
    painter.drawPath(spark);
}

// The arrow of the option lists.
DrawFn comboArrow(const QColor &stInk)
{
    return [stInk](QPainter &painter, const QSizeF &) {
        painter.setPen(roundPen(stInk, 1.4));
        painter.drawPolyline(QPolygonF() << QPointF(1.5, 1.5) << QPointF(5, 4.8) << QPointF(8.5, 1.5));
    };
}

const Registrar registrar{
    picture("theme_local/imgs/export_comboArrow.png", {10, 6}, comboArrow(kInk)),
    picture("theme_local/imgs/export_comboArrow-disabled.png", {10, 6}, comboArrow(kInkDisabled)),
    picture("theme_local/imgs/export_editName.png", {20, 20}, pencil(kInk)),
    picture("theme_local/imgs/export_editName-1.png", {20, 20}, pencil(kAccent)),
    picture("theme_local/imgs/export_video.png", {16, 16}, videoIcon(kAccent)),
    picture("theme_local/imgs/export_audio.png", {16, 16}, audioIcon(kAccent)),
    picture("theme_local/imgs/export_audio-disabled.png", {16, 16}, audioIcon(kInkDisabled)),
    picture("theme_local/imgs/export_spark.png", {16, 16}, drawSpark),
    picture("theme_local/imgs/export_failIcon.png", {18, 18},
            [](QPainter &painter, const QSizeF &) { drawExclamation(painter, QRectF(1, 1, 16, 16), kDanger, Qt::white); }),
    picture("theme_local/imgs/dlg_import_images.png", {502, 246}, drawImport),
    picture("theme_local/imgs/dlg_export_images.png", {502, 246}, drawExport),
    picture("theme_local/imgs/export_success.png", {502, 246},
            [](QPainter &painter, const QSizeF &stSize) { drawResult(painter, stSize, kAccent, true); }),
    picture("theme_local/imgs/export_failed.png", {502, 246},
            [](QPainter &painter, const QSizeF &stSize) { drawResult(painter, stSize, kDanger, false); }),
};

} // namespace
