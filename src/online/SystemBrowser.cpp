#include "online/SystemBrowser.h"

#include <QDebug>
#include <QDesktopServices>
#include <QUrl>

bool openInSystemBrowser(const QUrl &stUrl)
{
    const QString szScheme = stUrl.scheme();
    if (!stUrl.isValid() || stUrl.host().isEmpty()
        || (szScheme != QLatin1String("https") && szScheme != QLatin1String("http"))) {
        qDebug() << "not handed to the browser:" << stUrl.toString();
        return false;
    }
    return QDesktopServices::openUrl(stUrl);
}
