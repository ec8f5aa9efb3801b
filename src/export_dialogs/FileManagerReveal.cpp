#include "export_dialogs/FileManagerReveal.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

void showFileInFileManager(const QString &szFile, int iTimeoutMs)
{
    const QFileInfo info(szFile);
    const QUrl stFolder = QUrl::fromLocalFile(info.absolutePath());
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        QDesktopServices::openUrl(stFolder);
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << QStringList{QUrl::fromLocalFile(info.absoluteFilePath()).toString(QUrl::FullyEncoded)} << QString();
    auto *pWatcher = new QDBusPendingCallWatcher(bus.asyncCall(call, iTimeoutMs), QCoreApplication::instance());
    QObject::connect(pWatcher, &QDBusPendingCallWatcher::finished, pWatcher, [pWatcher, stFolder] {
        if (pWatcher->isError())
            QDesktopServices::openUrl(stFolder);
        pWatcher->deleteLater();
    });
}
