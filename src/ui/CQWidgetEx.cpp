#include "ui/CQWidgetEx.h"

#include "ui/CFramelessWindow.h"

#include <QGraphicsDropShadowEffect>
#include <QGuiApplication>
#include <QIcon>
#include <QLayout>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QX11Info>

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
        // A window placed by a widget inside another window needs that
        // widget's rectangle on the screen, not in its parent.
        if (pWidget->isWindow() && !pReference->isWindow())
            stArea.moveTopLeft(pReference->mapToGlobal(QPoint(0, 0)));
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

void keepOnScreen(QWidget *pWindow)
{
    const QScreen *pScreen = QGuiApplication::screenAt(pWindow->geometry().center());
    if (!pScreen)
        pScreen = QGuiApplication::primaryScreen();
    if (!pScreen)
        return;
    const QRect stAvailable = pScreen->availableGeometry();
    QPoint stPos = pWindow->pos();
    if (stPos.y() + pWindow->height() > stAvailable.bottom() + 1)
        stPos.setY(stAvailable.bottom() + 1 - pWindow->height());
    if (stPos.x() < stAvailable.left())
        stPos.setX(stAvailable.left());
    pWindow->move(stPos);
}

QPushButton *flatButton(QWidget *pParent, const char *pszName)
{
    auto *pButton = new QPushButton(pParent);
    pButton->setObjectName(QLatin1String(pszName));
    pButton->setFlat(true);
    pButton->setCursor(Qt::PointingHandCursor);
    pButton->setFocusPolicy(Qt::TabFocus);
    return pButton;
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

QString plainToolTip(const QString &szText)
{
    if (szText.isEmpty())
        return QString();
    return QStringLiteral("<p style='white-space:pre'>%1</p>").arg(szText.toHtmlEscaped());
}

bool windowTranslucencyAvailable()
{
    const QString szPlatform = QGuiApplication::platformName();
    if (szPlatform.startsWith(QLatin1String("wayland")))
        return true;
    // Qt follows the owner of _NET_WM_CM_S<screen> itself: no round trip.
    return QX11Info::isPlatformX11() && QX11Info::isCompositingManagerRunning();
}

bool setUpDialogFrame(QWidget *pDialog, QWidget *pFrame, QLayout *pOuter, int iShadowMargin)
{
    if (windowTranslucencyAvailable()) {
        pDialog->setAttribute(Qt::WA_NoSystemBackground);
        pDialog->setAttribute(Qt::WA_TranslucentBackground);
        pOuter->setContentsMargins(iShadowMargin, iShadowMargin, iShadowMargin, iShadowMargin);
        addDropShadow(pFrame, QPointF(0, 0), QColor(106, 106, 106, 64), 20);
        return true;
    }
    pDialog->setAttribute(Qt::WA_TranslucentBackground, false);
    pOuter->setContentsMargins(0, 0, 0, 0);
    const QSize stShrink(2 * iShadowMargin, 2 * iShadowMargin);
    if (pDialog->minimumSize() == pDialog->maximumSize())
        pDialog->setFixedSize(pDialog->minimumSize() - stShrink);
    setStyleProperty(pFrame, QStringLiteral("qstyle"), QStringLiteral("square"));
    return false;
}

QPixmap resourcePixmap(const QString &szPath, const QSize &stLogicalSize)
{
    return QIcon(szPath).pixmap(stLogicalSize);
}
