// The HTTP client's URL and form encoding.
//
// The input is a URL, and also a form: NUL-separated keys and values.
// A normalised URL holds only characters that travel as they are plus
// well-formed %XX, and normalising it again changes nothing. A form body
// holds only unreserved characters, %XX, "=" and "&", and decodes back to
// exactly its fields.
#include "FuzzSupport.h"
#include "online/CCurlHttpBase.h"

#include <QList>

#include <cstring>

namespace {

bool isHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool isAlnum(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Every "%" starts a %XX; every other byte is one of szAllowed or a letter or digit.
bool wellEncoded(const QByteArray &text, const char *szAllowed)
{
    for (int i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c == '%') {
            if (i + 2 >= text.size() || !isHex(text.at(i + 1)) || !isHex(text.at(i + 2)))
                return false;
            i += 2;
        } else if (!isAlnum(c) && (c == '\0' || !std::strchr(szAllowed, c))) {
            return false;
        }
    }
    return true;
}

void checkUrl(const QByteArray &url)
{
    const QByteArray normalized = normalizeUrl(url);
    if (!wellEncoded(normalized, "*-._&/:=?[]@"))
        fuzzsupport::fail("a normalised URL with a byte that must be encoded");
    if (normalizeUrl(normalized) != normalized)
        fuzzsupport::fail("normalising a normalised URL changed it");
}

void checkForm(const QByteArray &input)
{
    const QList<QByteArray> parts = input.split('\0');
    QMap<QString, QString> fields;
    for (int i = 0; i + 1 < parts.size(); i += 2)
        fields.insert(QString::fromUtf8(parts.at(i)), QString::fromUtf8(parts.at(i + 1)));
    const QByteArray body = formEncode(fields);
    if (!wellEncoded(body, "*-._=&"))
        fuzzsupport::fail("a form body with a byte that must be encoded");
    QMap<QString, QString> decoded;
    if (!body.isEmpty()) {
        for (const QByteArray &pair : body.split('&')) {
            const int iEquals = pair.indexOf('=');
            if (iEquals < 0)
                fuzzsupport::fail("a form pair without '='");
            decoded.insert(QString::fromUtf8(QByteArray::fromPercentEncoding(pair.left(iEquals))),
                           QString::fromUtf8(QByteArray::fromPercentEncoding(pair.mid(iEquals + 1))));
        }
    }
    if (decoded != fields)
        fuzzsupport::fail("a form body that does not decode to its fields");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    fuzzsupport::startQuietApplication(argc, argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t iSize)
{
    const QByteArray input(reinterpret_cast<const char *>(pData), static_cast<int>(iSize));
    checkUrl(input);
    checkForm(input);
    return 0;
}
