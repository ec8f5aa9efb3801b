#include "ui/CQWindowDragFilter.h"

#include <QMouseEvent>
#include <QWidget>

CQWindowDragFilter::CQWindowDragFilter(QWidget *pWindow)
    : QObject(pWindow), m_pWindow(pWindow)
{
    pWindow->installEventFilter(this);
}

bool CQWindowDragFilter::eventFilter(QObject *pWatched, QEvent *pEvent)
{
    if (pWatched != m_pWindow)
        return false;
    switch (pEvent->type()) {
    case QEvent::MouseButtonPress: {
        auto *pMouse = static_cast<QMouseEvent *>(pEvent);
        if (pMouse->button() == Qt::LeftButton) {
            m_bDragging = true;
            m_stPressGlobal = pMouse->globalPos();
            m_stPressWindowPos = m_pWindow->pos();
        }
        break;
    }
    case QEvent::MouseMove: {
        auto *pMouse = static_cast<QMouseEvent *>(pEvent);
        if (m_bDragging && (pMouse->buttons() & Qt::LeftButton))
            m_pWindow->move(m_stPressWindowPos + pMouse->globalPos() - m_stPressGlobal);
        break;
    }
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent *>(pEvent)->button() == Qt::LeftButton)
            m_bDragging = false;
        break;
    default:
        break;
    }
    return false;
}
