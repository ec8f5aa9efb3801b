#include "ui/QtInversionWidget.h"

#include <QChildEvent>
#include <QCoreApplication>

QtInversionWidget::QtInversionWidget(QWidget *pParent)
    : QWidget(pParent)
{
    setObjectName(QStringLiteral("QtInversionWidgetClass"));
    setWindowTitle(QCoreApplication::translate("QtInversionWidget", "Pictora", "QtInversionWidget"));
    resize(572, 378);
    setStyleSheet(QStringLiteral("background-color: transparent;"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

bool QtInversionWidget::event(QEvent *pEvent)
{
    if (pEvent->type() == QEvent::ChildAdded || pEvent->type() == QEvent::ChildRemoved) {
        QObject *pChild = static_cast<QChildEvent *>(pEvent)->child();
        if (pEvent->type() == QEvent::ChildAdded && pChild->isWidgetType())
            pChild->installEventFilter(this);
        updateMouseTransparency();
    }
    return QWidget::event(pEvent);
}

bool QtInversionWidget::eventFilter(QObject *pWatched, QEvent *pEvent)
{
    if (pEvent->type() == QEvent::Show || pEvent->type() == QEvent::Hide)
        updateMouseTransparency();
    return QWidget::eventFilter(pWatched, pEvent);
}

void QtInversionWidget::resizeEvent(QResizeEvent *pEvent)
{
    QWidget::resizeEvent(pEvent);
    for (QObject *pChild : children()) {
        auto *pWidget = qobject_cast<QWidget *>(pChild);
        if (pWidget && !pWidget->isWindow())
            pWidget->setGeometry(rect());
    }
}

void QtInversionWidget::updateMouseTransparency()
{
    // Dialogs are windows of their own: only what is drawn inside the
    // overlay (the dimming layer) catches the mouse.
    bool bShowsSomething = false;
    for (QObject *pChild : children()) {
        auto *pWidget = qobject_cast<QWidget *>(pChild);
        if (pWidget && !pWidget->isWindow() && !pWidget->isHidden())
            bShowsSomething = true;
    }
    setAttribute(Qt::WA_TransparentForMouseEvents, !bShowsSomething);
}
