#include "online/CQJSAboutUs.h"

#include "online/CQSrvProductInfo.h"
#include "ui/CQThemeMgr.h"

CQJSAboutUs::CQJSAboutUs(QObject *pParent)
    : CQJSBase(pParent)
{
}

QString CQJSAboutUs::pageAddress() const
{
    const CQThemeMgr *pTheme = CQThemeMgr::instance();
    return CQSrvProductInfo::instance().aboutPageAddress(pTheme ? pTheme->currentTheme() : QString(), 0);
}

QString CQJSAboutUs::title() const
{
    return tr("About Pictora", "jstitle_aboutus");
}
