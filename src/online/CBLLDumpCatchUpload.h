#pragma once

#include "online/CDumpCatchInterface.h"

#include <QByteArray>
#include <QMutex>
#include <QString>

#include <atomic>

class CQSrvProductInfo;

// The crash report: a form post of the crash description, the version
// information, the user identifier and the machine code to the log server's
// "/DoLoadLog.php", then the server's answer (or the error) as a notice.
// Only sent when the user agreed and an https log server is configured;
// otherwise nothing is sent and nothing shown. At most one report per
// process succeeds; a failed one does not stop the next.
class CBLLDumpCatchUpload : public CDumpCatchObserverBase
{
public:
    // Longest part of the server's answer that is shown.
    static constexpr int kMaxShownAnswerChars = 2000;

    // pInfo: the product information service; null when it is unavailable
    // (the report then carries the fallback values).
    explicit CBLLDumpCatchUpload(CQSrvProductInfo *pInfo);
    CBLLDumpCatchUpload();
    ~CBLLDumpCatchUpload() override = default;

    // Sends the report (see above); always 1.
    int report(void *pContext, const char *szException) override;

    // Where the answer or the error goes; printCrashNotice by default.
    void setNoticeFunction(const CrashNoticeFunction &fnNotice);
    int successfulSends() const { return m_iSuccessfulSends.load(); }

    // The form body: exception, mcode, uid and vform, in that order.
    QByteArray reportBody(const QString &szException) const;

private:
    CQSrvProductInfo *m_pInfo;
    std::atomic<int> m_iSuccessfulSends{0};
    QMutex m_sendMutex;   // one report at a time, so at most one succeeds
    CrashNoticeFunction m_fnNotice = printCrashNotice;
};
