#include "online/CCurlHttpPost.h"

#include <curl/curl.h>

CCurlHttpPost::~CCurlHttpPost() = default;

void CCurlHttpPost::setBody(const QByteArray &body)
{
    m_body = body;
}

bool CCurlHttpPost::setMethodOptions()
{
    return checkCode(curl_easy_setopt(handle(), CURLOPT_POST, 1L))
        && checkCode(curl_easy_setopt(handle(), CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(m_body.size())))
        && checkCode(curl_easy_setopt(handle(), CURLOPT_POSTFIELDS, m_body.constData()));
}
