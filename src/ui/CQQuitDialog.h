#pragma once

#include "ui/CBLLUIShadowMgr.h"

#include <QDialog>

class CQUIPushButton;
class QCheckBox;
class QGridLayout;
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
    // Button texts; a button grows to fit a longer text.
    void setLeftButtonText(const QString &szText);
    void setRightButtonText(const QString &szText);
    // A check box under the two lines ("Do not show this again"), unchecked.
    void setCheckText(const QString &szText);
    bool isChecked() const;

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
    QGridLayout *m_pCenterLayout = nullptr;
    QCheckBox *m_pCheck = nullptr;
    CQUIPushButton *m_pCancel = nullptr;
    CQUIPushButton *m_pOk = nullptr;
    CQShadowPush m_dimming;
};
