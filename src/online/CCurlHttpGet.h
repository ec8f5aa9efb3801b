#pragma once

#include "online/CCurlHttpBase.h"

// A GET whose answer counts only with HTTP status 200; any other status is
// a failure with "HTTP status <n>" as the error text.
class CCurlHttpGet : public CCurlHttpBase
{
public:
    using CCurlHttpBase::CCurlHttpBase;
    ~CCurlHttpGet() override;

    // One GET of szUrl: the body on success, the error text otherwise.
    static bool fetch(const QString &szUrl, const QString &szCaFile, int iConnectTimeoutMs, int iTotalTimeoutMs,
                      QByteArray *pBody, QString *pszError);

protected:
    bool setMethodOptions() override;
    bool afterPerform(int iCode) override;
};
