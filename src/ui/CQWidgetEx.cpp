#include "ui/CQWidgetEx.h"

#include "ui/CFramelessWindow.h"

#include <QGraphicsDropShadowEffect>
#include <QGuiApplication>
#include <QScreen>
#include <QStyle>

#include <cmath>

void addDropShadow(QWidget *pWidget, const QPointF &stOffset, const QColor &stColor, qreal lfBlurRadius)
{
    if (!pWidget)
        return;
    auto *pEffect = new QGraphicsDropShadowEffect(pWidget);
    pEffect->setOffset(stOffset);
    pEffect->setColor(stColor);
    pEffect->setBlurRadius(lfBlurRadius);
    pWidget->setGraphicsEffect(pEffect);
}

bool centerWidget(QWidget *pWidget, QWidget *pReference)
{
    if (!pWidget)
        return false;
    QRect stArea;
    if (pReference) {
        stArea = pReference->geometry();
    } else {
        QScreen *pScreen = nullptr;
        if (CFramelessWindow *pMain = CFramelessWindow::instance()) {
            const QPoint stCentre = pMain->pos()
                + QPoint(static_cast<int>(std::lround(pMain->width() / 2.0)),
                         static_cast<int>(std::lround(pMain->height() / 2.0)));
            pScreen = QGuiApplication::screenAt(stCentre);
        }
        if (!pScreen)
            pScreen = QGuiApplication::primaryScreen();
        if (!pScreen)
            return false;
        stArea = pScreen->availableGeometry();
    }
    pWidget->move((stArea.width() - pWidget->width()) / 2 + stArea.left(),
                  (stArea.height() - pWidget->height()) / 2 + stArea.top());
    return true;
}

bool setStyleProperty(QWidget *pWidget, const QString &szName, const QString &szValue)
{
    if (!pWidget)
        return false;
    pWidget->setProperty(szName.toLocal8Bit().constData(), szValue);
    pWidget->style()->unpolish(pWidget);
    pWidget->style()->polish(pWidget);
    pWidget->update();
    return true;
}
