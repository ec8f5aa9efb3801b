#include "ui/CQUIWindowDragger.h"

#include "ui/CFramelessWindow.h"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyleOption>
#include <QTimer>
#include <QWindow>

CQUIWindowDragger::CQUIWindowDragger(QWidget *pParent)
    : QWidget(pParent)
{
}

int CQUIWindowDragger::screenLeft() const
{
    const QScreen *pScreen = screen();
    return pScreen ? pScreen->geometry().left() : 0;
}

void CQUIWindowDragger::mousePressEvent(QMouseEvent *pEvent)
{
    if (pEvent->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(pEvent);
    m_bDragging = true;
    m_bMoved = false;
    m_stPressPos = pEvent->globalPos();
    QWidget *pWindow = window();
    m_stWindowPos = pWindow->pos();
    m_stStartGeometry = pWindow->geometry();
    m_iPressScreenX = screenLeft();
}

void CQUIWindowDragger::restoreUnderCursor(QWidget *pWindow, const QPoint &stGlobal)
{
    auto *pMain = qobject_cast<CFramelessWindow *>(pWindow);
    QRect stNormal = pMain ? pMain->savedNormalGeometry() : pWindow->normalGeometry();
    stNormal.moveTo(stGlobal.x() - stNormal.width() / 2, pWindow->geometry().top());
    if (pMain)
        pMain->showNormalFrame();
    else
        pWindow->showNormal();
    pWindow->setGeometry(stNormal);
    m_stStartGeometry = stNormal;
    m_stWindowPos = stNormal.topLeft();
    m_stPressPos = stGlobal;
}

void CQUIWindowDragger::mouseMoveEvent(QMouseEvent *pEvent)
{
    m_iCurrentScreenX = screenLeft();
    if (m_iCurrentScreenX != m_iPressScreenX)
        m_bScreenChanged = true;
    QWidget *pWindow = window();
    if (!m_bDragging || !(pEvent->buttons() & Qt::LeftButton) || pWindow == this)
        return;
    const QPoint stGlobal = pEvent->globalPos();
    if (!m_bMoved) {
        // A click (or the first half of a double click) must not move.
        if ((stGlobal - m_stPressPos).manhattanLength() < QApplication::startDragDistance())
            return;
        m_bMoved = true;
        if (pWindow->isMaximized())
            restoreUnderCursor(pWindow, stGlobal);
        QWindow *pHandle = pWindow->windowHandle();
        if (pHandle && pHandle->startSystemMove()) {
            // The window system has the pointer now; no release comes here.
            m_bDragging = false;
            return;
        }
    }
    const QRect stGeometry = m_stStartGeometry.translated(stGlobal + m_stWindowPos - m_stPressPos
                                                              - m_stStartGeometry.topLeft());
    pWindow->setGeometry(stGeometry);
    m_stStartGeometry = stGeometry;
    m_stWindowPos = stGeometry.topLeft();
    m_stPressPos = stGlobal;
}

void CQUIWindowDragger::mouseReleaseEvent(QMouseEvent *pEvent)
{
    m_bDragging = false;
    CFramelessWindow *pMain = CFramelessWindow::instance();
    if (pMain && window() == pMain && pMain->readjustAfterScreenChange() && m_bScreenChanged) {
        m_bScreenChanged = false;
        QTimer::singleShot(50, pMain, &CFramelessWindow::sltAdjustDpiHandle);
    }
    QWidget::mouseReleaseEvent(pEvent);
}

void CQUIWindowDragger::mouseDoubleClickEvent(QMouseEvent *)
{
    Q_EMIT doubleClicked();
}

void CQUIWindowDragger::paintEvent(QPaintEvent *)
{
    QStyleOption stOption;
    stOption.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &stOption, &painter, this);
}
