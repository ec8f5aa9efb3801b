// Pictures of the prompt dialogs, the toast and the combo box.

#include "artgen/ArtKit.h"

#include <QPainter>

using namespace art;
using namespace art::kit;

namespace {

// 30x30 close button of the dialogs' title strips.
void drawCloseButton(QPainter &painter, const QSizeF &, State eState)
{
    Ink ink = flatInk(eState);
    if (eState == State::Normal)
        ink.stGlyph = kInkMuted;
    if (ink.stFill.isValid())
        drawRounded(painter, QRectF(3, 3, 24, 24), 5, ink.stFill);
    drawCross(painter, QPointF(15, 15), 4.6, roundPen(ink.stGlyph, 1.2));
}

// 76x30 outlined button behind dark text.
void drawCancelButton(QPainter &painter, const QSizeF &stSize, State eState)
{
    static const QColor kFill[] = {Qt::white, QColor(0xf7, 0xf6, 0xff), QColor(0xec, 0xe9, 0xfe),
                                   QColor(0xf5, 0xf5, 0xf7)};
    static const QColor kBorder[] = {kLine, kAccent, kAccentPressed, QColor(0xe6, 0xe6, 0xea)};
    const int i = static_cast<int>(eState);
    drawRounded(painter, QRectF(QPointF(0.5, 0.5), stSize - QSizeF(1, 1)), 4, kFill[i], QPen(kBorder[i], 1));
}

// 76x30 accent button behind white text.
void drawOkButton(QPainter &painter, const QSizeF &stSize, State eState)
{
    drawRounded(painter, QRectF(QPointF(0, 0), stSize), 4, accentFill(eState));
}

std::vector<Entry> promptButtons(const QString &szDir)
{
    std::vector<Entry> list;
    for (const auto &group : {stateFiles(szDir + "btn_close_%1.png", {30, 30}, drawCloseButton),
                              stateFiles(szDir + "tip_btn_cancel%1.png", {76, 30}, drawCancelButton),
                              stateFiles(szDir + "tip_btn_ok%1.png", {76, 30}, drawOkButton)})
        list.insert(list.end(), group.begin(), group.end());
    return list;
}

const Registrar registrar{
    promptButtons("theme_default/imgs/dlgtipsimple/"),
    promptButtons("theme_local/imgs/"),
    picture("theme_local/imgs/toastIcon.png", {20, 20},
            [](QPainter &painter, const QSizeF &) { drawExclamation(painter, QRectF(1, 1, 18, 18), kDanger, Qt::white); }),
    // The check box of a question ("Do not show this again").
    picture("theme_local/imgs/tipCheck_off.png", {14, 14},
            [](QPainter &painter, const QSizeF &) {
                drawRounded(painter, QRectF(0.5, 0.5, 13, 13), 3, Qt::white, QPen(QColor(0xb8, 0xb8, 0xc0), 1));
            }),
    picture("theme_local/imgs/tipCheck_on.png", {14, 14},
            [](QPainter &painter, const QSizeF &) {
                drawRounded(painter, QRectF(0, 0, 14, 14), 3, kAccent);
                drawCheck(painter, QRectF(3, 4, 8, 6), roundPen(Qt::white, 1.6));
            }),
    picture("theme_local/imgs/comboboxCheck.png", {16, 16},
            [](QPainter &painter, const QSizeF &) { drawCheck(painter, QRectF(2, 3, 12, 10), roundPen(kAccent, 1.6)); }),
    picture("theme_local/imgs/preview_describe_icon.png", {9, 9},
            [](QPainter &painter, const QSizeF &) {
                drawInfo(painter, QRectF(0, 0, 9, 9), QColor(0xa8, 0xa8, 0xb3), Qt::white);
            }),
};

} // namespace
