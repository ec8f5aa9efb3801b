#pragma once

#include "ui/CQDialogEx.h"

class QPushButton;

// The export is done: a picture, "Export succeeded" and a button that asks
// for the folder of the written file (sig_explorerFolderRequest; the dialog
// stays open). Not modal, deleted when closed.
class SuccessDialog : public CQDialogEx
{
    Q_OBJECT
public:
    explicit SuccessDialog(QWidget *pParent = nullptr);

    // The file the export wrote, kept for the folder request.
    void setExportedFile(const QString &szPath);
    QString exportedFile() const { return m_szExportedFile; }

Q_SIGNALS:
    void sig_explorerFolderRequest();

private:
    QString m_szExportedFile;
    QPushButton *m_pExportFolder = nullptr;
};
