#pragma once

#include "ui/CQDialogEx.h"

class CQUIPushButton;
class QLabel;
class QPushButton;

// The modal message box of the program: a title, one message and either
// Cancel and Confirm or Confirm alone. exec() returns 1 for Confirm and 0
// when closed (the close button, Cancel, Escape).
class CQDlgTipSimple : public CQDialogEx
{
    Q_OBJECT
public:
    explicit CQDlgTipSimple(QWidget *pParent = nullptr);

    void setTitle(const QString &szText);
    void setTipText(const QString &szText);
    void setOkText(const QString &szText);
    void setCancelText(const QString &szText);
    // Only the confirm button.
    void setSingleButton();
    // Puts a widget below the message: what the question asks for (the
    // dialog owns it).
    void addContentWidget(QWidget *pWidget);

public Q_SLOTS:
    void sltClose();
    void sltOK();

private:
    QLabel *m_pTitle = nullptr;
    QLabel *m_pTip = nullptr;
    QPushButton *m_pClose = nullptr;
    CQUIPushButton *m_pCancel = nullptr;
    CQUIPushButton *m_pOk = nullptr;
    CQUIPushButton *m_pOkSingle = nullptr;
    QWidget *m_pTwoButtons = nullptr;
    QWidget *m_pOneButton = nullptr;
};
