#pragma once

#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class QLabel;
class QPropertyAnimation;

// A short red notice under the top of the widget it belongs to, for a few
// seconds, optionally fading out. It takes neither the keyboard nor the
// mouse: typing in the field that caused it goes on. It deletes itself
// when its time is up.
class CQToast : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(int alpha READ alpha WRITE setAlpha)
    Q_PROPERTY(QPixmap icon READ icon WRITE setIcon)
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    explicit CQToast(QWidget *pParent);

    int alpha() const { return m_iAlpha; }
    void setAlpha(int iAlpha);
    QPixmap icon() const { return m_stIcon; }
    void setIcon(const QPixmap &stIcon);
    QString text() const { return m_szText; }
    // Shows the text, widening the toast to fit it, and places the toast.
    void setText(const QString &szText);

    // Shows szText for iDurationMs (1000 when negative), fading out over
    // that time when bFade.
    void showToast(const QString &szText, int iDurationMs, bool bFade);

private:
    void layOutNow();
    void placeUnderParent();

    QWidget *m_pFrame = nullptr;
    QLabel *m_pIcon = nullptr;
    QLabel *m_pText = nullptr;
    QTimer m_closeTimer;
    int m_iAlpha = 255;
    QPointer<QPropertyAnimation> m_pFade;
    QPixmap m_stIcon;
    QString m_szText;
    bool m_bRounded = true;
};
