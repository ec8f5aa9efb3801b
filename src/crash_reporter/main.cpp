// pictora-crashreport: started by the crash-catch layer of a crashed
// Pictora with the description of the crash. Sends the crash report when
// the user agreed to it and shows the outcome.
#include "online/CBLLDumpCatchUpload.h"
#include "online/CQSrvProductInfo.h"
#include "online/SystemMessageBox.h"

#include <QApplication>
#include <QByteArray>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

int main(int argc, char *argv[])
{
    // We outlive the crashed program: the pipe it wrote its output into may
    // be gone, and writing there must not end us before the report is out.
    std::signal(SIGPIPE, SIG_IGN);
    QByteArray szProgram;
    QByteArray szDescription;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--program") == 0)
            szProgram = argv[i + 1];
        else if (std::strcmp(argv[i], "--description") == 0)
            szDescription = argv[i + 1];
    }
    if (szDescription.isEmpty()) {
        std::fprintf(stderr, "usage: %s --program <executable name> --description <crash description>\n", argv[0]);
        return 2;
    }

    // Qt sees only the program name: the description is no toolkit option.
    static int s_iQtArgc = 1;
    std::unique_ptr<QCoreApplication> pApp;
    if (displayAvailable())
        pApp = std::make_unique<QApplication>(s_iQtArgc, argv);
    else
        pApp = std::make_unique<QCoreApplication>(s_iQtArgc, argv);

    // The crashed program's per-user folder holds the consent and the server.
    if (!szProgram.isEmpty())
        CQSrvProductInfo::instance().setExecutableName(QString::fromUtf8(szProgram));
    CBLLDumpCatchUpload observer;
    observer.setNoticeFunction(showSystemMessageBox);
    observer.report(nullptr, szDescription.constData());
    return 0;
}
