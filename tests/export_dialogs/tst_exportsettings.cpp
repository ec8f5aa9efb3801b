// The export settings dialog and the result dialogs under the offscreen
// platform: options and the album fields they write, the file-name rules
// with their messages, and what pressing "export" does with the target.

#include "album/AlbumProjectState.h"
#include "app/CQSrvProduct.h"
#include "common/TestMedia.h"
#include "common/TestSupport.h"
#include "export_dialogs/ExportSettingDialog.h"
#include "export_dialogs/ExportTarget.h"
#include "export_dialogs/FailDialog.h"
#include "export_dialogs/SuccessDialog.h"
#include "ui/CQComboBox.h"
#include "ui/CQToast.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

namespace {

// Chinese option texts, as a translation would give them: the values must
// not be read from the texts.
class OptionTranslator : public QTranslator
{
public:
    QString translate(const char *, const char *pszSource, const char *, int) const override
    {
        const QString szSource = QString::fromUtf8(pszSource);
        if (szSource == "%1fps")
            return QStringLiteral("每秒%1帧");
        if (szSource == "%1kbps")
            return QStringLiteral("码率%1k");
        if (szSource == "%1Hz")
            return QStringLiteral("采样%1");
        return QString();
    }
};

QStringList itemTexts(const QComboBox *pCombo)
{
    QStringList list;
    for (int i = 0; i < pCombo->count(); ++i)
        list << pCombo->itemText(i);
    return list;
}

// The text of the newest toast over pDialog (empty when none).
QString lastToast(QWidget *pDialog)
{
    const QList<CQToast *> toasts = pDialog->findChildren<CQToast *>();
    return toasts.isEmpty() ? QString() : toasts.last()->text();
}

} // namespace

class TestExportSettings : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir m_home;
    CQSrvProduct *m_pServices = nullptr;
    QPointer<ExportSettingDialog> m_pDialog;

    QComboBox *combo(const char *pszName) const { return m_pDialog->findChild<QComboBox *>(pszName); }
    QLineEdit *nameEdit() const { return m_pDialog->findChild<QLineEdit *>("editFileName"); }

    // Runs confirmTarget, answering an overwrite question (if one comes) with
    // pszButton; *pbAsked tells whether it came.
    ExportSettingDialog::TargetDecision confirm(const QStringList &listInputs, const char *pszButton,
                                                bool *pbAsked)
    {
        *pbAsked = false;
        QTimer::singleShot(0, m_pDialog, [=] {
            if (QWidget *pQuestion = QApplication::activeModalWidget()) {
                *pbAsked = true;
                QVERIFY(!m_pDialog->isVisible()); // hidden while the question is open
                QTest::mouseClick(pQuestion->findChild<QPushButton *>(pszButton), Qt::LeftButton);
            }
        });
        const auto eDecision = m_pDialog->confirmTarget(listInputs);
        QCoreApplication::processEvents();
        return eDecision;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        // A home without a videos folder: the default folder comes with its parents.
        qputenv("HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_home.filePath("config")));
        m_pServices = new CQSrvProduct;
    }
    void cleanupTestCase() { delete m_pServices; }

    void init()
    {
        m_pDialog = new ExportSettingDialog;
        bindExportSettingsToAlbum(m_pDialog);
        m_pDialog->show();
    }
    void cleanup() { delete m_pDialog; }

    void optionsAndTheAlbumFieldsTheyWrite()
    {
        QCOMPARE(itemTexts(combo("comboExportFormat")),
                 QStringList({"MP4", "AVI", "WMV", "FLV", "MKV", "MOV", "GIF", "WEBM", "M4V"}));
        QCOMPARE(itemTexts(combo("comboVideoFrameRate")), QStringList({"24fps", "25fps", "30fps", "60fps", "120fps"}));
        QCOMPARE(itemTexts(combo("comboVideoBitRate")),
                 QStringList({"self-adaption", "256kbps", "384kbps", "512kbps", "768kbps"}));
        QCOMPARE(itemTexts(combo("comboAudioBitRate")),
                 QStringList({"self-adaption", "64kbps", "96kbps", "128kbps", "256kbps"}));
        QCOMPARE(itemTexts(combo("comboAudioSampleRate")),
                 QStringList({"8000Hz", "11025Hz", "22050Hz", "44100Hz", "48000Hz"}));
        for (const char *pszName : {"comboExportFormat", "comboVideoFrameRate", "comboVideoBitRate",
                                    "comboAudioBitRate", "comboAudioSampleRate"}) {
            QCOMPARE(combo(pszName)->maxVisibleItems(), 6);
            QCOMPARE(combo(pszName)->size(), QSize(140, 34));
            QVERIFY(!QAccessible::queryAccessibleInterface(combo(pszName))->text(QAccessible::Name).isEmpty());
        }
        QCOMPARE(m_pDialog->size(), QSize(570, 402));
        QCOMPARE(nameEdit()->text(), QString());

        // The defaults reach the album at once; the default folder exists.
        const QString szDefault = m_home.filePath("Videos/Pictora");
        AlbumProjectState &st = albumState();
        QCOMPARE(st.szExportFormat, QStringLiteral("MP4"));
        QCOMPARE(st.stFrameRate.num, 24);
        QCOMPARE(st.stFrameRate.den, 1);
        QCOMPARE(st.iVideoBitRate, 0);
        QCOMPARE(st.iAudioBitRate, 0);
        QCOMPARE(st.iSampleRate, 44100);
        QCOMPARE(st.iAudioChannels, 2);
        QVERIFY(st.bExportAudio);
        QCOMPARE(st.szExportDir, szDefault);
        QVERIFY(QFileInfo(szDefault).isDir());

        // Values come from the entries' data, whatever the texts say.
        OptionTranslator translator;
        QCoreApplication::installTranslator(&translator);
        delete m_pDialog;
        init();
        QCoreApplication::removeTranslator(&translator);
        QCOMPARE(combo("comboVideoFrameRate")->itemText(3), QStringLiteral("每秒60帧"));
        combo("comboVideoFrameRate")->setCurrentIndex(3);
        combo("comboVideoBitRate")->setCurrentIndex(3);
        combo("comboAudioBitRate")->setCurrentIndex(4);
        combo("comboAudioSampleRate")->setCurrentIndex(1);
        QCOMPARE(st.stFrameRate.num, 60);
        QCOMPARE(st.iVideoBitRate, 512000);
        QCOMPARE(st.iAudioBitRate, 256000);
        QCOMPARE(st.iSampleRate, 11025);
        combo("comboVideoBitRate")->setCurrentIndex(0);
        QCOMPARE(st.iVideoBitRate, 0);

        // GIF and M4V carry no sound; any other format does again.
        QWidget *pAudio = m_pDialog->findChild<QWidget *>("divAudioSetting");
        for (const char *pszFormat : {"GIF", "MP4", "M4V", "WEBM"}) {
            combo("comboExportFormat")->setCurrentText(pszFormat);
            const bool bSound = qstrcmp(pszFormat, "GIF") && qstrcmp(pszFormat, "M4V");
            QCOMPARE(st.szExportFormat, QString(pszFormat));
            QCOMPARE(st.bExportAudio, bSound);
            QCOMPARE(pAudio->isEnabled(), bSound);
        }
    }

    void fileNameRules()
    {
        const QString szChinese83(83, QChar(0x4E2D)); // 249 bytes in UTF-8
        for (const QString &szName : {QString("CON1"), QString("con.txt"), QString("COM10"), QString("a b"),
                                      QString("50%2 off"), QString(250, 'a'), szChinese83, QString("%1")})
            QVERIFY2(isValidFileName(szName), qPrintable(szName));
        QStringList listBad{"", "con", "Com7", "LPT0", "prn", "nUl", "aux", "abc ", QString(251, 'a'),
                            szChinese83 + QChar(0x4E2D), QString("a") + QChar(0) + "b", "a\tb", "a\x1f"};
        for (const QChar c : QStringLiteral("/\\<>:\"|?*"))
            listBad << QStringLiteral("a%1b").arg(c);
        for (const QString &szName : listBad)
            QVERIFY2(!isValidFileName(szName), qPrintable(szName));

        // Typing: trailing spaces are dropped from what is stored; a bad text goes back.
        QSignalSpy spyName(m_pDialog, &ExportSettingDialog::sig_fileNameChanged);
        QSignalSpy spyExport(m_pDialog, &ExportSettingDialog::sig_exportRequest);
        QTest::keyClicks(nameEdit(), "abc ");
        QCOMPARE(m_pDialog->fileName(), QStringLiteral("abc"));
        QCOMPARE(albumState().szExportFileName, QStringLiteral("abc"));
        QCOMPARE(nameEdit()->text(), QStringLiteral("abc "));
        QTest::mouseClick(m_pDialog->findChild<QPushButton *>("btnExport"), Qt::LeftButton);
        QCOMPARE(lastToast(m_pDialog), QStringLiteral("Invalid file name!"));
        QCOMPARE(spyExport.count(), 0);
        QTest::keyClicks(nameEdit(), "?");
        QCOMPARE(nameEdit()->text(), QStringLiteral("abc"));
        QCOMPARE(m_pDialog->fileName(), QStringLiteral("abc"));
        QCOMPARE(lastToast(m_pDialog), QStringLiteral("Invalid file name!"));
        m_pDialog->changeFileName(QString(90, QChar(0x76F8)));
        QCOMPARE(lastToast(m_pDialog), QStringLiteral("The file name is too long!"));
        QCOMPARE(m_pDialog->fileName(), QStringLiteral("abc"));
        m_pDialog->changeFileName(QString(250, 'x'));
        QTest::keyClicks(nameEdit(), "y");
        QCOMPARE(m_pDialog->fileName(), QString(250, 'x'));
        nameEdit()->clear();
        QCOMPARE(spyName.last().at(0).toString(), QString());
        QTest::mouseClick(m_pDialog->findChild<QPushButton *>("btnExport"), Qt::LeftButton);
        QCOMPARE(lastToast(m_pDialog), QStringLiteral("Please enter a file name"));
        QCOMPARE(spyExport.count(), 0);
        m_pDialog->changeFileName(QStringLiteral("holiday"));
        QTest::keyClick(nameEdit(), Qt::Key_Return);
        QCOMPARE(spyExport.count(), 1);

        // The pencil enters the editing look; a press on the dialog leaves it.
        QTest::mouseClick(m_pDialog->findChild<QPushButton *>("btnEditFileName"), Qt::LeftButton);
        QCOMPARE(nameEdit()->property("editing").toString(), QStringLiteral("true"));
        QCOMPARE(nameEdit()->selectedText(), QStringLiteral("holiday"));
        QTest::mouseClick(m_pDialog->findChild<QLabel *>("labelFileDir"), Qt::LeftButton);
        QCOMPARE(nameEdit()->property("editing").toString(), QStringLiteral("false"));

        // Escape closes the dialog, which goes.
        QTest::keyClick(m_pDialog, Qt::Key_Escape);
        QVERIFY(!m_pDialog->isVisible());
        QTRY_VERIFY(m_pDialog.isNull());
    }

    void targetNaming()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        m_pDialog->changeFileDirectory(dir.path());
        QVERIFY(testmedia::writeFile(dir.filePath("clip.mp4"), "mine"));
        QVERIFY(testmedia::writeFile(dir.filePath("clip(1).mp4"), "mine too"));
        m_pDialog->changeFileName("clip");
        bool bAsked = false;

        // Declined: the next free numbered name, nothing else.
        QCOMPARE(confirm({}, "btnCancel", &bAsked), ExportSettingDialog::TargetDecision::Renamed);
        QVERIFY(bAsked);
        QCOMPARE(m_pDialog->fileName(), QStringLiteral("clip(2)"));
        QCOMPARE(albumState().szExportFileName, QStringLiteral("clip(2)"));
        QVERIFY(m_pDialog->isVisible());
        m_pDialog->changeFileName("clip");
        QCOMPARE(confirm({}, "btnOK", &bAsked), ExportSettingDialog::TargetDecision::ExportOver);
        QVERIFY(bAsked);
        QCOMPARE(m_pDialog->targetPath(), dir.filePath("clip.mp4"));

        // Another format is another file: nothing to ask.
        m_pDialog->show();
        m_pDialog->findChild<QComboBox *>("comboExportFormat")->setCurrentText("WEBM");
        QCOMPARE(confirm({}, "btnOK", &bAsked), ExportSettingDialog::TargetDecision::Export);
        QVERIFY(!bAsked);
        m_pDialog->findChild<QComboBox *>("comboExportFormat")->setCurrentText("MP4");

        // "%" stays text.
        QVERIFY(testmedia::writeFile(dir.filePath("50%2 off.mp4"), "x"));
        m_pDialog->changeFileName("50%2 off");
        QCOMPARE(confirm({}, "btnCancel", &bAsked), ExportSettingDialog::TargetDecision::Renamed);
        QCOMPARE(m_pDialog->fileName(), QStringLiteral("50%2 off(1)"));

        // A material of the album, reached through a link too, and a folder are
        // never offered: a numbered name at once.
        QVERIFY(QFile::link(dir.filePath("clip.mp4"), dir.filePath("link.mp4")));
        for (const QString &szName : {QString("clip"), QString("link")}) {
            m_pDialog->changeFileName(szName);
            QCOMPARE(confirm({dir.filePath("clip.mp4")}, "btnOK", &bAsked),
                     ExportSettingDialog::TargetDecision::Renamed);
            QVERIFY(!bAsked);
            QCOMPARE(m_pDialog->fileName(), szName == "clip" ? QStringLiteral("clip(2)") : QStringLiteral("link(1)"));
        }
        QVERIFY(QDir(dir.path()).mkpath("folder.mp4"));
        QVERIFY(QDir(dir.path()).mkpath("folder(1).mp4"));
        m_pDialog->changeFileName("folder");
        QCOMPARE(confirm({}, "btnOK", &bAsked), ExportSettingDialog::TargetDecision::Renamed);
        QVERIFY(!bAsked);
        QCOMPARE(m_pDialog->fileName(), QStringLiteral("folder(2)"));
        QCOMPARE(testmedia::readFile(dir.filePath("clip.mp4")), QByteArray("mine"));

        // A name with no room for a number, a folder nobody may write into,
        // a path beyond the system's limit: refused with a message.
        const QString szLong(248, 'n');
        QVERIFY(testmedia::writeFile(dir.filePath(szLong + ".mp4"), "x"));
        m_pDialog->changeFileName(szLong);
        QCOMPARE(confirm({}, "btnCancel", &bAsked), ExportSettingDialog::TargetDecision::Refused);
        QCOMPARE(lastToast(m_pDialog), QStringLiteral("No free name found, please enter another name"));
        QCOMPARE(m_pDialog->fileName(), szLong);
        m_pDialog->changeFileDirectory("/sys/pictora-export");
        QCOMPARE(confirm({}, "btnOK", &bAsked), ExportSettingDialog::TargetDecision::Refused);
        QCOMPARE(lastToast(m_pDialog), QStringLiteral("The folder cannot be written to, please choose another"));
        QString szDeep = dir.path();
        while (szDeep.size() < 3900)
            szDeep += "/" + QString(200, 'd');
        m_pDialog->changeFileDirectory(szDeep);
        QCOMPARE(confirm({}, "btnOK", &bAsked), ExportSettingDialog::TargetDecision::Refused);
        QCOMPARE(lastToast(m_pDialog), QStringLiteral("The name is too long for this folder"));
    }

    void resultDialogs()
    {
        QPointer<FailDialog> pFail = new FailDialog;
        // Texts that look like markup read as they are, in the labels and their tips.
        const QString szError = QStringLiteral("<b>Write video packet failed(No space left on device) ").repeated(4);
        pFail->setErrorText(szError);
        pFail->show();
        auto *pError = pFail->findChild<QLabel *>("labelErrorMessage");
        QCOMPARE(pError->size(), QSize(404, 18));
        QVERIFY(pError->text().endsWith(QChar(0x2026)));
        QVERIFY(pError->fontMetrics().horizontalAdvance(pError->text()) <= 404);
        QCOMPARE(testsupport::toolTipAsRead(pError->toolTip()), szError);
        QCOMPARE(pFail->findChild<QLabel *>("labelContent")->text(), QStringLiteral("Export failed..."));
        QCOMPARE(pFail->size(), QSize(502, 352));
        pFail->close();
        QTRY_VERIFY(pFail.isNull());

        QPointer<SuccessDialog> pSuccess = new SuccessDialog;
        QSignalSpy spy(pSuccess.data(), &SuccessDialog::sig_explorerFolderRequest);
        pSuccess->setExportedFile("/v/<i>album</i>.mp4");
        QCOMPARE(testsupport::toolTipAsRead(pSuccess->findChild<QPushButton *>("btnExportFolder")->toolTip()),
                 QStringLiteral("/v/<i>album</i>.mp4"));
        pSuccess->show();
        QTest::mouseClick(pSuccess->findChild<QPushButton *>("btnExportFolder"), Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QVERIFY(pSuccess->isVisible());
        QCOMPARE(pSuccess->exportedFile(), QStringLiteral("/v/<i>album</i>.mp4"));
        QTest::mouseClick(pSuccess->findChild<QPushButton *>("btnClose"), Qt::LeftButton);
        QTRY_VERIFY(pSuccess.isNull());
    }
};

QTEST_MAIN(TestExportSettings)
#include "tst_exportsettings.moc"
