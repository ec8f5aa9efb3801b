#pragma once

#include <QDialog>

// Base of the program's own dialogs: reports showing and hiding to the
// dialog manager, which dims the main window while any dialog is open.
class CQDialogEx : public QDialog
{
    Q_OBJECT
public:
    explicit CQDialogEx(QWidget *pParent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~CQDialogEx() override;

    // Lets the theme manager replace the dialog's style sheet.
    bool applyTheme();

protected:
    void showEvent(QShowEvent *pEvent) override;
    void hideEvent(QHideEvent *pEvent) override;
};
