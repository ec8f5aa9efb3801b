#include "player/CQPrevTipDialog.h"

#include "ui/CQThemeMgr.h"
#include "ui/CQWidgetEx.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

CQPrevTipDialog::CQPrevTipDialog(QWidget *pParent) : QWidget(pParent, Qt::ToolTip | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("CQPrevTipDialog"));
    // Without a compositor the bubble's see-through corners would show black.
    m_bTranslucent = windowTranslucencyAvailable();
    setAttribute(Qt::WA_TranslucentBackground, m_bTranslucent);
    setAttribute(Qt::WA_DeleteOnClose);
    // A help bubble: it never takes the focus from the selector under it.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(352, 123);
    setStyleSheet(CQThemeMgr::builtInStyleSheet(objectName()));

    auto *pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(16, 19, 16, 8);
    pLayout->setSpacing(4);
    auto *pTitle = new QLabel(tr("Does the preview stutter?"), this);
    pTitle->setObjectName(QStringLiteral("labTipTitle"));
    pLayout->addWidget(pTitle);
    const QString szLines[] = {tr("Choose a lower quality, such as 1/2."),
                               tr("A lower quality plays more smoothly;"),
                               tr("the exported video keeps its full quality.")};
    for (int i = 0; i < 3; ++i) {
        // The first and last lines carry a dot; the last wraps.
        auto *pLine = new QLabel(i == 1 ? szLines[i] : QStringLiteral("• ") + szLines[i], this);
        pLine->setObjectName(QStringLiteral("labTipLine"));
        pLine->setWordWrap(i == 2);
        pLayout->addWidget(pLine);
    }
    pLayout->addStretch();
}

void CQPrevTipDialog::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (!m_bTranslucent)
        painter.fillRect(rect(), QColor(38, 38, 46));
    painter.drawPixmap(rect(), resourcePixmap(QStringLiteral(":/theme_local/imgs/bg_preHelp_dlg.png"), size()));
}
