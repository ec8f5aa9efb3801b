#include "player/CQVideoShow.h"

#include "player/Letterbox.h"
#include "player/VideoCtl.h"
#include "ui/CBLLUIShadowMgr.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QResizeEvent>

// A native window that only SDL draws into. Qt does not paint it; it tells
// the engine when the window was exposed or changed size, which SDL does not
// hear about for a window it did not create.
class CQNativeVideoSurface : public QWidget
{
public:
    explicit CQNativeVideoSurface(QWidget *pParent) : QWidget(pParent)
    {
        setAttribute(Qt::WA_NativeWindow);
        setAttribute(Qt::WA_DontCreateNativeAncestors);
        setAttribute(Qt::WA_PaintOnScreen);
        setAttribute(Qt::WA_NoSystemBackground);
        setAttribute(Qt::WA_OpaquePaintEvent);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    void setEngine(VideoCtl *pEngine)
    {
        m_pEngine = pEngine;
        reportSize();
    }
    QPaintEngine *paintEngine() const override { return nullptr; }

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (m_pEngine)
            m_pEngine->requestRedraw();
    }
    void resizeEvent(QResizeEvent *) override { reportSize(); }

private:
    void reportSize()
    {
        if (!m_pEngine)
            return;
        const qreal lfRatio = devicePixelRatioF();
        m_pEngine->setDisplaySize(qRound(width() * lfRatio), qRound(height() * lfRatio));
    }
    VideoCtl *m_pEngine = nullptr;
};

CQVideoShow::CQVideoShow(QWidget *pParent) : QWidget(pParent)
{
    setObjectName(QStringLiteral("ShowWid"));
    setMinimumSize(462, 262);
    setAcceptDrops(false);
    setAttribute(Qt::WA_OpaquePaintEvent);

    auto *pLayout = new QGridLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    m_pEmptyLabel = new QLabel(this);
    m_pEmptyLabel->setObjectName(QStringLiteral("videoDisplayLabel"));
    m_pEmptyLabel->setFixedSize(108, 20);
    m_pEmptyLabel->setFont(QFont(QStringLiteral("Felix Titling"), 14));
    m_pEmptyLabel->setPixmap(QPixmap(QStringLiteral(":/theme_local/imgs/video_text.png")));
    m_pEmptyLabel->setAccessibleName(tr("No preview"));
    pLayout->addWidget(m_pEmptyLabel, 0, 0, Qt::AlignCenter);

    if (CBLLUIShadowMgr *pShadow = CBLLUIShadowMgr::instance()) {
        connect(pShadow, &CBLLUIShadowMgr::sigDimmingChanged, this, &CQVideoShow::setDimmed);
        m_bDimmed = pShadow->isDimming();
    }
}

CQVideoShow::~CQVideoShow()
{
    if (m_pEngine)
        m_pEngine->stop();
}

uintptr_t CQVideoShow::attachDisplay(VideoCtl *pEngine)
{
    detachDisplay();
    m_pEngine = pEngine;
    connect(pEngine, &VideoCtl::sig_displayEmbedded, this, &CQVideoShow::setEmbedded, Qt::UniqueConnection);
    connect(pEngine, &VideoCtl::sig_pictureReady, this, &CQVideoShow::takePicture, Qt::UniqueConnection);
    // SDL embeds into X11 windows only.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return 0;
    if (!m_pSurface)
        m_pSurface = new CQNativeVideoSurface(this);
    m_pSurface->setGeometry(rect());
    m_pSurface->show();
    m_pSurface->raise();
    m_pSurface->setEngine(pEngine);
    setDimmed(m_bDimmed);
    m_pEmptyLabel->hide();
    return uintptr_t(m_pSurface->winId());
}

void CQVideoShow::detachDisplay()
{
    if (m_pEngine)
        disconnect(m_pEngine, nullptr, this, nullptr);
    m_pEngine = nullptr;
    if (m_pSurface) {
        m_pSurface->setEngine(nullptr);
        m_pSurface->hide();
    }
    m_bEmbedded = false;
    m_stPicture = QImage();
    m_pEmptyLabel->show();
    update();
}

void CQVideoShow::setEmbedded(bool bEmbedded)
{
    if (!m_pEngine)
        return;
    m_bEmbedded = bEmbedded;
    if (!bEmbedded && m_pSurface)
        m_pSurface->hide();
    m_pEmptyLabel->setVisible(!bEmbedded && m_stPicture.isNull());
}

void CQVideoShow::setDimmed(bool bDimmed)
{
    m_bDimmed = bDimmed;
    // What Qt paints here lies under the layer already.
    if (m_pEngine && m_pSurface)
        m_pEngine->setDimming(bDimmed ? CQWidgetShadow::dimmingColour() : QColor(Qt::transparent));
}

void CQVideoShow::takePicture()
{
    if (!m_pEngine || !m_pEngine->takePicture(&m_stPicture, &m_stSampleAspect))
        return;
    m_pEmptyLabel->hide();
    update();
}

void CQVideoShow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), displayBackgroundColor());
    if (m_stPicture.isNull())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(
        letterboxRect(m_stPicture.width(), m_stPicture.height(), m_stSampleAspect, width(), height()),
        m_stPicture);
}

void CQVideoShow::resizeEvent(QResizeEvent *pEvent)
{
    QWidget::resizeEvent(pEvent);
    if (m_pSurface)
        m_pSurface->setGeometry(rect());
}
