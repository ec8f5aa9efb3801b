#include "online/DataUpload.h"

#include "album/AlbumProjectState.h"
#include "online/CQSrvProductInfo.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace {
const QString kNone = QStringLiteral("无");
}

DataUpload &DataUpload::instance()
{
    static DataUpload s_upload;
    return s_upload;
}

DataUpload::ExportRecord DataUpload::exportRecord(const AlbumProjectState &stState, const QString &szVideoRatio,
                                                  const QString &szVideoResolution, const QString &szVideoFrameRate,
                                                  const QString &szVideoBitrate, const QString &szAudioBitrate,
                                                  const QString &szAudioSampleRate)
{
    ExportRecord st;
    st.szOutputFormat = stState.szExportFormat;
    st.szPicNum = QString::number(stState.listImageSourceOrder.size() - stState.iVideoSourceCount);
    st.szVideoNum = QString::number(stState.iVideoSourceCount);
    if (stState.iWatermarkType == WatermarkText && !stState.szWatermarkText.isEmpty())
        st.szWatermarkType = QStringLiteral("text(1)");
    else if (stState.iWatermarkType == WatermarkImage && !stState.szImageWatermarkPath.isEmpty())
        st.szWatermarkType = QStringLiteral("pic(1)");
    else
        st.szWatermarkType = kNone;
    st.szVideoRatio = szVideoRatio;
    st.szVideoResolution = szVideoResolution;
    st.szVideoFrameRate = szVideoFrameRate;
    st.szVideoBitrate = szVideoBitrate;
    st.szAudioBitrate = stState.bExportAudio ? szAudioBitrate : kNone;
    st.szAudioSampleRate = stState.bExportAudio ? szAudioSampleRate : kNone;
    return st;
}

QByteArray DataUpload::exportRecordJson(const ExportRecord &stRecord)
{
    QJsonObject stObject;
    stObject.insert(QStringLiteral("function_module"), stRecord.szFunctionModule);
    stObject.insert(QStringLiteral("output_format"), stRecord.szOutputFormat);
    stObject.insert(QStringLiteral("pic_num"), stRecord.szPicNum);
    stObject.insert(QStringLiteral("video_num"), stRecord.szVideoNum);
    stObject.insert(QStringLiteral("watermark_type_num"), stRecord.szWatermarkType);
    stObject.insert(QStringLiteral("video_ratio"), stRecord.szVideoRatio);
    stObject.insert(QStringLiteral("video_resolution"), stRecord.szVideoResolution);
    stObject.insert(QStringLiteral("video_frame_rate"), stRecord.szVideoFrameRate);
    stObject.insert(QStringLiteral("video_bitrate"), stRecord.szVideoBitrate);
    stObject.insert(QStringLiteral("audio_bitrate"), stRecord.szAudioBitrate);
    stObject.insert(QStringLiteral("audio_sample_rate"), stRecord.szAudioSampleRate);
    return QJsonDocument(stObject).toJson(QJsonDocument::Compact);
}

bool DataUpload::reportExport(const ExportRecord &stRecord)
{
    CQSrvProductInfo &info = CQSrvProductInfo::instance();
    if (info.statisticsSwitch() != QLatin1String("1"))
        return false;
    return info.sendStatistics(QStringLiteral("1"), QString::fromUtf8(exportRecordJson(stRecord)));
}
