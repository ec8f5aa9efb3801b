#include "editor/ImageOpenTipDialog.h"

#include <QLabel>
#include <QVBoxLayout>

ImageOpenTipDialog::ImageOpenTipDialog(QWidget *pParent)
    : QWidget(pParent, Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("ImageOpenTipDialog"));
    setAttribute(Qt::WA_TranslucentBackground);
    // A hint, not a control: clicks go to what lies below.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    m_pLabel = new QLabel(this);
    m_pLabel->setObjectName(QStringLiteral("label"));
    m_pLabel->setWordWrap(true);
    m_pLabel->setTextFormat(Qt::PlainText);
    m_pLabel->setStyleSheet(QStringLiteral(
        "border-image: url(:/theme_local/imgs/open_image_tip.png);color:#ffffff;font-family:'Microsoft YaHei';"
        "font-size:14px;font-weight:400;padding: 7px 0 12px 12px;"));
    pLayout->addWidget(m_pLabel);
}

void ImageOpenTipDialog::setText(const QString &szText)
{
    m_pLabel->setText(szText);
    setAccessibleName(szText);
}

int ImageOpenTipDialog::widthFor(int iWidth) const
{
    m_pLabel->ensurePolished();
    // 12 pixels of padding on the left, as much on the right.
    return qMax(iWidth, m_pLabel->fontMetrics().horizontalAdvance(m_pLabel->text()) + 24);
}

QString ImageOpenTipDialog::text() const
{
    return m_pLabel->text();
}
