#include "export_dialogs/ExportSettingDialog.h"

#include "album/AlbumProjectState.h"
#include "export_dialogs/ExportTarget.h"
#include "ui/CQComboBox.h"
#include "ui/CQDlgTipSimple.h"
#include "ui/CQThemeMgr.h"
#include "ui/CQToast.h"
#include "ui/CQUIPushButton.h"
#include "ui/CQWidgetEx.h"
#include "ui/CQWindowDragFilter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <array>

namespace {

// Why a typed name is refused: the length limit, which a name of a few dozen
// Chinese characters reaches, is said plainly.
QString refusedNameMessage(const QString &szName)
{
    if (isFileNameTooLong(szName))
        return QCoreApplication::translate("ExportSettingDialogClass", "The file name is too long!");
    return QCoreApplication::translate("ExportSettingDialogClass", "Invalid file name!");
}

QLabel *label(QWidget *pParent, const char *pszName, int iWidth = 0)
{
    auto *pLabel = new QLabel(pParent);
    pLabel->setObjectName(QLatin1String(pszName));
    if (iWidth > 0)
        pLabel->setFixedWidth(iWidth);
    return pLabel;
}

CQComboBox *combo(QWidget *pParent, const char *pszName)
{
    auto *pCombo = new CQComboBox(pParent);
    pCombo->setObjectName(QLatin1String(pszName));
    pCombo->setFixedSize(140, 34);
    pCombo->setMaxVisibleItems(6);
    pCombo->setCursor(Qt::PointingHandCursor);
    return pCombo;
}

QPushButton *pictureButton(QWidget *pParent, const char *pszName, int iSize)
{
    auto *pButton = new QPushButton(pParent);
    pButton->setObjectName(QLatin1String(pszName));
    pButton->setFixedSize(iSize, iSize);
    pButton->setFlat(true);
    pButton->setCursor(Qt::PointingHandCursor);
    pButton->setFocusPolicy(Qt::TabFocus);
    return pButton;
}

// A label and its input in one row of a settings panel.
void addRow(QVBoxLayout *pLayout, QLabel *pLabel, QWidget *pInput)
{
    auto *pRow = new QHBoxLayout;
    pRow->setSpacing(10);
    pRow->addWidget(pLabel);
    pRow->addWidget(pInput);
    pRow->addStretch(1);
    pLayout->addLayout(pRow);
    pLabel->setBuddy(pInput);
}

// A titled panel (icon and title) of two options.
struct OptionPanel
{
    QWidget *pPanel;
    QLabel *pTitle;
    QLabel *pFirstLabel;
    CQComboBox *pFirst;
    QLabel *pSecondLabel;
    CQComboBox *pSecond;
};

// Object names: the panel, its icon, its title, then label and list of each option.
OptionPanel optionPanel(QWidget *pParent, const std::array<const char *, 7> &names)
{
    OptionPanel st;
    st.pPanel = new QWidget(pParent);
    st.pPanel->setObjectName(QLatin1String(names[0]));
    st.pPanel->setFixedWidth(283);
    auto *pLayout = new QVBoxLayout(st.pPanel);
    pLayout->setContentsMargins(30, 0, 10, 0);
    pLayout->setSpacing(16);
    auto *pTitleRow = new QHBoxLayout;
    pTitleRow->setSpacing(6);
    QLabel *pIcon = label(st.pPanel, names[1]);
    pIcon->setFixedSize(16, 16);
    pTitleRow->addWidget(pIcon);
    st.pTitle = label(st.pPanel, names[2]);
    pTitleRow->addWidget(st.pTitle);
    pTitleRow->addStretch(1);
    pLayout->addLayout(pTitleRow);
    st.pFirstLabel = label(st.pPanel, names[3], 76);
    st.pFirst = combo(st.pPanel, names[4]);
    addRow(pLayout, st.pFirstLabel, st.pFirst);
    st.pSecondLabel = label(st.pPanel, names[5], 76);
    st.pSecond = combo(st.pPanel, names[6]);
    addRow(pLayout, st.pSecondLabel, st.pSecond);
    return st;
}

// Bit/s from a kbps entry; 0 for the automatic one.
void addBitRates(QComboBox *pCombo, std::initializer_list<int> listKbps)
{
    pCombo->addItem(QString(), QVariant::fromValue<qlonglong>(0));
    for (int iKbps : listKbps)
        pCombo->addItem(QString(), QVariant::fromValue<qlonglong>(iKbps * 1000LL));
}

} // namespace

ExportSettingDialog::ExportSettingDialog(QWidget *pParent)
    : CQDialogEx(pParent)
{
    setObjectName(QStringLiteral("ExportSettingDialogClass"));
    setFixedSize(570, 402);
    setStyleSheet(CQThemeMgr::builtInStyleSheet(objectName()));
    buildForm();
    fillOptions();
    translateTexts();
    applyTheme();
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose);

    // The default folder, made with every missing parent.
    const QString szMovies = QStandardPaths::writableLocation(QStandardPaths::MoviesLocation);
    if (!szMovies.isEmpty()) {
        const QString szDefault = QDir::toNativeSeparators(
            szMovies + QLatin1Char('/') + QCoreApplication::translate("ExportSettingDialogClass", "Pictora"));
        QDir().mkpath(szDefault);
        changeFileDirectory(szDefault);
    }

    // Every change of the current entry, with its text.
    const auto relay = [this](QComboBox *pCombo, void (ExportSettingDialog::*pfnSignal)(QString)) {
        connect(pCombo, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                [this, pCombo, pfnSignal] { (this->*pfnSignal)(pCombo->currentText()); });
    };
    relay(m_pFormat, &ExportSettingDialog::sig_exportFormatChanged);
    relay(m_pFrameRate, &ExportSettingDialog::sig_frameRateChanged);
    relay(m_pVideoBitRate, &ExportSettingDialog::sig_videoBitRateChanged);
    relay(m_pAudioBitRate, &ExportSettingDialog::sig_audioBitRateChanged);
    relay(m_pSampleRate, &ExportSettingDialog::sig_sampleRateChanged);
    connect(m_pFileName, &QLineEdit::textChanged, this, &ExportSettingDialog::uiChangeFileName);
    connect(m_pFileName, &QLineEdit::editingFinished, this, &ExportSettingDialog::editTextFinish);
    connect(m_pEditFileName, &QPushButton::clicked, this, &ExportSettingDialog::startEditText);
    connect(m_pChangeFileDir, &QPushButton::clicked, this,
            static_cast<void (ExportSettingDialog::*)()>(&ExportSettingDialog::changeFileDirectory));
    connect(m_pExport, &QPushButton::clicked, this, &ExportSettingDialog::startExport);
    connect(m_pClose, &QPushButton::clicked, this, &QDialog::close);

    for (QObject *pWatched : {static_cast<QObject *>(this), static_cast<QObject *>(m_pFileDir),
                              static_cast<QObject *>(m_pFileName)})
        pWatched->installEventFilter(this);
    new CQWindowDragFilter(this);
    centerWidget(this, pParent);
    keepOnScreen(this);
    m_pExport->setDefault(true);
    m_pFormat->setFocus();
}

void ExportSettingDialog::buildForm()
{
    auto *pOuter = new QVBoxLayout(this);
    pOuter->setContentsMargins(0, 0, 0, 0);
    auto *pFrame = new QWidget(this);
    pFrame->setObjectName(QStringLiteral("uiFrame"));
    pOuter->addWidget(pFrame);
    auto *pLayout = new QVBoxLayout(pFrame);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);

    auto *pTitleRow = new QHBoxLayout;
    pTitleRow->setContentsMargins(30, 8, 8, 0);
    m_pTitle = label(pFrame, "labelTitle");
    pTitleRow->addWidget(m_pTitle);
    pTitleRow->addStretch(1);
    m_pClose = pictureButton(pFrame, "btnClose", 30);
    pTitleRow->addWidget(m_pClose, 0, Qt::AlignTop);
    pLayout->addLayout(pTitleRow);

    auto *pFormatRow = new QVBoxLayout;
    pFormatRow->setContentsMargins(30, 16, 30, 0);
    m_pFormatLabel = label(pFrame, "labelExportFormat");
    m_pFormat = combo(pFrame, "comboExportFormat");
    addRow(pFormatRow, m_pFormatLabel, m_pFormat);
    pLayout->addLayout(pFormatRow);
    pLayout->addStretch(1);

    auto *pSettings = new QHBoxLayout;
    pSettings->setSpacing(0);
    pSettings->setContentsMargins(0, 0, 0, 0);
    const OptionPanel video = optionPanel(pFrame, {"divVideoSetting", "labelVideoSettingTitleIcon",
                                                   "labelVideoSettingTitle", "labelVideoFrameRate",
                                                   "comboVideoFrameRate", "labelVideoBitRate", "comboVideoBitRate"});
    m_pVideoPanel = video.pPanel;
    m_pVideoTitle = video.pTitle;
    m_pFrameRateLabel = video.pFirstLabel;
    m_pFrameRate = video.pFirst;
    m_pVideoBitRateLabel = video.pSecondLabel;
    m_pVideoBitRate = video.pSecond;
    pSettings->addWidget(m_pVideoPanel);
    auto *pLine = new QWidget(pFrame);
    pLine->setObjectName(QStringLiteral("uiLine"));
    pLine->setFixedWidth(1);
    pLine->setAttribute(Qt::WA_StyledBackground);
    pSettings->addWidget(pLine);
    const OptionPanel audio = optionPanel(pFrame, {"divAudioSetting", "labelAudioSettingTitleIcon",
                                                   "labelAudioSettingTitle", "labelAudioBitRate", "comboAudioBitRate",
                                                   "labelAudioSampleRate", "comboAudioSampleRate"});
    m_pAudioPanel = audio.pPanel;
    m_pAudioTitle = audio.pTitle;
    m_pAudioBitRateLabel = audio.pFirstLabel;
    m_pAudioBitRate = audio.pFirst;
    m_pSampleRateLabel = audio.pSecondLabel;
    m_pSampleRate = audio.pSecond;
    pSettings->addWidget(m_pAudioPanel);
    pSettings->addStretch(1);
    pLayout->addLayout(pSettings);
    pLayout->addStretch(1);

    auto *pLocation = new QWidget(pFrame);
    pLocation->setObjectName(QStringLiteral("divExportpLocation"));
    pLocation->setAttribute(Qt::WA_StyledBackground);
    auto *pLocationLayout = new QHBoxLayout(pLocation);
    pLocationLayout->setContentsMargins(30, 20, 30, 20);
    auto *pRows = new QVBoxLayout;
    pRows->setSpacing(14);
    m_pFileNameLabel = label(pLocation, "labelFileName", 76);
    m_pFileName = new QLineEdit(pLocation);
    m_pFileName->setObjectName(QStringLiteral("editFileName"));
    m_pFileName->setFixedSize(240, 30);
    m_pEditFileName = pictureButton(pLocation, "btnEditFileName", 20);
    auto *pNameRow = new QHBoxLayout;
    pNameRow->setSpacing(8);
    pNameRow->addWidget(m_pFileNameLabel);
    pNameRow->addWidget(m_pFileName);
    pNameRow->addWidget(m_pEditFileName);
    m_pFileNameLabel->setBuddy(m_pFileName);
    pRows->addLayout(pNameRow);
    m_pDirLabel = label(pLocation, "label_3", 76);
    m_pFileDir = label(pLocation, "labelFileDir", 240);
    m_pFileDir->setFixedHeight(30);
    m_pFileDir->setTextFormat(Qt::PlainText);
    m_pChangeFileDir = pictureButton(pLocation, "btnChangeFileDir", 24);
    auto *pDirRow = new QHBoxLayout;
    pDirRow->setSpacing(8);
    pDirRow->addWidget(m_pDirLabel);
    pDirRow->addWidget(m_pFileDir);
    pDirRow->addWidget(m_pChangeFileDir);
    pRows->addLayout(pDirRow);
    pLocationLayout->addLayout(pRows);
    pLocationLayout->addStretch(1);
    m_pExport = new CQUIPushButton(pLocation);
    m_pExport->setObjectName(QStringLiteral("btnExport"));
    m_pExport->setFixedSize(110, 40);
    m_pExport->setCursor(Qt::PointingHandCursor);
    pLocationLayout->addWidget(m_pExport, 0, Qt::AlignVCenter);
    pLayout->addWidget(pLocation);

    setUpDialogFrame(this, pFrame, pOuter, 0);
}

void ExportSettingDialog::fillOptions()
{
    // Item data carry the values; the texts are for reading only.
    for (const char *pszFormat : {"MP4", "AVI", "WMV", "FLV", "MKV", "MOV", "GIF", "WEBM", "M4V"})
        m_pFormat->addItem(QString(), QString::fromLatin1(pszFormat));
    for (int iFps : {24, 25, 30, 60, 120})
        m_pFrameRate->addItem(QString(), iFps);
    addBitRates(m_pVideoBitRate, {256, 384, 512, 768});
    addBitRates(m_pAudioBitRate, {64, 96, 128, 256});
    for (int iHz : {8000, 11025, 22050, 44100, 48000})
        m_pSampleRate->addItem(QString(), QVariant::fromValue<qlonglong>(iHz));
    m_pSampleRate->setCurrentIndex(3);
}

void ExportSettingDialog::translateTexts()
{
    setWindowTitle(QCoreApplication::translate("ExportSettingDialogClass", "Export settings", "ExportSettingDialog"));
    m_pTitle->setText(QCoreApplication::translate("ExportSettingDialogClass", "export setting"));
    m_pClose->setToolTip(QCoreApplication::translate("ExportSettingDialogClass", "Close"));
    m_pClose->setAccessibleName(m_pClose->toolTip());
    m_pFormatLabel->setText(QCoreApplication::translate("ExportSettingDialogClass", "export format"));
    m_pVideoTitle->setText(QCoreApplication::translate("ExportSettingDialogClass", "video"));
    m_pFrameRateLabel->setText(QCoreApplication::translate("ExportSettingDialogClass", "frame rate"));
    m_pVideoBitRateLabel->setText(QCoreApplication::translate("ExportSettingDialogClass", "bit rate"));
    m_pAudioTitle->setText(QCoreApplication::translate("ExportSettingDialogClass", "audio"));
    m_pAudioBitRateLabel->setText(QCoreApplication::translate("ExportSettingDialogClass", "bit rate"));
    m_pSampleRateLabel->setText(QCoreApplication::translate("ExportSettingDialogClass", "sample rate"));
    m_pFileNameLabel->setText(QCoreApplication::translate("ExportSettingDialogClass", "file name"));
    m_pFileName->setPlaceholderText(
        QCoreApplication::translate("ExportSettingDialogClass", "Please enter a file name"));
    m_pEditFileName->setToolTip(QCoreApplication::translate("ExportSettingDialogClass", "Edit the file name"));
    m_pDirLabel->setText(QCoreApplication::translate("ExportSettingDialogClass", "export to"));
    m_pChangeFileDir->setToolTip(QCoreApplication::translate("ExportSettingDialogClass", "Choose the export folder"));
    m_pExport->setText(QCoreApplication::translate("ExportSettingDialogClass", "export"));

    for (int i = 0; i < m_pFormat->count(); ++i)
        m_pFormat->setItemText(i, m_pFormat->itemData(i).toString());
    for (int i = 0; i < m_pFrameRate->count(); ++i)
        m_pFrameRate->setItemText(
            i, QCoreApplication::translate("ExportSettingDialogClass", "%1fps").arg(m_pFrameRate->itemData(i).toInt()));
    for (QComboBox *pCombo : {static_cast<QComboBox *>(m_pVideoBitRate), static_cast<QComboBox *>(m_pAudioBitRate)}) {
        pCombo->setItemText(0, QCoreApplication::translate("ExportSettingDialogClass", "self-adaption"));
        for (int i = 1; i < pCombo->count(); ++i)
            pCombo->setItemText(i, QCoreApplication::translate("ExportSettingDialogClass", "%1kbps")
                                       .arg(pCombo->itemData(i).toLongLong() / 1000));
    }
    for (int i = 0; i < m_pSampleRate->count(); ++i)
        m_pSampleRate->setItemText(i, QCoreApplication::translate("ExportSettingDialogClass", "%1Hz")
                                          .arg(m_pSampleRate->itemData(i).toLongLong()));

    // Two "bit rate" labels: the inputs are told apart by their panels' names.
    const auto inPanel = [](QLabel *pPanel, QLabel *pLabel) { return pPanel->text() + ' ' + pLabel->text(); };
    m_pFormat->setAccessibleName(m_pFormatLabel->text());
    m_pFrameRate->setAccessibleName(inPanel(m_pVideoTitle, m_pFrameRateLabel));
    m_pVideoBitRate->setAccessibleName(inPanel(m_pVideoTitle, m_pVideoBitRateLabel));
    m_pAudioBitRate->setAccessibleName(inPanel(m_pAudioTitle, m_pAudioBitRateLabel));
    m_pSampleRate->setAccessibleName(inPanel(m_pAudioTitle, m_pSampleRateLabel));
    m_pFileName->setAccessibleName(m_pFileNameLabel->text());
    m_pEditFileName->setAccessibleName(m_pEditFileName->toolTip());
    m_pChangeFileDir->setAccessibleName(m_pChangeFileDir->toolTip());
    m_pFileDir->setAccessibleName(m_pDirLabel->text());
}

QString ExportSettingDialog::exportFormat() const
{
    return m_pFormat->currentData().toString();
}

int ExportSettingDialog::frameRate() const
{
    return m_pFrameRate->currentData().toInt();
}

int64_t ExportSettingDialog::videoBitRate() const
{
    return m_pVideoBitRate->currentData().toLongLong();
}

int64_t ExportSettingDialog::audioBitRate() const
{
    return m_pAudioBitRate->currentData().toLongLong();
}

int64_t ExportSettingDialog::sampleRate() const
{
    return m_pSampleRate->currentData().toLongLong();
}

QString ExportSettingDialog::frameRateText() const
{
    return m_pFrameRate->currentText();
}

QString ExportSettingDialog::videoBitRateText() const
{
    return m_pVideoBitRate->currentText();
}

QString ExportSettingDialog::audioBitRateText() const
{
    return m_pAudioBitRate->currentText();
}

QString ExportSettingDialog::sampleRateText() const
{
    return m_pSampleRate->currentText();
}

QString ExportSettingDialog::targetPath() const
{
    return exportTargetPath(m_szDirectory, m_szFileName, exportFormat());
}

void ExportSettingDialog::setAudioSettingsEnabled(bool bEnabled)
{
    m_pAudioPanel->setEnabled(bEnabled);
}

void ExportSettingDialog::showToast(const QString &szText)
{
    auto *pToast = new CQToast(this);
    pToast->showToast(szText, 2000, true);
}

void ExportSettingDialog::uiChangeFileName(QString szText)
{
    static const QRegularExpression s_trailingSpaces(QStringLiteral("\\s* +$"));
    szText.remove(s_trailingSpaces);
    if (szText.isEmpty() || isValidFileName(szText)) {
        m_szFileName = szText;
        Q_EMIT sig_fileNameChanged(m_szFileName);
        return;
    }
    // Back to the last accepted name, which needs no second acceptance.
    const QSignalBlocker blocker(m_pFileName);
    m_pFileName->setText(m_szFileName);
    showToast(refusedNameMessage(szText));
}

void ExportSettingDialog::changeFileDirectory()
{
    changeFileDirectory(
        QFileDialog::getExistingDirectory(this, QCoreApplication::translate("ExportSettingDialogClass", "Pictora"),
                                          m_szDirectory, QFileDialog::ShowDirsOnly));
}

void ExportSettingDialog::changeFileDirectory(QString szDir)
{
    if (szDir.isEmpty())
        return;
    m_szDirectory = QDir::toNativeSeparators(szDir);
    m_pFileDir->ensurePolished(); // the style sheet's font
    const QMargins stMargins = m_pFileDir->contentsMargins();
    m_pFileDir->setText(m_pFileDir->fontMetrics().elidedText(
        m_szDirectory, Qt::ElideRight, m_pFileDir->width() - stMargins.left() - stMargins.right()));
    m_pFileDir->setToolTip(plainToolTip(m_szDirectory));
    Q_EMIT sig_fileDirectoryChanged(m_szDirectory);
}

void ExportSettingDialog::changeFileName(QString szText)
{
    m_pFileName->setText(szText);
}

void ExportSettingDialog::startExport()
{
    const QString szText = m_pFileName->text();
    if (szText.isEmpty())
        showToast(QCoreApplication::translate("ExportSettingDialogClass", "Please enter a file name"));
    else if (isValidFileName(szText))
        Q_EMIT sig_exportRequest();
    else
        showToast(refusedNameMessage(szText));
}

void ExportSettingDialog::startEditText()
{
    setEditing(true);
    m_pFileName->selectAll();
}

void ExportSettingDialog::editTextFinish()
{
    setEditing(false);
}

void ExportSettingDialog::setEditing(bool bEditing)
{
    if (bEditing == m_bEditing)
        return;
    m_bEditing = bEditing;
    if (bEditing)
        m_pFileName->setFocus();
    else
        m_pFileName->clearFocus();
    setStyleProperty(m_pFileName, QStringLiteral("editing"),
                     bEditing ? QStringLiteral("true") : QStringLiteral("false"));
}

bool ExportSettingDialog::eventFilter(QObject *pWatched, QEvent *pEvent)
{
    const bool bLeftPress = pEvent->type() == QEvent::MouseButtonPress
        && static_cast<QMouseEvent *>(pEvent)->button() == Qt::LeftButton;
    if (pWatched == m_pFileName && (bLeftPress || pEvent->type() == QEvent::FocusIn)) {
        setEditing(true);
    } else if (bLeftPress && (pWatched == this || pWatched == m_pFileDir)) {
        setEditing(false);
        setFocus();
    }
    return CQDialogEx::eventFilter(pWatched, pEvent);
}

ExportSettingDialog::TargetDecision ExportSettingDialog::confirmTarget(const QStringList &listInputs)
{
    if (!prepareExportFolder(m_szDirectory)) {
        showToast(QCoreApplication::translate("ExportSettingDialogClass",
                                              "The folder cannot be written to, please choose another"));
        return TargetDecision::Refused;
    }
    const QString szTarget = targetPath();
    if (!exportPathFits(szTarget)) {
        showToast(QCoreApplication::translate("ExportSettingDialogClass", "The name is too long for this folder"));
        return TargetDecision::Refused;
    }
    switch (inspectExportTarget(szTarget, listInputs)) {
    case ExportTargetState::Free:
        return TargetDecision::Export;
    case ExportTargetState::Input:
    case ExportTargetState::Taken:
        // Never offered for overwriting: the album's own files, folders and the like.
        showToast(
            QCoreApplication::translate("ExportSettingDialogClass", "That name is in use, a new one is proposed"));
        return proposeNumberedName();
    case ExportTargetState::File:
        break;
    }
    hide();
    CQDlgTipSimple question;
    question.setTitle(QCoreApplication::translate("ExportSettingDialogClass", "Tips"));
    question.setTipText(QCoreApplication::translate("ExportSettingDialogClass",
                                                    "The file already exists. Do you want to overwrite it?"));
    question.setOkText(QCoreApplication::translate("ExportSettingDialogClass", "Cover"));
    question.setCancelText(QCoreApplication::translate("ExportSettingDialogClass", "Uncover"));
    if (question.exec() == QDialog::Accepted)
        return TargetDecision::ExportOver;
    show();
    return proposeNumberedName();
}

ExportSettingDialog::TargetDecision ExportSettingDialog::proposeNumberedName()
{
    const QString szName = freeNumberedName(m_szFileName, [this](const QString &szCandidate) {
        return exportTargetPath(m_szDirectory, szCandidate, exportFormat());
    });
    if (szName.isEmpty()) {
        showToast(
            QCoreApplication::translate("ExportSettingDialogClass", "No free name found, please enter another name"));
        return TargetDecision::Refused;
    }
    changeFileName(szName);
    return TargetDecision::Renamed;
}

void bindExportSettingsToAlbum(ExportSettingDialog *pDialog)
{
    AlbumProjectState &st = albumState();
    st.bExportAudio = true;
    st.szExportFileName = pDialog->fileName();
    st.szExportDir = pDialog->fileDirectory();
    pDialog->changeFileDirectory(pDialog->fileDirectory());
    st.szExportFormat = pDialog->exportFormat();
    st.stFrameRate = AVRational{pDialog->frameRate(), 1};
    st.iVideoBitRate = pDialog->videoBitRate();
    st.iAudioBitRate = pDialog->audioBitRate();
    st.iSampleRate = pDialog->sampleRate();
    st.iAudioChannels = 2;

    QObject::connect(pDialog, &ExportSettingDialog::sig_exportFormatChanged, pDialog, [pDialog] {
        AlbumProjectState &stState = albumState();
        stState.szExportFormat = pDialog->exportFormat();
        const bool bSound = stState.szExportFormat.compare(QLatin1String("GIF"), Qt::CaseInsensitive) != 0
            && stState.szExportFormat.compare(QLatin1String("M4V"), Qt::CaseInsensitive) != 0;
        stState.bExportAudio = bSound;
        pDialog->setAudioSettingsEnabled(bSound);
    });
    QObject::connect(pDialog, &ExportSettingDialog::sig_frameRateChanged, pDialog,
                     [pDialog] { albumState().stFrameRate = AVRational{pDialog->frameRate(), 1}; });
    QObject::connect(pDialog, &ExportSettingDialog::sig_videoBitRateChanged, pDialog,
                     [pDialog] { albumState().iVideoBitRate = pDialog->videoBitRate(); });
    QObject::connect(pDialog, &ExportSettingDialog::sig_audioBitRateChanged, pDialog,
                     [pDialog] { albumState().iAudioBitRate = pDialog->audioBitRate(); });
    QObject::connect(pDialog, &ExportSettingDialog::sig_sampleRateChanged, pDialog,
                     [pDialog] { albumState().iSampleRate = pDialog->sampleRate(); });
    QObject::connect(pDialog, &ExportSettingDialog::sig_fileNameChanged, pDialog,
                     [](const QString &szName) { albumState().szExportFileName = szName; });
    QObject::connect(pDialog, &ExportSettingDialog::sig_fileDirectoryChanged, pDialog,
                     [](const QString &szDir) { albumState().szExportDir = szDir; });
}
