#pragma once

// The editor's form: every widget of the window, named as the style sheets,
// the tests and the other parts of the editor know them. Built in code;
// members carry the widgets' object names.
//
//   widget            top bar: comboVideoRatio, comboVideoHeight, btnExport
//   widget_5          main row: widget_9 (settings column, divSetting) and divPlayer
//   divSource         material area: divImageSourceOperate with pageAddImage
//                     (btnAddFile, btnAddDir, label_8) and pageImageSourcList
//                     (label_9, btnAddFile2, btnAddDir2, btnClear, uiBottomLine,
//                     imageSourceList)

class CQComboBox;
class CQVideoPlay;
class CQUIPushButton;
class ImageListView;
class QCheckBox;
class QFrame;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSpinBox;
class QStackedWidget;
class QWidget;

class VistaloForm
{
public:
    void setupUi(QWidget *pEditor);
    void retranslateUi(QWidget *pEditor);

    // Top bar.
    QWidget *widget = nullptr;
    CQComboBox *comboVideoRatio = nullptr;
    CQComboBox *comboVideoHeight = nullptr;
    CQUIPushButton *btnExport = nullptr;

    // Main row: settings column and player.
    QWidget *widget_5 = nullptr;
    QWidget *widget_9 = nullptr;
    QScrollArea *divSetting = nullptr;
    QWidget *line = nullptr;
    QPushButton *btnSetting = nullptr;

    QLabel *label = nullptr;                    // image duration
    QSpinBox *boxImageDuration = nullptr;
    QLabel *label_6 = nullptr;                  // "s"
    QLabel *label_7 = nullptr;                  // transition effect
    QLabel *label_5 = nullptr;                  // "random"

    QLabel *labelMotion = nullptr;
    QRadioButton *radioMotionNone = nullptr;
    QRadioButton *radioMotionGentle = nullptr;
    QLabel *labelFraming = nullptr;
    QRadioButton *radioFramingFit = nullptr;
    QRadioButton *radioFramingFill = nullptr;
    QRadioButton *radioFramingBlur = nullptr;

    QWidget *divBackgroundMusic = nullptr;
    QLabel *label_3 = nullptr;
    QRadioButton *radioNoMusic = nullptr;
    QRadioButton *ratioCustomMusic = nullptr;
    QStackedWidget *divBackgroundOperate = nullptr;
    QWidget *pageNoMusic = nullptr;
    QWidget *pageCustomMusic = nullptr;
    CQUIPushButton *btnAddBackgroundMusic = nullptr;
    QLabel *labelBackgroundMusicName = nullptr;
    QWidget *divFitToMusic = nullptr;           // shown with custom music
    QCheckBox *checkFitToMusic = nullptr;

    QLabel *label_10 = nullptr;                 // audio track of video
    QRadioButton *radioKeepAudioTrack = nullptr;
    QRadioButton *radioNotKeepAudioTrack = nullptr;

    QLabel *label_4 = nullptr;                  // watermark
    QRadioButton *radioNoWatermark = nullptr;
    QRadioButton *radioTextWatermark = nullptr;
    QRadioButton *radioImageWatermark = nullptr;
    CQUIPushButton *btnImageWartermarkHelp = nullptr;
    QStackedWidget *divWatermarkOperate = nullptr;
    QWidget *pageTextWatermark = nullptr;
    QLineEdit *editWatermarkText = nullptr;
    QPushButton *btnFontStyle = nullptr;
    QWidget *pageImageWatermark = nullptr;
    QLabel *labelImageWatermarkName = nullptr;
    QPushButton *btnAddImageWatermark = nullptr;

    QWidget *divWatermarkPos = nullptr;
    QLabel *label_2 = nullptr;
    QWidget *divWatermarkPosCheck = nullptr;
    QCheckBox *checkWatermarkPosLeftTop = nullptr;
    QCheckBox *checkWatermarkPosTop = nullptr;
    QCheckBox *checkWatermarkPosRightTop = nullptr;
    QCheckBox *checkWatermarkPosLeft = nullptr;
    QCheckBox *checkWatermarkPosCenter = nullptr;
    QCheckBox *checkWatermarkPosRight = nullptr;
    QCheckBox *checkWatermarkPosLeftBottom = nullptr;
    QCheckBox *checkWatermarkPosBottom = nullptr;
    QCheckBox *checkWatermarkPosRightBottom = nullptr;

    // The preview player panel.
    CQVideoPlay *divPlayer = nullptr;

    // Material area.
    QWidget *divSource = nullptr;
    QStackedWidget *divImageSourceOperate = nullptr;
    QWidget *pageAddImage = nullptr;
    QPushButton *btnAddFile = nullptr;
    QPushButton *btnAddDir = nullptr;
    QLabel *label_8 = nullptr;
    QWidget *pageImageSourcList = nullptr;
    QLabel *label_9 = nullptr;
    QPushButton *btnAddFile2 = nullptr;
    QPushButton *btnAddDir2 = nullptr;
    QPushButton *btnClear = nullptr;
    QWidget *uiBottomLine = nullptr;
    ImageListView *imageSourceList = nullptr;

private:
    QWidget *buildTopBar(QWidget *pParent);
    QWidget *buildSettings(QWidget *pParent);
    QWidget *buildMaterialArea(QWidget *pParent);
};
