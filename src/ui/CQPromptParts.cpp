#include "ui/CQPromptParts.h"

#include "ui/CQUIPushButton.h"

#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

CQPromptParts buildPromptFrame(QDialog *pDialog)
{
    CQPromptParts parts;
    parts.pOuterLayout = new QVBoxLayout(pDialog);
    parts.pOuterLayout->setObjectName(QStringLiteral("verticalLayout_2"));
    parts.pOuterLayout->setSpacing(0);
    parts.pOuterLayout->setContentsMargins(0, 0, 0, 0);
    parts.pFrame = new QWidget(pDialog);
    parts.pFrame->setObjectName(QStringLiteral("uiFrame"));
    parts.pOuterLayout->addWidget(parts.pFrame);
    parts.pFrameLayout = new QVBoxLayout(parts.pFrame);
    parts.pFrameLayout->setObjectName(QStringLiteral("verticalLayout"));
    parts.pFrameLayout->setSpacing(0);
    parts.pFrameLayout->setContentsMargins(0, 0, 0, 0);

    auto *pTitleStrip = new QWidget(parts.pFrame);
    pTitleStrip->setObjectName(QStringLiteral("uiTitle"));
    pTitleStrip->setFixedHeight(38);
    auto *pTitleLayout = new QHBoxLayout(pTitleStrip);
    pTitleLayout->setObjectName(QStringLiteral("horizontalLayout"));
    pTitleLayout->setContentsMargins(0, 0, 5, 0);
    pTitleLayout->addStretch(1);
    parts.pTitle = new QLabel(pTitleStrip);
    parts.pTitle->setObjectName(QStringLiteral("labAppTilte"));
    parts.pTitle->setMinimumWidth(200);
    parts.pTitle->setAlignment(Qt::AlignCenter);
    pTitleLayout->addWidget(parts.pTitle);
    pTitleLayout->addStretch(1);
    parts.pClose = new QPushButton(pTitleStrip);
    parts.pClose->setObjectName(QStringLiteral("btnClose"));
    parts.pClose->setFlat(true);
    parts.pClose->setFixedSize(30, 30);
    parts.pClose->setCursor(Qt::PointingHandCursor);
    parts.pClose->setFocusPolicy(Qt::TabFocus);
    pTitleLayout->addWidget(parts.pClose);
    parts.pFrameLayout->addWidget(pTitleStrip);
    return parts;
}

QLabel *promptTextLabel(QWidget *pParent, const char *pszName)
{
    auto *pLabel = new QLabel(pParent);
    pLabel->setObjectName(QLatin1String(pszName));
    pLabel->setWordWrap(true);
    pLabel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    pLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // Messages name files: a name that looks like markup is shown as it is.
    pLabel->setTextFormat(Qt::PlainText);
    return pLabel;
}

CQUIPushButton *promptButton(QWidget *pParent, const char *pszName)
{
    auto *pButton = new CQUIPushButton(pParent);
    pButton->setObjectName(QLatin1String(pszName));
    pButton->setFlat(true);
    pButton->setFixedSize(76, 30);
    pButton->setCursor(Qt::PointingHandCursor);
    return pButton;
}

QWidget *promptButtonRow(QWidget *pParent, const char *pszName, const char *pszLayoutName,
                         std::initializer_list<QPushButton *> buttons)
{
    auto *pRow = new QWidget(pParent);
    pRow->setObjectName(QLatin1String(pszName));
    pRow->setFixedHeight(57);
    auto *pLayout = new QGridLayout(pRow);
    pLayout->setObjectName(QLatin1String(pszLayoutName));
    pLayout->setContentsMargins(0, 0, 0, 0);
    int iColumn = 0;
    pLayout->setColumnStretch(iColumn++, 1);
    for (QPushButton *pButton : buttons) {
        pButton->setParent(pRow);
        pLayout->addWidget(pButton, 0, iColumn++);
        pLayout->setColumnStretch(iColumn++, 1);
    }
    return pRow;
}
