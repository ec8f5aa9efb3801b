#include "online/SystemMessageBox.h"

#include "online/CDumpCatchInterface.h"

#include <QApplication>
#include <QGuiApplication>
#include <QMessageBox>

void showSystemMessageBox(const QString &szCaption, const QString &szText)
{
    const QString szPlatform = QGuiApplication::platformName();
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()) || szPlatform == QLatin1String("offscreen")
        || szPlatform == QLatin1String("minimal")) {
        printCrashNotice(szCaption, szText);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, szCaption, szText, QMessageBox::Ok);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

bool displayAvailable()
{
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY")
        || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
}
