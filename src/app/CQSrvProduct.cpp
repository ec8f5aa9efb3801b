#include "app/CQSrvProduct.h"

#include "online/CCurlHttpGet.h"
#include "online/CQSrvProductInfo.h"

CQSrvProduct::CQSrvProduct()
{
    m_shadowMgr.initialize();
    // The product information fetches its release data with our HTTP client.
    CQSrvProductInfo::instance().setReleaseFetcher(
        [](const CQSrvProductInfo::ReleaseRequest &stRequest, QByteArray *pBody, QString *pszError) {
            return CCurlHttpGet::fetch(stRequest.szUrl, stRequest.szCaFile, stRequest.iConnectTimeoutMs,
                                       stRequest.iTotalTimeoutMs, pBody, pszError);
        });
}
