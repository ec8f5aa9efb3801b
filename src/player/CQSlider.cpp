#include "player/CQSlider.h"

#include <QKeyEvent>
#include <QMouseEvent>

CQSlider::CQSlider(QWidget *pParent) : QSlider(Qt::Horizontal, pParent)
{
    setRange(0, 1000);
    setSingleStep(10);
    setPageStep(100);
    setTickPosition(QSlider::NoTicks);
    setFocusPolicy(Qt::StrongFocus);
}

double CQSlider::fractionAt(int x) const
{
    return width() > 0 ? qBound(0.0, double(x) / width(), 1.0) : 0.0;
}

void CQSlider::mousePressEvent(QMouseEvent *pEvent)
{
    if (pEvent->button() != Qt::LeftButton)
        return QSlider::mousePressEvent(pEvent);
    m_bPressed = true;
    setFocus(Qt::MouseFocusReason);
    Q_EMIT cSliderPressSignal(fractionAt(pEvent->pos().x()));
}

void CQSlider::mouseMoveEvent(QMouseEvent *pEvent)
{
    if (!m_bPressed || !(pEvent->buttons() & Qt::LeftButton))
        return;
    const double lfFraction = fractionAt(pEvent->pos().x());
    setValue(int(lfFraction * 1000));
    Q_EMIT cSliderMoveSignal(lfFraction);
}

void CQSlider::mouseReleaseEvent(QMouseEvent *pEvent)
{
    if (!m_bPressed || pEvent->button() != Qt::LeftButton)
        return;
    m_bPressed = false;
    const double lfFraction = fractionAt(pEvent->pos().x());
    setValue(int(lfFraction * 1000));
    Q_EMIT cSliderReleaseSignal(lfFraction);
}

void CQSlider::keyPressEvent(QKeyEvent *pEvent)
{
    const int iBefore = value();
    QSlider::keyPressEvent(pEvent);
    if (value() == iBefore)
        return;
    Q_EMIT cSliderPressSignal(iBefore / 1000.0);
    Q_EMIT cSliderReleaseSignal(value() / 1000.0);
}
