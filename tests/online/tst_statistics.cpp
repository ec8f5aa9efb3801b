#include "album/AlbumProjectState.h"
#include "online/CQSrvProductInfo.h"
#include "online/DataUpload.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QList<QByteArray> logLines(const QString &szPath)
{
    QFile file(szPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> lines = file.readAll().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class TestStatistics : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dataHome;
    QString m_szLog;

    void setSwitch(bool bOn)
    {
        QFile file(CQSrvProductInfo::instance().configFilePath("Pictora", "config.ini"));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bOn ? "statistics=1\n" : "statistics=0\n");
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dataHome.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dataHome.path()));
        m_szLog = CQSrvProductInfo::instance().dataFolder() + "/statistics.log";
    }

    void oneExportIsOneExactRecord()
    {
        AlbumProjectState state;
        state.szExportFormat = "GIF";
        state.listImageSourceOrder = {"/a.jpg", "/b.png", "/c.mp4", "/d.jpg"};
        state.iVideoSourceCount = 1;
        state.iWatermarkType = WatermarkText;
        state.szWatermarkText = QStringLiteral("水印");
        state.bExportAudio = false;
        const DataUpload::ExportRecord record =
            DataUpload::exportRecord(state, "16:9", "1080P", "25fps", "8000kbps", "128kbps", "44100Hz");
        const QByteArray expected(
            R"j({"audio_bitrate":"无","audio_sample_rate":"无","function_module":"vistalo","output_format":"GIF",)j"
            R"j("pic_num":"3","video_bitrate":"8000kbps","video_frame_rate":"25fps","video_num":"1",)j"
            R"j("video_ratio":"16:9","video_resolution":"1080P","watermark_type_num":"text(1)"})j");
        QCOMPARE(DataUpload::exportRecordJson(record), expected);

        setSwitch(false);
        QVERIFY(!DataUpload::instance().reportExport(record));
        QVERIFY(!QFile::exists(m_szLog));

        setSwitch(true);
        QVERIFY(DataUpload::instance().reportExport(record));
        const QList<QByteArray> lines = logLines(m_szLog);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().contains("\"record\":" + expected), lines.first().constData());
        QCOMPARE(QJsonDocument::fromJson(lines.first()).object().value("event").toString(), QStringLiteral("1"));

        // An image watermark without a picture counts as none; sound is reported when exported.
        state.iWatermarkType = WatermarkImage;
        state.szImageWatermarkPath.clear();
        state.bExportAudio = true;
        const DataUpload::ExportRecord withSound =
            DataUpload::exportRecord(state, "16:9", "1080P", "25fps", "8000kbps", "128kbps", "44100Hz");
        QCOMPARE(withSound.szWatermarkType, QStringLiteral("无"));
        QCOMPARE(withSound.szAudioBitrate, QStringLiteral("128kbps"));
        QCOMPARE(withSound.szAudioSampleRate, QStringLiteral("44100Hz"));
        state.szImageWatermarkPath = "/w.png";
        QCOMPARE(DataUpload::exportRecord(state, "", "", "", "", "", "").szWatermarkType, QStringLiteral("pic(1)"));
    }

    void logIsRotatedAtItsLimit()
    {
        setSwitch(true);
        CQSrvProductInfo::instance().setStatisticsLogLimit(2000);
        DataUpload::ExportRecord record;
        for (int i = 0; i < 40; ++i) {
            record.szPicNum = QString::number(i);
            QVERIFY(DataUpload::instance().reportExport(record));
        }
        CQSrvProductInfo::instance().setStatisticsLogLimit(0);
        QVERIFY(QFileInfo(m_szLog).size() <= 2000);
        QVERIFY(QFileInfo(m_szLog + ".1").size() <= 2000);
        // The newest records, whole, in order, each once.
        const QList<QByteArray> lines = logLines(m_szLog + ".1") + logLines(m_szLog);
        QVERIFY(lines.size() > 5);
        for (int i = 0; i < lines.size(); ++i) {
            const QJsonObject stRecord = QJsonDocument::fromJson(lines.at(i)).object().value("record").toObject();
            QCOMPARE(stRecord.value("pic_num").toString(), QString::number(40 - lines.size() + i));
        }
    }
};

QTEST_GUILESS_MAIN(TestStatistics)
#include "tst_statistics.moc"
