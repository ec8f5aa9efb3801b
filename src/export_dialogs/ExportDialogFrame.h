#pragma once

class QDialog;
class QPushButton;
class QString;
class QVBoxLayout;
class QWidget;

// The frame shared by the progress, success and failure dialogs: 502x352,
// an upper panel showing a picture with the close button in its corner,
// and a white lower panel 106 pixels high.
struct ExportDialogFrame
{
    QWidget *pBackground = nullptr;       // "divBackground"
    QPushButton *pClose = nullptr;        // "btnClose"
    QWidget *pBottom = nullptr;           // "divBottom"
    QVBoxLayout *pBottomLayout = nullptr;
};

// Builds the frame on pDialog, whose object name is set: frameless, deleted
// when closed, styled by the shared sheet and its own, movable with the
// mouse, centred on its parent; the close button closes it.
ExportDialogFrame buildExportDialogFrame(QDialog *pDialog);

// Shows a picture (a resource path) in the upper panel ("divBackground").
void setExportDialogPicture(QWidget *pBackground, const QString &szPath);
