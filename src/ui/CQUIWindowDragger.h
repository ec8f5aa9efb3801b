#pragma once

#include <QPoint>
#include <QRect>
#include <QWidget>

// A title strip that moves its window. The move itself is handed to the
// window system where it can take it (so window snapping and screen edges
// behave as users expect); otherwise the strip moves the window itself.
class CQUIWindowDragger : public QWidget
{
    Q_OBJECT
public:
    explicit CQUIWindowDragger(QWidget *pParent = nullptr);

Q_SIGNALS:
    void doubleClicked();

protected:
    void mousePressEvent(QMouseEvent *pEvent) override;
    void mouseReleaseEvent(QMouseEvent *pEvent) override;
    void mouseDoubleClickEvent(QMouseEvent *pEvent) override;
    void mouseMoveEvent(QMouseEvent *pEvent) override;
    void paintEvent(QPaintEvent *pEvent) override;

private:
    // Pulls a maximised window out under the cursor at its normal size.
    void restoreUnderCursor(QWidget *pWindow, const QPoint &stGlobal);
    int screenLeft() const;

    QPoint m_stPressPos;
    QPoint m_stWindowPos;
    QRect m_stStartGeometry;
    bool m_bDragging = false;
    bool m_bMoved = false;
    int m_iCurrentScreenX = 0;
    int m_iPressScreenX = 0;
    bool m_bScreenChanged = false;
};
