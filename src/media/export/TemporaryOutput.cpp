#include "media/export/TemporaryOutput.h"

#include <QRandomGenerator>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

extern "C" {
#include <libavutil/error.h>
}

namespace {

constexpr size_t kNameMax = NAME_MAX;

std::string randomTag()
{
    static const char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::string szTag(6, 'x');
    for (char &c : szTag)
        c = kChars[QRandomGenerator::global()->bounded(static_cast<int>(sizeof(kChars) - 1))];
    return szTag;
}

// Cuts szText to at most iBytes without splitting a UTF-8 sequence.
std::string utf8Prefix(const std::string &szText, size_t iBytes)
{
    if (szText.size() <= iBytes)
        return szText;
    size_t iEnd = iBytes;
    while (iEnd > 0 && (static_cast<unsigned char>(szText[iEnd]) & 0xC0) == 0x80)
        --iEnd;
    return szText.substr(0, iEnd);
}

int syncPath(const std::string &szPath, int iFlags)
{
    const int fd = ::open(szPath.c_str(), iFlags | O_CLOEXEC);
    if (fd < 0)
        return AVERROR(errno);
    int ret = 0;
    if (::fsync(fd) != 0)
        ret = AVERROR(errno);
    ::close(fd);
    return ret;
}

// Moves szFrom to szTo unless szTo exists (AVERROR(EEXIST) then).
int moveWithoutReplacing(const std::string &szFrom, const std::string &szTo)
{
    if (::renameat2(AT_FDCWD, szFrom.c_str(), AT_FDCWD, szTo.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return AVERROR(errno);
    // A file system without the flag: a hard link fails just as well on a taken name.
    if (::link(szFrom.c_str(), szTo.c_str()) == 0) {
        ::unlink(szFrom.c_str());
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS)
        return AVERROR(errno);
    // Neither (some FUSE file systems): look, then move.
    struct stat stInfo;
    if (::lstat(szTo.c_str(), &stInfo) == 0)
        return AVERROR(EEXIST);
    if (::rename(szFrom.c_str(), szTo.c_str()) != 0)
        return AVERROR(errno);
    return 0;
}

} // namespace

std::string temporaryOutputName(const std::string &szTarget, const std::string &szTag)
{
    const size_t iSlash = szTarget.find_last_of('/');
    const std::string szFolder = iSlash == std::string::npos ? std::string() : szTarget.substr(0, iSlash + 1);
    const std::string szFile = iSlash == std::string::npos ? szTarget : szTarget.substr(iSlash + 1);
    const size_t iDot = szFile.find_last_of('.');
    const std::string szBase = iDot == std::string::npos ? szFile : szFile.substr(0, iDot);
    const std::string szExtension = iDot == std::string::npos ? std::string() : szFile.substr(iDot);

    const std::string szMiddle = ".pictora-" + szTag;
    const size_t iFixed = 1 + szMiddle.size() + szExtension.size();
    const std::string szName =
        "." + (iFixed < kNameMax ? utf8Prefix(szBase, kNameMax - iFixed) : std::string()) + szMiddle + szExtension;
    return szFolder + szName;
}

TemporaryOutput::~TemporaryOutput()
{
    discard();
}

TemporaryOutput::TemporaryOutput(TemporaryOutput &&other) noexcept
    : m_szTarget(std::move(other.m_szTarget)), m_szPath(std::move(other.m_szPath))
{
    other.m_szPath.clear();
    other.m_szTarget.clear();
}

TemporaryOutput &TemporaryOutput::operator=(TemporaryOutput &&other) noexcept
{
    if (this != &other) {
        discard();
        m_szTarget = std::move(other.m_szTarget);
        m_szPath = std::move(other.m_szPath);
        other.m_szPath.clear();
        other.m_szTarget.clear();
    }
    return *this;
}

int TemporaryOutput::create(const std::string &szTarget)
{
    discard();
    if (szTarget.empty() || szTarget.back() == '/')
        return AVERROR(EINVAL);
    for (int iAttempt = 0; iAttempt < 100; ++iAttempt) {
        const std::string szPath = temporaryOutputName(szTarget, randomTag());
        // O_EXCL: never take over a file that is there already; 0666 lets
        // the umask decide the permissions, as for any new file.
        const int fd = ::open(szPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            ::close(fd);
            m_szTarget = szTarget;
            m_szPath = szPath;
            return 0;
        }
        if (errno != EEXIST)
            return AVERROR(errno);
    }
    return AVERROR(EEXIST);
}

int TemporaryOutput::commit(bool bReplace)
{
    if (m_szPath.empty())
        return AVERROR(EINVAL);
    int ret = syncPath(m_szPath, O_RDONLY);
    if (ret == 0 && bReplace && ::rename(m_szPath.c_str(), m_szTarget.c_str()) != 0)
        ret = AVERROR(errno);
    else if (ret == 0 && !bReplace)
        ret = moveWithoutReplacing(m_szPath, m_szTarget);
    if (ret < 0) {
        discard();
        return ret;
    }
    m_szPath.clear();
    // The new directory entry itself; a folder that cannot be synced does not undo the export.
    const size_t iSlash = m_szTarget.find_last_of('/');
    syncPath(iSlash == std::string::npos ? std::string(".") : m_szTarget.substr(0, iSlash + 1),
             O_RDONLY | O_DIRECTORY);
    return 0;
}

void TemporaryOutput::discard()
{
    if (!m_szPath.empty()) {
        ::unlink(m_szPath.c_str());
        m_szPath.clear();
    }
}
