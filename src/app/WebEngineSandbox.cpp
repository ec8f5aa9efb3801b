#include "app/WebEngineSandbox.h"

#include <QByteArray>
#include <QtGlobal>

#include <unistd.h>

void applyWebEngineSandboxRule()
{
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
}
