#pragma once

// The preview's seek slider (0..1000). A click does not jump the handle; it
// reports where it landed as a fraction of the groove, dragging moves the
// handle to the pointer, and releasing reports the final place. The arrow,
// page, Home and End keys seek as one press and release.

#include <QSlider>

class CQSlider : public QSlider
{
    Q_OBJECT
public:
    explicit CQSlider(QWidget *pParent = nullptr);

Q_SIGNALS:
    void cSliderPressSignal(double perc);
    void cSliderMoveSignal(double perc);
    void cSliderReleaseSignal(double perc);

protected:
    void mousePressEvent(QMouseEvent *pEvent) override;
    void mouseMoveEvent(QMouseEvent *pEvent) override;
    void mouseReleaseEvent(QMouseEvent *pEvent) override;
    void keyPressEvent(QKeyEvent *pEvent) override;

private:
    double fractionAt(int x) const;
    bool m_bPressed = false;
};
