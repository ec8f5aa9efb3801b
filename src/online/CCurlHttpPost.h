#pragma once

#include "online/CCurlHttpBase.h"

// A POST with a form-encoded body (see formEncode).
class CCurlHttpPost : public CCurlHttpBase
{
public:
    using CCurlHttpBase::CCurlHttpBase;
    ~CCurlHttpPost() override;

    void setBody(const QByteArray &body);

protected:
    bool setMethodOptions() override;

private:
    QByteArray m_body;   // libcurl reads it in place during the send
};
