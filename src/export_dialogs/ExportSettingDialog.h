#pragma once

#include "ui/CQDialogEx.h"

#include <QString>
#include <QStringList>

#include <cstdint>

class CQComboBox;
class CQUIPushButton;
class QLabel;
class QLineEdit;
class QPushButton;

// Where the user picks the container, frame rate, bit rates, sample rate,
// file name and folder of an export. Every change is reported at once by a
// signal; "export" with a valid name emits sig_exportRequest, after which
// the owner asks confirmTarget() what to do. Frameless, not modal, deleted
// when closed.
class ExportSettingDialog : public CQDialogEx
{
    Q_OBJECT
public:
    // What confirmTarget() came to.
    enum class TargetDecision {
        Export,     // the target is free: export
        ExportOver, // the user agreed to overwrite the file there
        Renamed,    // a free numbered name was put in; the dialog shows again
        Refused,    // nothing to do (the reason was shown)
    };

    explicit ExportSettingDialog(QWidget *pParent = nullptr);

    // Export folder, native separators.
    QString fileDirectory() const { return m_szDirectory; }
    // Last accepted file name (no trailing spaces; may be empty).
    QString fileName() const { return m_szFileName; }

    // The chosen values, from the entries' data (never from their texts).
    QString exportFormat() const;   // "MP4", "AVI", ...
    int frameRate() const;          // frames per second
    int64_t videoBitRate() const;   // bit/s; 0: the encoder's own choice
    int64_t audioBitRate() const;   // bit/s; 0: the encoder's own choice
    int64_t sampleRate() const;     // Hz
    // The same entries as shown (for the usage statistics).
    QString frameRateText() const;
    QString videoBitRateText() const;
    QString audioBitRateText() const;
    QString sampleRateText() const;
    // The file the export would write.
    QString targetPath() const;

    void setAudioSettingsEnabled(bool bEnabled);
    // A red notice over the dialog for 2 s.
    void showToast(const QString &szText);

    // Decides about the target after sig_exportRequest: checks the folder
    // and the path; asks whether to overwrite a regular file there and
    // proposes a numbered name when the user declines, or at once when the
    // name belongs to a folder or to a file the album reads (listInputs).
    TargetDecision confirmTarget(const QStringList &listInputs);

Q_SIGNALS:
    void sig_exportFormatChanged(QString szFormat);
    void sig_frameRateChanged(QString szFrameRate);
    void sig_videoBitRateChanged(QString szBitRate);
    void sig_audioBitRateChanged(QString szBitRate);
    void sig_sampleRateChanged(QString szSampleRate);
    void sig_fileNameChanged(QString szFileName);
    void sig_fileDirectoryChanged(QString szDir);
    void sig_exportRequest();

protected Q_SLOTS:
    void uiChangeFileName(QString szText);

public Q_SLOTS:
    void changeFileDirectory();
    void changeFileDirectory(QString szDir);
    // Puts the text into the name field, which accepts it as typed text.
    void changeFileName(QString szText);
    void startExport();
    void editTextFinish();
    void startEditText();

protected:
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;

private:
    void buildForm();
    void fillOptions();
    void translateTexts();
    void setEditing(bool bEditing);
    // Shows a free numbered name in place of the current one.
    TargetDecision proposeNumberedName();

    QString m_szDirectory;
    QString m_szFileName;
    bool m_bEditing = false;

    QLabel *m_pTitle = nullptr;
    QPushButton *m_pClose = nullptr;
    QLabel *m_pFormatLabel = nullptr;
    CQComboBox *m_pFormat = nullptr;
    QWidget *m_pVideoPanel = nullptr;
    QLabel *m_pVideoTitle = nullptr;
    QLabel *m_pFrameRateLabel = nullptr;
    CQComboBox *m_pFrameRate = nullptr;
    QLabel *m_pVideoBitRateLabel = nullptr;
    CQComboBox *m_pVideoBitRate = nullptr;
    QWidget *m_pAudioPanel = nullptr;
    QLabel *m_pAudioTitle = nullptr;
    QLabel *m_pAudioBitRateLabel = nullptr;
    CQComboBox *m_pAudioBitRate = nullptr;
    QLabel *m_pSampleRateLabel = nullptr;
    CQComboBox *m_pSampleRate = nullptr;
    QLabel *m_pFileNameLabel = nullptr;
    QLineEdit *m_pFileName = nullptr;
    QPushButton *m_pEditFileName = nullptr;
    QLabel *m_pDirLabel = nullptr;
    QLabel *m_pFileDir = nullptr;
    QPushButton *m_pChangeFileDir = nullptr;
    CQUIPushButton *m_pExport = nullptr;
};

// Keeps the album's export fields in step with an open dialog: sets
// bExportAudio, copies the folder and the values and 2 audio channels into
// the album, and connects the change signals so that each writes its field
// (GIF and M4V carry no sound: the audio panel greys out).
void bindExportSettingsToAlbum(ExportSettingDialog *pDialog);
