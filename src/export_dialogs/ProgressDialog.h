#pragma once

#include "ui/CBLLUIShadowMgr.h"

#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

// The progress of a long job (an import of materials, an export): a
// picture, a bar and "<prefix> (<n>%)". Closing it (its close button or
// Escape) is how the user cancels; the owner of an import listens to
// finished(), that of an export to sig_cancelRequested() (a hide by the
// window system, as when the main window is minimised, is no cancel). It
// dims the main window while it is shown and can be moved with the mouse.
class ProgressDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ProgressDialog(QWidget *pParent = nullptr);
    // The dialog of an export: "exporting... ", its picture, modal and kept
    // when closed. A close by the user asks to cancel (sig_cancelRequested)
    // and the dialog stays, keeping the editor still, until its owner hides
    // it at the export's end.
    static ProgressDialog *createForExport(QWidget *pParent);

    // Stores the prefix and rebuilds the label at once.
    void setPrefixText(const QString &szText);
    // The picture of the upper panel (a resource path).
    void setBackgroundImage(const QString &szPath);
    // Clamps into 0..100, shows it and rebuilds the label even when unchanged.
    void setProgress(int iValue);
    int progress() const;
    QString labelText() const;

Q_SIGNALS:
    void sig_hided();
    void sig_cancelRequested();

public Q_SLOTS:
    // Closes the dialog after iMilisecond milliseconds.
    void closeAfterTime(int iMilisecond);

protected:
    void hideEvent(QHideEvent *pEvent) override;
    void showEvent(QShowEvent *pEvent) override;
    void timerEvent(QTimerEvent *pEvent) override;
    void closeEvent(QCloseEvent *pEvent) override;
    void reject() override;

private:
    void updateLabel(int iValue);
    void refresh();
    void requestCancel();

    QString m_szPrefix;
    int m_iCloseTimerId = 0;
    bool m_bStaysUntilDone = false;
    bool m_bCancelRequested = false;
    QWidget *m_pBackground = nullptr;
    QPushButton *m_pClose = nullptr;
    QProgressBar *m_pBar = nullptr;
    QLabel *m_pContent = nullptr;
    CQShadowPush m_dimming;
};
