#include "player/CQPrevTipDialog.h"

#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

CQPrevTipDialog::CQPrevTipDialog(QWidget *pParent) : QWidget(pParent, Qt::ToolTip | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("CQPrevTipDialog"));
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose);
    // A help bubble: it never takes the focus from the selector under it.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFixedSize(352, 123);

    auto *pTitle = new QLabel(tr("视频预览卡顿怎么解决："), this);
    pTitle->setObjectName(QStringLiteral("labTipTitle"));
    pTitle->move(16, 19);
    pTitle->adjustSize();

    auto *pBody = new QWidget(this);
    pBody->setObjectName(QStringLiteral("divTipBody"));
    pBody->setGeometry(16, 44, 352 - 32, 123 - 44 - 8);
    auto *pLayout = new QVBoxLayout(pBody);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(2);
    const QString szLines[] = {tr("可点击选择较小的视频预览质量（如1/2预览...)"), tr("预览质量越小，视频播放越顺畅；"),
                               tr("预览的视频质量不会影响实际的视频导出质量。")};
    for (int i = 0; i < 3; ++i) {
        // The first and last lines carry a dot; the last wraps.
        auto *pLine = new QLabel(i == 1 ? szLines[i] : QStringLiteral("• ") + szLines[i], pBody);
        pLine->setObjectName(QStringLiteral("labTipLine"));
        pLine->setWordWrap(i == 2);
        pLayout->addWidget(pLine);
    }
    pLayout->addStretch();
}

void CQPrevTipDialog::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(rect(), QPixmap(QStringLiteral(":/theme_local/imgs/bg_preHelp_dlg.png")));
}
