#include "online/CCurlHttpBase.h"

#include <QDebug>
#include <QString>
#include <QTextCodec>

#include <curl/curl.h>

#include <cstring>
#include <mutex>

namespace {

const QString kBusyText = QStringLiteral("busy");

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool isAsciiAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// Byte by byte: letters, digits and szKept stay, a space is %20, the rest
// %XX; with bKeepEscapes a valid %XX is copied as it is.
QByteArray percentEncode(const QByteArray &bytes, const char *szKept, bool bKeepEscapes)
{
    static const char s_hex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(bytes.size() * 3);
    for (int i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (c == ' ') {
            out += "%20";
        } else if (bKeepEscapes && c == '%' && i + 2 < bytes.size() && isHexDigit(bytes.at(i + 1))
                   && isHexDigit(bytes.at(i + 2))) {
            out += bytes.mid(i, 3);
            i += 2;
        } else if (isAsciiAlnum(c) || (c != '\0' && std::strchr(szKept, c))) {
            out += c;
        } else {
            const auto u = static_cast<unsigned char>(c);
            out += '%';
            out += s_hex[u >> 4];
            out += s_hex[u & 0x0F];
        }
    }
    return out;
}

bool isValidUtf8(const QByteArray &bytes)
{
    QTextCodec::ConverterState state;
    QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    return state.invalidChars == 0 && state.remainingChars == 0;
}

bool initCurlGlobally()
{
    static std::mutex s_mutex;
    static bool s_bDone = false;
    std::lock_guard<std::mutex> lock(s_mutex);
    if (!s_bDone)
        s_bDone = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return s_bDone;
}

size_t writeResponse(char *pData, size_t iSize, size_t iCount, void *pUser)
{
    auto *pSelf = static_cast<CCurlHttpBase *>(pUser);
    const size_t iBytes = iSize * iCount;
    if (!pData || !pSelf || !pSelf->appendResponse(pData, iBytes))
        return CURL_WRITEFUNC_ERROR;
    return iBytes;
}

int logCurlDebug(CURL *, curl_infotype eType, char *pData, size_t iSize, void *)
{
    if (eType == CURLINFO_TEXT || eType == CURLINFO_HEADER_IN || eType == CURLINFO_HEADER_OUT)
        qDebug().noquote() << "curl:" << QString::fromUtf8(pData, int(iSize)).trimmed();
    return 0;
}

} // namespace

QByteArray normalizeUrl(const QByteArray &szUrl)
{
    const QByteArray utf8 = isValidUtf8(szUrl) ? szUrl : QString::fromLocal8Bit(szUrl).toUtf8();
    return percentEncode(utf8, "*-._&/:=?[]@", true);
}

QByteArray formEncode(const QMap<QString, QString> &mapFields)
{
    QByteArray body;
    for (auto it = mapFields.cbegin(); it != mapFields.cend(); ++it) {
        if (!body.isEmpty())
            body += '&';
        body += percentEncode(it.key().toUtf8(), "*-._", false) + '=' + percentEncode(it.value().toUtf8(), "*-._", false);
    }
    return body;
}

CCurlHttpBase::CCurlHttpBase(const QString &szUrl, const QString &szCaFile, int iConnectTimeoutMs,
                             int iTotalTimeoutMs, bool bVerbose)
    : m_iConnectTimeoutMs(iConnectTimeoutMs > 0 ? iConnectTimeoutMs : kDefaultConnectTimeoutMs)
    , m_iTotalTimeoutMs(iTotalTimeoutMs > 0 ? iTotalTimeoutMs : kDefaultTotalTimeoutMs)
    , m_bVerbose(bVerbose)
    , m_szUrl(szUrl.toUtf8())
    , m_szCaFile(szCaFile.toLocal8Bit())
{
    initCurlGlobally();
}

CCurlHttpBase::~CCurlHttpBase()
{
    CCurlHttpBase::cleanup(false);
}

void CCurlHttpBase::reset()
{
    resetState();
}

bool CCurlHttpBase::send()
{
    if (m_bBusy.exchange(true)) {
        setErrorText(kBusyText);
        return false;
    }
    const bool bOk = perform();
    m_bBusy.store(false);
    return bOk;
}

QByteArray CCurlHttpBase::response() const
{
    return m_response;
}

bool CCurlHttpBase::addHeader(const QByteArray &szLine)
{
    if (!initHeaders())
        return false;
    curl_slist *pList = curl_slist_append(m_pHeaders, szLine.constData());
    if (!pList)
        return false;
    m_pHeaders = pList;
    return true;
}

void CCurlHttpBase::setAlternateUrl(const QString &szUrl)
{
    m_szAlternateUrl = szUrl.toUtf8();
}

void CCurlHttpBase::setProxy(const QString &szProxy)
{
    m_szProxy = szProxy.toUtf8();
}

bool CCurlHttpBase::appendResponse(const char *pData, size_t iBytes)
{
    if (size_t(m_response.size()) + iBytes > size_t(kMaxResponseBytes))
        return false;
    m_response.append(pData, int(iBytes));
    return true;
}

bool CCurlHttpBase::prepare()
{
    resetState();
    return initHandle() && initHeaders();
}

bool CCurlHttpBase::perform()
{
    if (m_bRunning) {
        setErrorText(kBusyText);
        return false;
    }
    if (!prepare() || !setCommonOptions() || !setMethodOptions() || !setExtraOptions())
        return false;

    m_bRunning = true;
    const CURLcode eCode = curl_easy_perform(m_pHandle);
    const bool bAfter = afterPerform(eCode);
    m_bRunning = false;
    if (!checkCode(eCode) || !bAfter)
        return false;
    m_bDone = true;
    return true;
}

void CCurlHttpBase::cleanup(bool bKeep)
{
    if (bKeep)
        return;
    freeHeaders();
    if (m_pHandle) {
        curl_easy_cleanup(m_pHandle);
        m_pHandle = nullptr;
    }
}

bool CCurlHttpBase::setCommonOptions()
{
    CURL *h = m_pHandle;
    const QByteArray szUrl = normalizeUrl(m_szAlternateUrl.isEmpty() ? m_szUrl : m_szAlternateUrl);
    const bool bOk =
        checkCode(curl_easy_setopt(h, CURLOPT_PROXY, m_szProxy.isEmpty() ? nullptr : m_szProxy.constData()))
        && checkCode(curl_easy_setopt(h, CURLOPT_VERBOSE, m_bVerbose ? 1L : 0L))
        && checkCode(curl_easy_setopt(h, CURLOPT_DEBUGFUNCTION,
                                      m_bVerbose ? logCurlDebug : static_cast<curl_debug_callback>(nullptr)))
        && checkCode(curl_easy_setopt(h, CURLOPT_DEBUGDATA, m_bVerbose ? this : nullptr))
        && checkCode(curl_easy_setopt(h, CURLOPT_URL, szUrl.constData()))
        && checkCode(curl_easy_setopt(h, CURLOPT_READFUNCTION, static_cast<curl_read_callback>(nullptr)))
        && checkCode(curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, writeResponse))
        && checkCode(curl_easy_setopt(h, CURLOPT_WRITEDATA, this))
        // Always verified; a CA file adds to the system's store (libcurl
        // keeps its default CA folder beside the file).
        && checkCode(curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L))
        && checkCode(curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L))
        && (m_szCaFile.isEmpty() || checkCode(curl_easy_setopt(h, CURLOPT_CAINFO, m_szCaFile.constData())))
        && checkCode(curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L))
        && checkCode(curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, long(m_iConnectTimeoutMs)))
        && checkCode(curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, long(m_iTotalTimeoutMs)))
        && checkCode(curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https"))
        && checkCode(curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https"))
        && checkCode(curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 0L));
    if (!bOk)
        return false;
    return !m_pHeaders || checkCode(curl_easy_setopt(h, CURLOPT_HTTPHEADER, m_pHeaders));
}

void CCurlHttpBase::freeHeaders()
{
    if (m_pHeaders) {
        curl_slist_free_all(m_pHeaders);
        m_pHeaders = nullptr;
    }
}

void CCurlHttpBase::resetState()
{
    clearErrorText();
    m_szSendErrors.clear();
    m_response.clear();
    m_bRunning = false;
    m_bDone = false;
    m_iResultCode = 0;
}

bool CCurlHttpBase::initHandle()
{
    if (!m_pHandle)
        m_pHandle = curl_easy_init();
    if (!m_pHandle) {
        fail(QStringLiteral("Error:无法初始化curl,CCurlHttpBase::initCurl"));
        return false;
    }
    return true;
}

bool CCurlHttpBase::initHeaders()
{
    if (!m_pHeaders) {
        curl_slist *pList = curl_slist_append(nullptr, "Connection: keep-alive");
        curl_slist *pBoth = pList ? curl_slist_append(pList, "Cache-Control: no-cache") : nullptr;
        if (!pBoth) {
            curl_slist_free_all(pList);
            return false;
        }
        m_pHeaders = pBoth;
    }
    return true;
}

bool CCurlHttpBase::checkCode(int iCurlCode)
{
    if (iCurlCode == CURLE_OK)
        return true;
    m_iResultCode = iCurlCode;
    fail(QString::fromUtf8(curl_easy_strerror(static_cast<CURLcode>(iCurlCode))));
    return false;
}

void CCurlHttpBase::fail(const QString &szText)
{
    m_szSendErrors = m_szSendErrors.isEmpty() ? szText : m_szSendErrors + QStringLiteral("\r\n") + szText;
    setErrorText(m_szSendErrors);
}
