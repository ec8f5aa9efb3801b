#include "editor/ImageWatermarkHelpDialog.h"

#include <QLabel>
#include <QVBoxLayout>

ImageWatermarkHelpDialog::ImageWatermarkHelpDialog(QWidget *pParent)
    : QDialog(pParent)
{
    setObjectName(QStringLiteral("ImageWatermarkHelpDialog"));
    // A child widget: it moves with the editor and never takes the focus.
    setWindowFlags(Qt::Widget | Qt::FramelessWindowHint);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    auto *pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    m_pText = new QLabel(this);
    m_pText->setObjectName(QStringLiteral("labelHelpText"));
    m_pText->setWordWrap(true);
    m_pText->setTextFormat(Qt::PlainText);
    m_pText->setStyleSheet(QStringLiteral(
        "border-image: url(:/theme_local/imgs/watermarkHelpDialog.png);color: #EEEEEE;"
        "font-family: 'Microsoft YaHei';font-size: 14px;line-height: 22px;padding-left: 16px;padding-right: 16px;"
        // The top of the picture is the pointer.
        "padding-top: 6px;padding-bottom: 2px;"));
    pLayout->addWidget(m_pText);
}

void ImageWatermarkHelpDialog::setText(const QString &szText)
{
    m_pText->setText(szText);
    setAccessibleName(szText);
    // Longer texts than the picture was drawn for make the bubble taller, never cut.
    m_pText->ensurePolished(); // the style sheet's font and padding count
    const int iNeeded = m_pText->heightForWidth(width());
    if (iNeeded > height())
        resize(width(), iNeeded + 4);
}

QString ImageWatermarkHelpDialog::text() const
{
    return m_pText->text();
}
