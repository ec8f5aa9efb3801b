#include "ui/CQToast.h"

#include "ui/CQWidgetEx.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPropertyAnimation>

CQToast::CQToast(QWidget *pParent)
    : QWidget(pParent)
{
    setObjectName(QStringLiteral("CQToastClass"));
    resize(256, 46);
    setMinimumSize(256, 46);
    setMaximumSize(QWIDGETSIZE_MAX, 46);
    setWindowTitle(QCoreApplication::translate("CQToastClass", "Notice", "CQMyToast"));
    auto *pLayout = new QGridLayout(this);
    pLayout->setObjectName(QStringLiteral("gridLayout"));
    pLayout->setSpacing(0);
    pLayout->setContentsMargins(0, 0, 0, 0);
    m_pFrame = new QWidget(this);
    m_pFrame->setObjectName(QStringLiteral("toastWidget"));
    pLayout->addWidget(m_pFrame, 0, 0);
    auto *pRow = new QHBoxLayout(m_pFrame);
    pRow->setObjectName(QStringLiteral("horizontalLayout"));
    pRow->setSpacing(0);
    pRow->setContentsMargins(0, 0, 0, 0);
    pRow->addSpacing(50);
    m_pIcon = new QLabel(m_pFrame);
    m_pIcon->setObjectName(QStringLiteral("labelIcon"));
    m_pIcon->setFixedSize(20, 20);
    m_pIcon->setScaledContents(true);
    pRow->addWidget(m_pIcon);
    pRow->addSpacing(14);
    m_pText = new QLabel(m_pFrame);
    m_pText->setObjectName(QStringLiteral("labelText"));
    m_pText->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_pText->setAlignment(Qt::AlignCenter);
    pRow->addWidget(m_pText);
    pRow->addSpacing(50);

    // A tool tip of its own: no focus, no activation, clicks pass through.
    setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint
                   | Qt::WindowDoesNotAcceptFocus | Qt::WindowTransparentForInput);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_DeleteOnClose);
    m_bRounded = windowTranslucencyAvailable();
    setAttribute(Qt::WA_TranslucentBackground, m_bRounded);
    if (!m_bRounded) {
        // Without a compositor the window cannot be see-through: it is the
        // toast's own colour, and the fading shows on the frame and text.
        setAutoFillBackground(true);
        QPalette stPalette = palette();
        stPalette.setColor(QPalette::Window, QColor(255, 239, 239));
        setPalette(stPalette);
    }
    setIcon(resourcePixmap(QStringLiteral(":/theme_local/imgs/toastIcon.png"), QSize(20, 20)));
    m_closeTimer.setSingleShot(true);
    connect(&m_closeTimer, &QTimer::timeout, this, &QWidget::close);
    setAlpha(255);
}

void CQToast::setIcon(const QPixmap &stIcon)
{
    m_stIcon = stIcon;
    setAlpha(m_iAlpha);
}

void CQToast::setAlpha(int iAlpha)
{
    m_iAlpha = qBound(0, iAlpha, 255);
    if (!m_stIcon.isNull()) {
        QPixmap stFaded(m_stIcon.size());
        stFaded.setDevicePixelRatio(m_stIcon.devicePixelRatio());
        stFaded.fill(Qt::transparent);
        QPainter painter(&stFaded);
        painter.drawPixmap(0, 0, m_stIcon);
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.fillRect(stFaded.rect(), QColor(0, 0, 0, m_iAlpha));
        painter.end();
        m_pIcon->setPixmap(stFaded);
    }
    m_pFrame->setStyleSheet(QStringLiteral("#toastWidget{border:1px solid rgba(255, 185, 185, %2);border-radius:%3px;"
                                           "background-color: rgba(255, 239, 239, %1);}")
                                .arg(m_iAlpha)
                                .arg(m_iAlpha)
                                .arg(m_bRounded ? 10 : 0));
    m_pText->setStyleSheet(QStringLiteral("color: rgba(238, 71, 71,%1);font-family: 'Microsoft YaHei';"
                                          "font-weight: 400;font-size: 16px;")
                               .arg(m_iAlpha));
}

void CQToast::setText(const QString &szText)
{
    m_szText = szText;
    m_pText->setText(szText);
    // Measure in the label's own font (its style sheet sets it) at the
    // toast's current layout.
    m_pText->ensurePolished();
    layOutNow();
    const int iTextWidth = m_pText->fontMetrics().horizontalAdvance(szText);
    if (iTextWidth > m_pText->width()) {
        resize(width() + iTextWidth - m_pText->width(), height());
        layOutNow();
    }
    placeUnderParent();
}

void CQToast::layOutNow()
{
    // A hidden widget defers its layouts until shown; the width is needed now.
    layout()->setGeometry(rect());
    m_pFrame->layout()->setGeometry(m_pFrame->rect());
}

void CQToast::placeUnderParent()
{
    QWidget *pParent = parentWidget();
    if (!pParent)
        return;
    // The parent's top-left on the screen, whether or not it is a window.
    const QPoint stOrigin = pParent->mapToGlobal(QPoint(0, 0));
    move(stOrigin.x() + (pParent->width() - width()) / 2, stOrigin.y() + 58);
}

void CQToast::showToast(const QString &szText, int iDurationMs, bool bFade)
{
    setText(szText);
    m_closeTimer.stop();
    const int iDuration = iDurationMs < 0 ? 1000 : iDurationMs;
    if (m_pFade)
        delete m_pFade;
    if (bFade) {
        m_pFade = new QPropertyAnimation(this, "alpha", this);
        m_pFade->setDuration(iDuration);
        m_pFade->setKeyValueAt(0, 255);
        m_pFade->setKeyValueAt(1, 0);
        m_pFade->start(QAbstractAnimation::DeleteWhenStopped);
    } else {
        setAlpha(255);
    }
    m_closeTimer.start(iDuration);
    show();
}
