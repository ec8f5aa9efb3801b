#include "common/PreviewTestSupport.h"

#include "common/ExportTestSupport.h"
#include "media/ffmpeg/ImageConvert.h"

#include <cmath>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

namespace previewtest {

namespace {

QVector<float> firstChannel(const AVFrame *pFrame)
{
    QVector<float> samples(pFrame->nb_samples);
    const auto eFormat = static_cast<AVSampleFormat>(pFrame->format);
    const int iStep = av_sample_fmt_is_planar(eFormat) ? 1 : pFrame->ch_layout.nb_channels;
    for (int i = 0; i < pFrame->nb_samples; ++i) {
        switch (av_get_packed_sample_fmt(eFormat)) {
        case AV_SAMPLE_FMT_FLT:
            samples[i] = reinterpret_cast<const float *>(pFrame->data[0])[i * iStep];
            break;
        case AV_SAMPLE_FMT_S16:
            samples[i] = reinterpret_cast<const int16_t *>(pFrame->data[0])[i * iStep] / 32768.0f;
            break;
        case AV_SAMPLE_FMT_S32:
            samples[i] = reinterpret_cast<const int32_t *>(pFrame->data[0])[i * iStep] / 2147483648.0f;
            break;
        default:
            break;
        }
    }
    return samples;
}

} // namespace

void RecordingOutput::start(int64_t iMs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_iOffset = iMs;
    m_stTimer.restart();
    m_bCounting = true;
    m_iPlayedOutUs[0] = m_iPlayedOutUs[1] = 0;
}

void RecordingOutput::pause()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_iOffset = positionLocked();
    m_bCounting = false;
}

void RecordingOutput::restartAt(int64_t iMs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_iOffset = iMs;
    m_stTimer.restart();
    // Like the player: what waits belongs to the old place.
    m_iPlayedOutUs[0] = m_iPlayedOutUs[1] = 0;
}

int64_t RecordingOutput::positionLocked() const
{
    return m_bCounting ? m_iOffset + m_stTimer.elapsed() : m_iOffset;
}

int64_t RecordingOutput::position() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return positionLocked();
}

int RecordingOutput::pushVideoFrame(AVFrame *pFrame)
{
    if (!pFrame)
        return -1;
    Picture stPicture;
    stPicture.iFrame = pFrame->pts;
    stPicture.stSize = QSize(pFrame->width, pFrame->height);
    if (m_bKeepImages)
        stPicture.stImage = frameToImage(pFrame);
    av_frame_unref(pFrame);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        stPicture.iAtMs = positionLocked();
        m_pictures.append(stPicture);
    }
    m_cv.notify_all();
    return 0;
}

int RecordingOutput::pushAudioFrame(AVFrame *pFrame, int iIndex)
{
    if (!pFrame)
        return -1;
    Sound stSound;
    stSound.iInstance = iIndex;
    stSound.iPts = pFrame->pts;
    stSound.iSamples = pFrame->nb_samples;
    stSound.iRate = pFrame->sample_rate;
    stSound.samples = firstChannel(pFrame);
    av_frame_unref(pFrame);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        stSound.iAtMs = positionLocked();
        m_sounds.append(stSound);
        if (iIndex == 0 || iIndex == 1) {
            int64_t &iPlayedOut = m_iPlayedOutUs[iIndex];
            iPlayedOut = std::max(iPlayedOut, stSound.iAtMs * 1000)
                         + (stSound.iRate > 0 ? int64_t(stSound.iSamples) * 1000000 / stSound.iRate : 0);
        }
    }
    m_cv.notify_all();
    return 0;
}

bool RecordingOutput::soundBacklog(int iIndex, SoundBacklog *pBacklog) const
{
    if (iIndex != 0 && iIndex != 1)
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    pBacklog->iUnheardUs = pBacklog->iWaitingUs =
        std::max<int64_t>(0, m_iPlayedOutUs[iIndex] - positionLocked() * 1000);
    pBacklog->iPeriodUs = 0;
    return true;
}

void RecordingOutput::dropAudio(int iIndex)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (iIndex == 0 || iIndex == 1)
        m_iPlayedOutUs[iIndex] = 0;
}

QVector<RecordingOutput::Picture> RecordingOutput::pictures() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pictures;
}

QVector<RecordingOutput::Sound> RecordingOutput::sounds(int iInstance) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QVector<Sound> result;
    for (const Sound &stSound : m_sounds)
        if (stSound.iInstance == iInstance)
            result.append(stSound);
    return result;
}

void RecordingOutput::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pictures.clear();
    m_sounds.clear();
    m_iPlayedOutUs[0] = m_iPlayedOutUs[1] = 0;
}

bool RecordingOutput::waitFor(const std::function<bool()> &bCondition, int iTimeoutMs)
{
    QElapsedTimer stTimer;
    stTimer.start();
    while (!bCondition()) {
        if (stTimer.elapsed() > iTimeoutMs)
            return false;
        std::unique_lock<std::mutex> lock(m_mutex);
        m_cv.wait_for(lock, std::chrono::milliseconds(20));
    }
    return true;
}

double psnr(const QImage &a, const QImage &b)
{
    if (a.size() != b.size() || a.isNull())
        return 0;
    double lfSum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            for (int d : {qRed(p) - qRed(q), qGreen(p) - qGreen(q), qBlue(p) - qBlue(q)})
                lfSum += d * d;
        }
    }
    const double lfMse = lfSum / (3.0 * a.width() * a.height());
    return lfMse <= 0 ? 100 : 10 * std::log10(255.0 * 255.0 / lfMse);
}

double strongestTone(const QVector<float> &samples, int iRate, const QVector<double> &frequencies)
{
    double lfBest = 0, lfBestAmplitude = -1;
    for (double lfHz : frequencies) {
        const double lfAmplitude = exporttest::toneAmplitude(samples, iRate, lfHz, 0, samples.size());
        if (lfAmplitude > lfBestAmplitude) {
            lfBestAmplitude = lfAmplitude;
            lfBest = lfHz;
        }
    }
    return lfBest;
}

} // namespace previewtest
