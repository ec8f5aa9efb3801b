#include "app/WebEngineProbe.h"

#include "app/ProgramFolders.h"
#include "app/WebEngineSandbox.h"

#include <QCoreApplication>
#include <QProcess>
#include <QSysInfo>

#include <csignal>

bool webProbeNeeded(const QString &szProductVersion)
{
    return szProductVersion.startsWith(QLatin1String("7")) || szProductVersion.startsWith(QLatin1String("10"));
}

bool runWebProbe(const QString &szProgram, int iTimeoutMs)
{
    QProcess probe;
    probe.setProgram(szProgram);
    probe.setStandardOutputFile(QProcess::nullDevice());
    probe.setStandardErrorFile(QProcess::nullDevice());
    probe.start(QIODevice::ReadWrite);
    if (!probe.waitForStarted(iTimeoutMs))
        return false;
    if (probe.waitForFinished(iTimeoutMs))
        return probe.exitStatus() == QProcess::NormalExit && probe.exitCode() == 0;
    // The probe leads a process group of its own once it runs, so the web
    // engine's helpers go with it.
    const qint64 iPid = probe.processId();
    if (iPid > 0)
        ::kill(-pid_t(iPid), SIGKILL);
    probe.kill();
    probe.waitForFinished(iTimeoutMs);
    return false;
}

QString webProbeProgram()
{
    return helperProgramFolder() + QStringLiteral("/QtWebProbe");
}

bool webEngineNeedsOpenGLES(const QString &szProductVersion, const QString &szProbeProgram, int iTimeoutMs)
{
    return webProbeNeeded(szProductVersion) && !runWebProbe(szProbeProgram, iTimeoutMs);
}

void prepareWebEngine()
{
    applyWebEngineSandboxRule();
    // The web views share the toolkit's OpenGL contexts.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (webEngineNeedsOpenGLES(QSysInfo::productVersion(), webProbeProgram()))
        QCoreApplication::setAttribute(Qt::AA_UseOpenGLES);
}
