#include "online/CBLLDumpCatchUpload.h"

#include "online/CCurlHttpPost.h"
#include "online/CQSrvProductInfo.h"

#include <QMap>
#include <QMutexLocker>
#include <QUrl>

CBLLDumpCatchUpload::CBLLDumpCatchUpload(CQSrvProductInfo *pInfo) : m_pInfo(pInfo) {}

CBLLDumpCatchUpload::CBLLDumpCatchUpload() : m_pInfo(&CQSrvProductInfo::instance()) {}

void CBLLDumpCatchUpload::setNoticeFunction(const CrashNoticeFunction &fnNotice)
{
    m_fnNotice = fnNotice ? fnNotice : CrashNoticeFunction(printCrashNotice);
}

QByteArray CBLLDumpCatchUpload::reportBody(const QString &szException) const
{
    QMap<QString, QString> mapFields;
    const QString szUid = m_pInfo ? m_pInfo->userId() : QString();
    mapFields.insert(QStringLiteral("uid"), szUid.isEmpty() ? QStringLiteral("8888888888") : szUid);
    const QString szVersion = m_pInfo ? m_pInfo->versionInformation() : QString();
    mapFields.insert(QStringLiteral("vform"),
                     szVersion.isEmpty() ? QString::asprintf("%s%s%s", "511", "230", "001") : szVersion);
    mapFields.insert(QStringLiteral("mcode"), m_pInfo ? m_pInfo->machineCode() : QStringLiteral("unknown machine"));
    mapFields.insert(QStringLiteral("exception"), szException);
    return formEncode(mapFields);
}

int CBLLDumpCatchUpload::report(void *pContext, const char *szException)
{
    Q_UNUSED(pContext);
    const QByteArray body = reportBody(QString::fromUtf8(szException ? szException : ""));

    QMutexLocker locker(&m_sendMutex);
    if (m_iSuccessfulSends.load() > 0)
        return 1;
    if (!m_pInfo || m_pInfo->crashReportSwitch() != QLatin1String("1"))
        return 1;
    const QString szServer = m_pInfo->logServerAddress();
    if (szServer.isEmpty())
        return 1;

    const QString szUrl = QUrl(szServer).resolved(QUrl(QStringLiteral("/DoLoadLog.php"))).toString();
    CCurlHttpPost post(szUrl, m_pInfo->logServerCaFile(), 0, 0, false);
    post.setBody(body);
    if (post.send()) {
        ++m_iSuccessfulSends;
        m_fnNotice(QStringLiteral("提示"), QString::fromUtf8(post.response()).left(kMaxShownAnswerChars));
    } else {
        m_fnNotice(QStringLiteral("错误"), post.getErrorText());
    }
    return 1;
}
