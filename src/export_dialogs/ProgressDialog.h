#pragma once

#include "ui/CBLLUIShadowMgr.h"

#include <QDialog>
#include <QPoint>

class QLabel;
class QProgressBar;
class QPushButton;

// The progress of a long job (an import of materials, an export): a
// picture, a bar and "<prefix> (<n>%)". Closing it (its close button or
// Escape) is how the user cancels; the owner listens to finished() or
// sig_hided(). It dims the main window while it is shown and can be moved
// with the mouse.
class ProgressDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ProgressDialog(QWidget *pParent = nullptr);

    // Stores the prefix and rebuilds the label at once.
    void setPrefixText(const QString &szText);
    QString prefixText() const { return m_szPrefix; }
    // The picture of the upper panel (a resource path).
    void setBackgroundImage(const QString &szPath);
    // Clamps into 0..100, shows it and rebuilds the label even when unchanged.
    void setProgress(int iValue);
    int progress() const;
    QString labelText() const;

Q_SIGNALS:
    void sig_hided();

public Q_SLOTS:
    // Closes the dialog after iMilisecond milliseconds.
    void closeAfterTime(int iMilisecond);

protected:
    void hideEvent(QHideEvent *pEvent) override;
    void showEvent(QShowEvent *pEvent) override;
    void timerEvent(QTimerEvent *pEvent) override;
    void mousePressEvent(QMouseEvent *pEvent) override;
    void mouseMoveEvent(QMouseEvent *pEvent) override;
    void mouseReleaseEvent(QMouseEvent *pEvent) override;

private:
    void updateLabel(int iValue);
    void refresh();

    QString m_szPrefix;
    int m_iCloseTimerId = 0;
    bool m_bDragging = false;
    QPoint m_stPressGlobal;
    QPoint m_stPressWindowPos;
    QWidget *m_pBackground = nullptr;
    QPushButton *m_pClose = nullptr;
    QProgressBar *m_pBar = nullptr;
    QLabel *m_pContent = nullptr;
    CQShadowPush m_dimming;
};
