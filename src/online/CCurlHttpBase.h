#pragma once

#include "online/CUniteBase.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <atomic>
#include <cstddef>

struct curl_slist;

// Percent-encodes a URL for the wire without decoding it first, so encoded
// separators (%2F, %26, %3D, %3F) stay what they are. A valid %XX is kept,
// a space becomes %20; letters, digits and * - . _ & / : = ? and the host
// brackets and @ stay; every other byte, a lone "%" too, becomes %XX.
// Bytes that are not UTF-8 are read in the locale's 8-bit encoding first.
QByteArray normalizeUrl(const QByteArray &szUrl);

// "key=value" pairs in key order joined by "&"; keys and values are UTF-8,
// and only letters, digits and * - . _ stay as they are (a space is %20).
QByteArray formEncode(const QMap<QString, QString> &mapFields);

// One libcurl easy handle for one synchronous request at a time. Failures
// never throw: send() returns false and the error text holds libcurl's own
// wording. Certificates are always verified (the system's store, plus the
// CA file when one is given), only http and https are spoken, redirects are
// not followed, every request has finite connect and total limits and the
// response body is capped.
class CCurlHttpBase : public CUniteBase
{
public:
    static constexpr int kDefaultConnectTimeoutMs = 10000;
    static constexpr int kDefaultTotalTimeoutMs = 20000;
    static constexpr int kMaxResponseBytes = 64 * 1024;

    // Time-outs of 0 (or less) take the defaults above. szCaFile: a PEM file
    // of certificates trusted besides the system's.
    CCurlHttpBase(const QString &szUrl, const QString &szCaFile, int iConnectTimeoutMs, int iTotalTimeoutMs,
                  bool bVerbose);
    ~CCurlHttpBase() override;

    void reset() override;

    // True when the transfer completed (whatever the HTTP status); false with
    // the error text set otherwise, and false with "busy" while another send
    // of this object runs.
    virtual bool send();
    // The body received by the last send.
    QByteArray response() const;
    // libcurl's code of the last failure, 0 when there was none.
    int resultCode() const { return m_iResultCode; }
    bool isBusy() const { return m_bBusy.load(); }

    // One more request header line ("Name: value").
    bool addHeader(const QByteArray &szLine);
    // Sent to instead of the URL while not empty.
    void setAlternateUrl(const QString &szUrl);
    // Empty leaves libcurl's default (the proxy environment variables).
    void setProxy(const QString &szProxy);

    // Called by libcurl's write callback; false past the cap.
    bool appendResponse(const char *pData, size_t iBytes);

protected:
    virtual bool prepare();
    virtual bool perform();
    // Keeps the handle and headers for the next send when bKeep is set.
    virtual void cleanup(bool bKeep);
    virtual bool setCommonOptions();
    virtual bool setMethodOptions() { return true; }
    virtual bool setExtraOptions() { return true; }
    virtual bool afterPerform(int iCode)
    {
        Q_UNUSED(iCode);
        return true;
    }
    virtual void freeHeaders();
    virtual void resetState();
    virtual bool initHandle();
    virtual bool initHeaders();

    void *handle() const { return m_pHandle; }
    // False, with the result code and libcurl's text recorded, unless
    // iCurlCode is CURLE_OK.
    bool checkCode(int iCurlCode);

private:
    // Adds szText to this send's errors, which become the error text.
    void fail(const QString &szText);

    void *m_pHandle = nullptr;
    curl_slist *m_pHeaders = nullptr;
    int m_iConnectTimeoutMs = 0;
    int m_iTotalTimeoutMs = 0;
    bool m_bVerbose = false;
    QByteArray m_szUrl;
    QByteArray m_szAlternateUrl;
    QByteArray m_szCaFile;
    QByteArray m_response;
    QByteArray m_szProxy;
    bool m_bRunning = false;
    bool m_bDone = false;
    std::atomic<bool> m_bBusy{false};
    int m_iResultCode = 0;
    QString m_szSendErrors;
};
