#include "online/CCurlHttpGet.h"

#include <curl/curl.h>

CCurlHttpGet::~CCurlHttpGet() = default;

bool CCurlHttpGet::fetch(const QString &szUrl, const QString &szCaFile, int iConnectTimeoutMs,
                         int iTotalTimeoutMs, QByteArray *pBody, QString *pszError)
{
    CCurlHttpGet get(szUrl, szCaFile, iConnectTimeoutMs, iTotalTimeoutMs, false);
    if (!get.send()) {
        if (pszError)
            *pszError = get.getErrorText();
        return false;
    }
    if (pBody)
        *pBody = get.response();
    return true;
}

bool CCurlHttpGet::setMethodOptions()
{
    return checkCode(curl_easy_setopt(handle(), CURLOPT_HTTPGET, 1L));
}

bool CCurlHttpGet::afterPerform(int iCode)
{
    if (iCode != CURLE_OK)
        return true;   // the transfer's own failure is reported by the caller
    long iStatus = 0;
    if (!checkCode(curl_easy_getinfo(handle(), CURLINFO_RESPONSE_CODE, &iStatus)))
        return false;
    if (iStatus != 200) {
        setErrorText(QStringLiteral("HTTP status %1").arg(iStatus));
        return false;
    }
    return true;
}
