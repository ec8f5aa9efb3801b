#pragma once

#include "ui/CQDialogEx.h"

class QLabel;

// The export failed: a picture, a title and the error text (elided to its
// line; the whole text is the line's tooltip). Not modal, deleted when closed.
class FailDialog : public CQDialogEx
{
    Q_OBJECT
public:
    explicit FailDialog(QWidget *pParent = nullptr);

    void setTitleText(const QString &szText);
    void setErrorText(const QString &szText);

private:
    QLabel *m_pContent = nullptr;
    QLabel *m_pError = nullptr;
};
