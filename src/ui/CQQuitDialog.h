#pragma once

#include "ui/CBLLUIShadowMgr.h"

#include <QDialog>

class CQUIPushButton;
class QLabel;

// A non-modal confirmation with two lines of text. Its buttons close it and
// then emit btnLeftSignal() (cancel) or btnRightSignal() (confirm); it
// deletes itself once closed. While it is shown the main window is dimmed.
class CQQuitDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CQQuitDialog(QWidget *pParent = nullptr);
    ~CQQuitDialog() override;

    void setTitle(const QString &szText);
    // Texts of the two lines; a non-empty style replaces that line's style sheet.
    void setTexts(const QString &szFirst, const QString &szSecond, const QString &szFirstStyle = QString(),
                  const QString &szSecondStyle = QString());
    void setLeftButtonText(const QString &szText);
    void setRightButtonText(const QString &szText);

Q_SIGNALS:
    void btnRightSignal();
    void btnLeftSignal();

public Q_SLOTS:
    void sltClose();
    void sltCancel();
    void sltOK();

protected:
    void showEvent(QShowEvent *pEvent) override;
    void hideEvent(QHideEvent *pEvent) override;

private:

    QLabel *m_pTitle = nullptr;
    QLabel *m_pTip = nullptr;
    QLabel *m_pTip2 = nullptr;
    CQUIPushButton *m_pCancel = nullptr;
    CQUIPushButton *m_pOk = nullptr;
    CQShadowPush m_dimming;
};
