#include "ArtKit.h"

#include <QPainter>
#include <QtMath>

namespace art::kit {

Ink flatInk(State eState)
{
    switch (eState) {
    case State::Normal: return {kInk, QColor()};
    case State::Hover: return {kInkStrong, kHoverFill};
    case State::Pressed: return {kInkStrong, kPressedFill};
    case State::Disabled: return {kInkDisabled, QColor()};
    }
    return {};
}

Ink flatInkDark(State eState)
{
    switch (eState) {
    case State::Normal: return {QColor(0xc8, 0xc8, 0xd0), QColor()};
    case State::Hover: return {QColor(0xf2, 0xf2, 0xf5), QColor(0x3a, 0x3a, 0x42)};
    case State::Pressed: return {QColor(0xf2, 0xf2, 0xf5), QColor(0x46, 0x46, 0x50)};
    case State::Disabled: return {QColor(0x5a, 0x5a, 0x62), QColor()};
    }
    return {};
}

QColor accentFill(State eState)
{
    switch (eState) {
    case State::Normal: return kAccent;
    case State::Hover: return kAccentHover;
    case State::Pressed: return kAccentPressed;
    case State::Disabled: return kAccentDisabled;
    }
    return kAccent;
}

QColor withAlpha(QColor stColor, int iAlpha)
{
    stColor.setAlpha(iAlpha);
    return stColor;
}

QPen roundPen(const QColor &stColor, qreal lfWidth)
{
    return QPen(stColor, lfWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void drawCross(QPainter &painter, QPointF stCentre, qreal lfHalf, const QPen &pen)
{
    painter.save();
    painter.setPen(pen);
    painter.drawLine(stCentre + QPointF(-lfHalf, -lfHalf), stCentre + QPointF(lfHalf, lfHalf));
    painter.drawLine(stCentre + QPointF(lfHalf, -lfHalf), stCentre + QPointF(-lfHalf, lfHalf));
    painter.restore();
}

void drawRounded(QPainter &painter, const QRectF &stRect, qreal lfRadius, const QColor &stFill, const QPen &pen)
{
    painter.save();
    painter.setPen(pen);
    painter.setBrush(stFill.isValid() ? QBrush(stFill) : QBrush(Qt::NoBrush));
    painter.drawRoundedRect(stRect, lfRadius, lfRadius);
    painter.restore();
}

QPainterPath bubblePath(const QRectF &stBody, qreal lfRadius, QPointF stTip, qreal lfHalfBase)
{
    QPainterPath body;
    body.addRoundedRect(stBody, lfRadius, lfRadius);
    QPolygonF pointer;
    if (stTip.y() < stBody.top()) {
        pointer << QPointF(stTip.x() - lfHalfBase, stBody.top() + 1) << stTip
                << QPointF(stTip.x() + lfHalfBase, stBody.top() + 1);
    } else if (stTip.y() > stBody.bottom()) {
        pointer << QPointF(stTip.x() - lfHalfBase, stBody.bottom() - 1) << stTip
                << QPointF(stTip.x() + lfHalfBase, stBody.bottom() - 1);
    } else if (stTip.x() < stBody.left()) {
        pointer << QPointF(stBody.left() + 1, stTip.y() - lfHalfBase) << stTip
                << QPointF(stBody.left() + 1, stTip.y() + lfHalfBase);
    } else {
        pointer << QPointF(stBody.right() - 1, stTip.y() - lfHalfBase) << stTip
                << QPointF(stBody.right() - 1, stTip.y() + lfHalfBase);
    }
    QPainterPath tip;
    tip.addPolygon(pointer);
    tip.closeSubpath();
    return body.united(tip);
}

void drawPictureGlyph(QPainter &painter, const QRectF &stRect, const QColor &stInk, qreal lfStroke)
{
    painter.save();
    const qreal r = stRect.height() * 0.14;
    painter.setPen(QPen(stInk, lfStroke, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(stRect, r, r);
    painter.setClipRect(stRect);
    // Hills and sun inside the frame.
    const qreal w = stRect.width(), h = stRect.height();
    QPainterPath hills;
    hills.moveTo(stRect.left(), stRect.top() + h * 0.86);
    hills.lineTo(stRect.left() + w * 0.36, stRect.top() + h * 0.46);
    hills.lineTo(stRect.left() + w * 0.58, stRect.top() + h * 0.70);
    hills.lineTo(stRect.left() + w * 0.72, stRect.top() + h * 0.56);
    hills.lineTo(stRect.right(), stRect.top() + h * 0.86);
    hills.lineTo(stRect.right(), stRect.bottom());
    hills.lineTo(stRect.left(), stRect.bottom());
    hills.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(stInk);
    painter.drawPath(hills);
    const qreal lfSun = h * 0.13;
    painter.drawEllipse(QPointF(stRect.left() + w * 0.72, stRect.top() + h * 0.30), lfSun, lfSun);
    painter.restore();
}

void drawVideoGlyph(QPainter &painter, const QRectF &stRect, const QColor &stInk)
{
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(stInk);
    const qreal w = stRect.width(), h = stRect.height();
    const QRectF body(stRect.left(), stRect.top() + h * 0.2, w * 0.66, h * 0.6);
    painter.drawRoundedRect(body, h * 0.12, h * 0.12);
    QPolygonF lens;
    lens << QPointF(body.right() + w * 0.04, stRect.top() + h * 0.5)
         << QPointF(stRect.right(), stRect.top() + h * 0.24) << QPointF(stRect.right(), stRect.top() + h * 0.76);
    painter.drawPolygon(lens);
    painter.restore();
}

void drawPauseGlyph(QPainter &painter, QPointF stCentre, qreal lfHeight, const QColor &stInk)
{
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(stInk);
    const qreal lfBar = lfHeight * 0.28, lfGap = lfHeight * 0.22;
    const qreal lfTop = stCentre.y() - lfHeight / 2;
    painter.drawRoundedRect(QRectF(stCentre.x() - lfGap / 2 - lfBar, lfTop, lfBar, lfHeight), lfBar / 3, lfBar / 3);
    painter.drawRoundedRect(QRectF(stCentre.x() + lfGap / 2, lfTop, lfBar, lfHeight), lfBar / 3, lfBar / 3);
    painter.restore();
}

void drawPlayGlyph(QPainter &painter, QPointF stCentre, qreal lfHeight, const QColor &stInk)
{
    painter.save();
    painter.setPen(QPen(stInk, lfHeight * 0.12, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(stInk);
    // Optical centre: a triangle looks centred a little right of its box centre.
    const qreal lfWidth = lfHeight * 0.87;
    const qreal lfLeft = stCentre.x() - lfWidth * 0.42;
    QPolygonF triangle;
    triangle << QPointF(lfLeft, stCentre.y() - lfHeight / 2) << QPointF(lfLeft + lfWidth, stCentre.y())
             << QPointF(lfLeft, stCentre.y() + lfHeight / 2);
    painter.drawPolygon(triangle);
    painter.restore();
}

void drawCheck(QPainter &painter, const QRectF &stRect, const QPen &pen)
{
    painter.save();
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const qreal w = stRect.width(), h = stRect.height();
    QPainterPath path;
    path.moveTo(stRect.left() + w * 0.10, stRect.top() + h * 0.52);
    path.lineTo(stRect.left() + w * 0.38, stRect.top() + h * 0.80);
    path.lineTo(stRect.left() + w * 0.90, stRect.top() + h * 0.22);
    painter.drawPath(path);
    painter.restore();
}

namespace {

// A filled circle with a dot and a bar: "!" (dot below) or "i" (dot above).
void drawDotAndBar(QPainter &painter, const QRectF &stCircle, const QColor &stFill, const QColor &stInk,
                   bool bDotAbove)
{
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(stFill);
    painter.drawEllipse(stCircle);
    const QPointF c = stCircle.center();
    const qreal d = stCircle.width(), s = bDotAbove ? -1 : 1;
    painter.setBrush(stInk);
    painter.drawEllipse(QPointF(c.x(), c.y() + s * d * 0.24), d * 0.07, d * 0.07);
    painter.setPen(QPen(stInk, d * (bDotAbove ? 0.15 : 0.11), Qt::SolidLine, bDotAbove ? Qt::FlatCap : Qt::RoundCap));
    painter.drawLine(QPointF(c.x(), c.y() - s * d * (bDotAbove ? 0.30 : 0.24)), QPointF(c.x(), c.y() + s * d * 0.06));
    painter.restore();
}

} // namespace

void drawExclamation(QPainter &painter, const QRectF &stCircle, const QColor &stFill, const QColor &stInk)
{
    drawDotAndBar(painter, stCircle, stFill, stInk, false);
}

void drawQuestion(QPainter &painter, const QRectF &stCircle, const QPen &ring, const QColor &stInk)
{
    painter.save();
    painter.setPen(ring);
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(stCircle);
    const QPointF c = stCircle.center();
    const qreal d = stCircle.width();
    QPainterPath hook;
    const QRectF arc(c.x() - d * 0.16, c.y() - d * 0.30, d * 0.32, d * 0.30);
    hook.arcMoveTo(arc, 160);
    hook.arcTo(arc, 160, -220);
    hook.lineTo(c.x(), c.y() + d * 0.08);
    painter.setPen(roundPen(stInk, d * 0.10));
    painter.drawPath(hook);
    painter.setPen(Qt::NoPen);
    painter.setBrush(stInk);
    painter.drawEllipse(QPointF(c.x(), c.y() + d * 0.25), d * 0.065, d * 0.065);
    painter.restore();
}

void drawInfo(QPainter &painter, const QRectF &stCircle, const QColor &stFill, const QColor &stInk)
{
    drawDotAndBar(painter, stCircle, stFill, stInk, true);
}

} // namespace art::kit
