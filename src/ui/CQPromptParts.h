#pragma once

#include <initializer_list>

class CQUIPushButton;
class QDialog;
class QLabel;
class QPushButton;
class QVBoxLayout;
class QWidget;

// What the prompt dialogs are made of: a white frame filling the dialog, a
// 38-pixel title strip with the title and a close button, and rows of
// 76x30 buttons. Object names are those the style sheets use.
struct CQPromptParts
{
    QVBoxLayout *pOuterLayout = nullptr; // "verticalLayout_2": dialog -> uiFrame
    QWidget *pFrame = nullptr;           // "uiFrame"
    QVBoxLayout *pFrameLayout = nullptr; // "verticalLayout": the strips, top to bottom
    QLabel *pTitle = nullptr;            // "labAppTilte"
    QPushButton *pClose = nullptr;       // "btnClose"
};

CQPromptParts buildPromptFrame(QDialog *pDialog);
// A word-wrapped message line of a prompt.
QLabel *promptTextLabel(QWidget *pParent, const char *pszName);
// A 76x30 text button of a prompt.
CQUIPushButton *promptButton(QWidget *pParent, const char *pszName);
// A 57-pixel strip with the buttons centred and spaced evenly.
QWidget *promptButtonRow(QWidget *pParent, const char *pszName, const char *pszLayoutName,
                         std::initializer_list<QPushButton *> buttons);
