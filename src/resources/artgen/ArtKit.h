#pragma once

#include "ArtRegistry.h"

#include <QColor>
#include <QPainterPath>
#include <QPen>
#include <QRectF>

// Colours and shapes shared by the drawings of every area.
namespace art::kit {

inline const QColor kAccent(0x5c, 0x46, 0xf4);
inline const QColor kAccentHover(0x74, 0x62, 0xf6);
inline const QColor kAccentPressed(0x4a, 0x34, 0xdb);
inline const QColor kAccentDisabled(0xc4, 0xbc, 0xfb);
inline const QColor kAccentPale(0xf1, 0xef, 0xfe);
inline const QColor kDanger(0xee, 0x47, 0x47);
inline const QColor kDangerPressed(0xd6, 0x3b, 0x3b);
inline const QColor kInk(0x66, 0x66, 0x66);
inline const QColor kInkStrong(0x33, 0x33, 0x33);
inline const QColor kInkMuted(0x99, 0x99, 0x99);
inline const QColor kInkDisabled(0xc8, 0xc8, 0xcc);
inline const QColor kLine(0xd9, 0xd9, 0xde);
inline const QColor kHoverFill(0xef, 0xef, 0xf3);
inline const QColor kPressedFill(0xe3, 0xe3, 0xe9);

// Glyph and background colours of a flat picture button in one state.
struct Ink
{
    QColor stGlyph;
    QColor stFill; // invalid: no background
};

// Flat buttons on a light background: grey glyph, light rounded fill on
// hover and press.
Ink flatInk(State eState);
// The same on the dark theme.
Ink flatInkDark(State eState);
// Accent-filled buttons with a white glyph or text.
QColor accentFill(State eState);

QColor withAlpha(QColor stColor, int iAlpha);
QPen roundPen(const QColor &stColor, qreal lfWidth);

// An X of half-size lfHalf around stCentre.
void drawCross(QPainter &painter, QPointF stCentre, qreal lfHalf, const QPen &pen);
// A rounded rectangle filled with stFill and outlined with pen (or none).
void drawRounded(QPainter &painter, const QRectF &stRect, qreal lfRadius, const QColor &stFill,
                 const QPen &pen = Qt::NoPen);
// A rounded body with a triangular pointer whose tip is stTip; the pointer
// leaves the body's nearest edge, lfHalfBase either side of the tip.
QPainterPath bubblePath(const QRectF &stBody, qreal lfRadius, QPointF stTip, qreal lfHalfBase);
// A landscape picture (frame, hills and sun) inside stRect.
void drawPictureGlyph(QPainter &painter, const QRectF &stRect, const QColor &stInk, qreal lfStroke);
// A film-camera glyph inside stRect.
void drawVideoGlyph(QPainter &painter, const QRectF &stRect, const QColor &stInk);
// Two-bar pause and right-pointing play glyphs centred on stCentre.
void drawPauseGlyph(QPainter &painter, QPointF stCentre, qreal lfHeight, const QColor &stInk);
void drawPlayGlyph(QPainter &painter, QPointF stCentre, qreal lfHeight, const QColor &stInk);
// A check mark inside stRect.
void drawCheck(QPainter &painter, const QRectF &stRect, const QPen &pen);
// A round badge with an exclamation mark, question mark or "i".
void drawExclamation(QPainter &painter, const QRectF &stCircle, const QColor &stFill, const QColor &stInk);
void drawQuestion(QPainter &painter, const QRectF &stCircle, const QPen &ring, const QColor &stInk);
void drawInfo(QPainter &painter, const QRectF &stCircle, const QColor &stFill, const QColor &stInk);

} // namespace art::kit
