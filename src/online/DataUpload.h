#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

struct AlbumProjectState;

// Usage statistics: one small JSON record per export, handed to the
// statistics channel of the product information service while the user has
// the statistics switch on. Pictora opens no connection for it.
class DataUpload : public QObject
{
    Q_OBJECT
public:
    // What one export was, as texts; the order of the record's fields.
    struct ExportRecord
    {
        QString szFunctionModule = QStringLiteral("vistalo");
        QString szOutputFormat;
        QString szPicNum;
        QString szVideoNum;
        QString szWatermarkType;
        QString szVideoRatio;
        QString szVideoResolution;
        QString szVideoFrameRate;
        QString szVideoBitrate;
        QString szAudioBitrate;
        QString szAudioSampleRate;
    };

    // The process-wide object, created on first use.
    static DataUpload &instance();

    // The record of exporting the album as it stands: format, counts and
    // watermark kind from the album, the other values as the editor's ratio
    // and resolution combos and the export dialog show them. The audio
    // values are "无" when the export carries no sound.
    static ExportRecord exportRecord(const AlbumProjectState &stState, const QString &szVideoRatio,
                                     const QString &szVideoResolution, const QString &szVideoFrameRate,
                                     const QString &szVideoBitrate, const QString &szAudioBitrate,
                                     const QString &szAudioSampleRate);
    // The record as compact JSON (keys in alphabetical order), UTF-8.
    static QByteArray exportRecordJson(const ExportRecord &stRecord);

    // Hands the record to the statistics channel when the switch is on.
    // False when it is off or the channel failed; nothing for the user then.
    bool reportExport(const ExportRecord &stRecord);

private:
    DataUpload() = default;
};
