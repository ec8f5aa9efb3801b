#include "editor/VistaloForm.h"

#include "editor/ImageListView.h"
#include "player/CQVideoPlay.h"
#include "ui/CQComboBox.h"
#include "ui/CQUIPushButton.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

template <typename T>
T *named(QWidget *pParent, const char *pszName)
{
    auto *p = new T(pParent);
    p->setObjectName(QLatin1String(pszName));
    return p;
}

QHBoxLayout *row(QWidget *pOwner, int iSpacing = 10)
{
    auto *pLayout = new QHBoxLayout(pOwner);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(iSpacing);
    return pLayout;
}

// The caption of a settings row, all of one width so the controls line up.
QLabel *rowCaption(QWidget *pParent, const char *pszName)
{
    QLabel *pLabel = named<QLabel>(pParent, pszName);
    pLabel->setFixedWidth(128);
    pLabel->setProperty("role", QStringLiteral("caption"));
    return pLabel;
}

// A row of the settings column: a caption and two choices on one line.
QWidget *twoChoiceRow(QWidget *pParent, const char *pszRow, QLabel **ppCaption, const char *pszCaption,
                      QRadioButton **ppFirst, const char *pszFirst, QRadioButton **ppSecond, const char *pszSecond)
{
    auto *pRow = named<QWidget>(pParent, pszRow);
    QHBoxLayout *pLayout = row(pRow, 16);
    *ppCaption = rowCaption(pRow, pszCaption);
    *ppFirst = named<QRadioButton>(pRow, pszFirst);
    *ppSecond = named<QRadioButton>(pRow, pszSecond);
    pLayout->addWidget(*ppCaption);
    pLayout->addWidget(*ppFirst);
    pLayout->addWidget(*ppSecond);
    pLayout->addStretch(1);
    return pRow;
}

// A caption with three choices that do not fit one line beside it: two
// choices on the first line, the third (with what goes with it) on the second.
void twoLineChoices(QWidget *pOwner, QLabel *pCaption, QWidget *pFirst, QWidget *pSecond, QLayout *pThird)
{
    auto *pGrid = new QGridLayout(pOwner);
    pGrid->setContentsMargins(0, 0, 0, 0);
    pGrid->setHorizontalSpacing(16);
    pGrid->setVerticalSpacing(10);
    pGrid->addWidget(pCaption, 0, 0);
    pGrid->addWidget(pFirst, 0, 1);
    pGrid->addWidget(pSecond, 0, 2);
    pGrid->addLayout(pThird, 1, 1, 1, 2);
    pGrid->setColumnStretch(3, 1);
}

} // namespace

void VistaloForm::setupUi(QWidget *pEditor)
{
    if (pEditor->objectName().isEmpty())
        pEditor->setObjectName(QStringLiteral("VistaloClass"));
    auto *pRoot = new QVBoxLayout(pEditor);
    pRoot->setObjectName(QStringLiteral("verticalLayout"));
    pRoot->setContentsMargins(0, 0, 0, 0);
    pRoot->setSpacing(0);
    pRoot->addWidget(buildTopBar(pEditor));

    widget_5 = named<QWidget>(pEditor, "widget_5");
    widget_5->setAttribute(Qt::WA_StyledBackground);
    auto *pMain = row(widget_5, 10);
    pMain->setContentsMargins(10, 8, 10, 8);
    pMain->addWidget(buildSettings(widget_5));
    divPlayer = named<CQVideoPlay>(widget_5, "divPlayer");
    divPlayer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    pMain->addWidget(divPlayer, 1);
    pRoot->addWidget(widget_5, 1);

    pRoot->addWidget(buildMaterialArea(pEditor));
    retranslateUi(pEditor);
}

QWidget *VistaloForm::buildTopBar(QWidget *pParent)
{
    widget = named<QWidget>(pParent, "widget");
    widget->setAttribute(Qt::WA_StyledBackground);
    widget->setMinimumSize(900, 59);
    widget->setFixedHeight(59);
    auto *pLayout = row(widget, 10);
    pLayout->setContentsMargins(20, 0, 20, 0);
    comboVideoRatio = named<CQComboBox>(widget, "comboVideoRatio");
    comboVideoRatio->setFixedSize(114, 34);
    comboVideoRatio->setMaxVisibleItems(6);
    for (int i = 0; i < 7; ++i)
        comboVideoRatio->addItem(QString());
    comboVideoHeight = named<CQComboBox>(widget, "comboVideoHeight");
    comboVideoHeight->setFixedSize(90, 34);
    comboVideoHeight->setMaxVisibleItems(6);
    for (int i = 0; i < 5; ++i)
        comboVideoHeight->addItem(QString());
    btnExport = named<CQUIPushButton>(widget, "btnExport");
    btnExport->setFixedSize(120, 40);
    btnExport->setCursor(Qt::PointingHandCursor);
    pLayout->addWidget(comboVideoRatio);
    pLayout->addWidget(comboVideoHeight);
    pLayout->addStretch(1);
    pLayout->addWidget(btnExport);
    return widget;
}

QWidget *VistaloForm::buildSettings(QWidget *pParent)
{
    widget_9 = named<QWidget>(pParent, "widget_9");
    widget_9->setFixedWidth(408);
    auto *pColumn = new QVBoxLayout(widget_9);
    pColumn->setContentsMargins(0, 0, 0, 0);
    divSetting = named<QScrollArea>(widget_9, "divSetting");
    divSetting->setWidgetResizable(true);
    divSetting->setFrameShape(QFrame::NoFrame);
    divSetting->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    pColumn->addWidget(divSetting);

    auto *pBody = named<QWidget>(divSetting, "uiSettingBody");
    auto *pRows = new QVBoxLayout(pBody);
    pRows->setContentsMargins(16, 12, 16, 12);
    pRows->setSpacing(14);
    divSetting->setWidget(pBody);

    // Title: an accent bar and "setting".
    auto *pTitle = named<QWidget>(pBody, "uiSettingTitle");
    auto *pTitleRow = row(pTitle, 6);
    line = named<QWidget>(pTitle, "line");
    line->setAttribute(Qt::WA_StyledBackground);
    line->setFixedSize(3, 12);
    btnSetting = named<QPushButton>(pTitle, "btnSetting");
    btnSetting->setFlat(true);
    btnSetting->setFocusPolicy(Qt::NoFocus);
    pTitleRow->addWidget(line);
    pTitleRow->addWidget(btnSetting);
    pTitleRow->addStretch(1);
    pRows->addWidget(pTitle);

    auto *pDuration = named<QWidget>(pBody, "uiDurationRow");
    auto *pDurationRow = row(pDuration, 8);
    label = rowCaption(pDuration, "label");
    boxImageDuration = named<QSpinBox>(pDuration, "boxImageDuration");
    boxImageDuration->setFixedSize(60, 34);
    boxImageDuration->setPrefix(QString());
    boxImageDuration->setSuffix(QString());
    boxImageDuration->setRange(-999999999, 999999999);
    boxImageDuration->setValue(1);
    boxImageDuration->setCursor(Qt::PointingHandCursor);
    label_6 = named<QLabel>(pDuration, "label_6");
    pDurationRow->addWidget(label);
    pDurationRow->addWidget(boxImageDuration);
    pDurationRow->addWidget(label_6);
    pDurationRow->addStretch(1);
    pRows->addWidget(pDuration);

    auto *pTransition = named<QWidget>(pBody, "uiTransitionRow");
    auto *pTransitionRow = row(pTransition, 8);
    label_7 = rowCaption(pTransition, "label_7");
    label_5 = named<QLabel>(pTransition, "label_5");
    pTransitionRow->addWidget(label_7);
    pTransitionRow->addWidget(label_5);
    pTransitionRow->addStretch(1);
    pRows->addWidget(pTransition);

    pRows->addWidget(twoChoiceRow(pBody, "uiMotionRow", &labelMotion, "labelMotion", &radioMotionNone,
                                  "radioMotionNone", &radioMotionGentle, "radioMotionGentle"));

    auto *pFraming = named<QWidget>(pBody, "uiFramingRow");
    labelFraming = rowCaption(pFraming, "labelFraming");
    radioFramingFit = named<QRadioButton>(pFraming, "radioFramingFit");
    radioFramingFill = named<QRadioButton>(pFraming, "radioFramingFill");
    radioFramingBlur = named<QRadioButton>(pFraming, "radioFramingBlur");
    auto *pBlurChoice = new QHBoxLayout;
    pBlurChoice->addWidget(radioFramingBlur);
    pBlurChoice->addStretch(1);
    twoLineChoices(pFraming, labelFraming, radioFramingFit, radioFramingFill, pBlurChoice);
    pRows->addWidget(pFraming);

    divBackgroundMusic = named<QWidget>(pBody, "divBackgroundMusic");
    auto *pMusic = new QVBoxLayout(divBackgroundMusic);
    pMusic->setContentsMargins(0, 0, 0, 0);
    pMusic->setSpacing(6);
    auto *pMusicChoice = new QHBoxLayout;
    pMusicChoice->setSpacing(16);
    label_3 = rowCaption(divBackgroundMusic, "label_3");
    radioNoMusic = named<QRadioButton>(divBackgroundMusic, "radioNoMusic");
    ratioCustomMusic = named<QRadioButton>(divBackgroundMusic, "ratioCustomMusic");
    pMusicChoice->addWidget(label_3);
    pMusicChoice->addWidget(radioNoMusic);
    pMusicChoice->addWidget(ratioCustomMusic);
    pMusicChoice->addStretch(1);
    pMusic->addLayout(pMusicChoice);
    divBackgroundOperate = named<QStackedWidget>(divBackgroundMusic, "divBackgroundOperate");
    pageNoMusic = named<QWidget>(divBackgroundOperate, "pageNoMusic");
    pageCustomMusic = named<QWidget>(divBackgroundOperate, "pageCustomMusic");
    auto *pCustom = row(pageCustomMusic, 8);
    pCustom->setContentsMargins(136, 0, 0, 0);
    btnAddBackgroundMusic = named<CQUIPushButton>(pageCustomMusic, "btnAddBackgroundMusic");
    btnAddBackgroundMusic->setFixedSize(24, 24);
    btnAddBackgroundMusic->setCursor(Qt::PointingHandCursor);
    labelBackgroundMusicName = named<QLabel>(pageCustomMusic, "labelBackgroundMusicName");
    labelBackgroundMusicName->setTextFormat(Qt::PlainText);
    pCustom->addWidget(btnAddBackgroundMusic);
    pCustom->addWidget(labelBackgroundMusicName, 1);
    divBackgroundOperate->addWidget(pageNoMusic);
    divBackgroundOperate->addWidget(pageCustomMusic);
    pMusic->addWidget(divBackgroundOperate);
    divBackgroundMusic->setFixedHeight(20);
    pRows->addWidget(divBackgroundMusic);

    divFitToMusic = named<QWidget>(pBody, "divFitToMusic");
    auto *pFitRow = row(divFitToMusic, 8);
    pFitRow->setContentsMargins(136, 0, 0, 0);
    checkFitToMusic = named<QCheckBox>(divFitToMusic, "checkFitToMusic");
    pFitRow->addWidget(checkFitToMusic);
    pFitRow->addStretch(1);
    pRows->addWidget(divFitToMusic);

    pRows->addWidget(twoChoiceRow(pBody, "uiAudioTrackRow", &label_10, "label_10", &radioKeepAudioTrack,
                                  "radioKeepAudioTrack", &radioNotKeepAudioTrack, "radioNotKeepAudioTrack"));

    auto *pWatermark = named<QWidget>(pBody, "uiWatermarkRow");
    label_4 = rowCaption(pWatermark, "label_4");
    radioNoWatermark = named<QRadioButton>(pWatermark, "radioNoWatermark");
    radioTextWatermark = named<QRadioButton>(pWatermark, "radioTextWatermark");
    radioImageWatermark = named<QRadioButton>(pWatermark, "radioImageWatermark");
    btnImageWartermarkHelp = named<CQUIPushButton>(pWatermark, "btnImageWartermarkHelp");
    btnImageWartermarkHelp->setFixedSize(16, 16);
    auto *pImageChoice = new QHBoxLayout;
    pImageChoice->setSpacing(6);
    pImageChoice->addWidget(radioImageWatermark);
    pImageChoice->addWidget(btnImageWartermarkHelp);
    pImageChoice->addStretch(1);
    twoLineChoices(pWatermark, label_4, radioNoWatermark, radioTextWatermark, pImageChoice);
    pRows->addWidget(pWatermark);

    divWatermarkOperate = named<QStackedWidget>(pBody, "divWatermarkOperate");
    divWatermarkOperate->setFixedHeight(34);
    pageTextWatermark = named<QWidget>(divWatermarkOperate, "pageTextWatermark");
    auto *pText = row(pageTextWatermark, 8);
    pText->setContentsMargins(144, 0, 0, 0);
    editWatermarkText = named<QLineEdit>(pageTextWatermark, "editWatermarkText");
    editWatermarkText->setFixedHeight(32);
    btnFontStyle = named<QPushButton>(pageTextWatermark, "btnFontStyle");
    btnFontStyle->setFixedHeight(32);
    btnFontStyle->setCursor(Qt::PointingHandCursor);
    pText->addWidget(editWatermarkText, 1);
    pText->addWidget(btnFontStyle);
    pageImageWatermark = named<QWidget>(divWatermarkOperate, "pageImageWatermark");
    auto *pImage = row(pageImageWatermark, 8);
    pImage->setContentsMargins(144, 0, 0, 0);
    labelImageWatermarkName = named<QLabel>(pageImageWatermark, "labelImageWatermarkName");
    labelImageWatermarkName->setTextFormat(Qt::PlainText);
    btnAddImageWatermark = named<QPushButton>(pageImageWatermark, "btnAddImageWatermark");
    btnAddImageWatermark->setFixedSize(24, 24);
    btnAddImageWatermark->setCursor(Qt::PointingHandCursor);
    pImage->addWidget(labelImageWatermarkName, 1);
    pImage->addWidget(btnAddImageWatermark);
    divWatermarkOperate->addWidget(pageTextWatermark);
    divWatermarkOperate->addWidget(pageImageWatermark);
    pRows->addWidget(divWatermarkOperate);

    divWatermarkPos = named<QWidget>(pBody, "divWatermarkPos");
    auto *pPos = row(divWatermarkPos, 12);
    label_2 = rowCaption(divWatermarkPos, "label_2");
    label_2->setWordWrap(true);
    divWatermarkPosCheck = named<QWidget>(divWatermarkPos, "divWatermarkPosCheck");
    auto *pGrid = new QGridLayout(divWatermarkPosCheck);
    pGrid->setContentsMargins(0, 0, 0, 0);
    pGrid->setSpacing(8);
    QCheckBox **ppChecks[9] = {&checkWatermarkPosLeftTop,    &checkWatermarkPosTop,    &checkWatermarkPosRightTop,
                               &checkWatermarkPosLeft,       &checkWatermarkPosCenter, &checkWatermarkPosRight,
                               &checkWatermarkPosLeftBottom, &checkWatermarkPosBottom, &checkWatermarkPosRightBottom};
    const char *const pszNames[9] = {"checkWatermarkPosLeftTop",    "checkWatermarkPosTop",
                                     "checkWatermarkPosRightTop",   "checkWatermarkPosLeft",
                                     "checkWatermarkPosCenter",     "checkWatermarkPosRight",
                                     "checkWatermarkPosLeftBottom", "checkWatermarkPosBottom",
                                     "checkWatermarkPosRightBottom"};
    for (int i = 0; i < 9; ++i) {
        *ppChecks[i] = named<QCheckBox>(divWatermarkPosCheck, pszNames[i]);
        (*ppChecks[i])->setCursor(Qt::PointingHandCursor);
        pGrid->addWidget(*ppChecks[i], i / 3, i % 3);
    }
    pPos->addWidget(label_2, 0, Qt::AlignTop);
    pPos->addWidget(divWatermarkPosCheck);
    pPos->addStretch(1);
    pRows->addWidget(divWatermarkPos);
    pRows->addStretch(1);
    return widget_9;
}

QWidget *VistaloForm::buildMaterialArea(QWidget *pParent)
{
    divSource = named<QWidget>(pParent, "divSource");
    divSource->setAttribute(Qt::WA_StyledBackground);
    divSource->setFixedHeight(140);
    auto *pLayout = new QVBoxLayout(divSource);
    pLayout->setContentsMargins(16, 4, 16, 6);
    divImageSourceOperate = named<QStackedWidget>(divSource, "divImageSourceOperate");
    pLayout->addWidget(divImageSourceOperate);

    pageAddImage = named<QWidget>(divImageSourceOperate, "pageAddImage");
    pageAddImage->setAttribute(Qt::WA_StyledBackground);
    auto *pAdd = new QVBoxLayout(pageAddImage);
    pAdd->setContentsMargins(0, 8, 0, 4);
    pAdd->setSpacing(10);
    auto *pButtons = new QHBoxLayout;
    pButtons->setSpacing(24);
    btnAddFile = named<QPushButton>(pageAddImage, "btnAddFile");
    btnAddDir = named<QPushButton>(pageAddImage, "btnAddDir");
    for (QPushButton *p : {btnAddFile, btnAddDir}) {
        p->setFixedSize(200, 64);
        p->setIconSize(QSize(24, 24));
        p->setCursor(Qt::PointingHandCursor);
    }
    btnAddFile->setIcon(QIcon(QStringLiteral(":/theme_local/imgs/addFile.png")));
    btnAddDir->setIcon(QIcon(QStringLiteral(":/theme_local/imgs/addFolder.png")));
    pButtons->addStretch(1);
    pButtons->addWidget(btnAddFile);
    pButtons->addWidget(btnAddDir);
    pButtons->addStretch(1);
    pAdd->addStretch(1);
    pAdd->addLayout(pButtons);
    label_8 = named<QLabel>(pageAddImage, "label_8");
    label_8->setAlignment(Qt::AlignCenter);
    label_8->setWordWrap(true);
    pAdd->addWidget(label_8);
    pAdd->addStretch(1);
    divImageSourceOperate->addWidget(pageAddImage);

    pageImageSourcList = named<QWidget>(divImageSourceOperate, "pageImageSourcList");
    auto *pList = new QVBoxLayout(pageImageSourcList);
    pList->setContentsMargins(0, 0, 0, 0);
    pList->setSpacing(0);
    auto *pHeader = new QHBoxLayout;
    pHeader->setSpacing(8);
    label_9 = named<QLabel>(pageImageSourcList, "label_9");
    btnAddFile2 = named<QPushButton>(pageImageSourcList, "btnAddFile2");
    btnAddDir2 = named<QPushButton>(pageImageSourcList, "btnAddDir2");
    btnClear = named<QPushButton>(pageImageSourcList, "btnClear");
    pHeader->addWidget(label_9);
    pHeader->addStretch(1);
    for (QPushButton *p : {btnAddFile2, btnAddDir2, btnClear}) {
        p->setFixedHeight(26);
        p->setCursor(Qt::PointingHandCursor);
        pHeader->addWidget(p);
    }
    pList->addLayout(pHeader);
    pList->addSpacing(4);
    uiBottomLine = named<QWidget>(pageImageSourcList, "uiBottomLine");
    uiBottomLine->setAttribute(Qt::WA_StyledBackground);
    uiBottomLine->setFixedHeight(1);
    uiBottomLine->setStyleSheet(QStringLiteral("#uiBottomLine{background-color: rgb(243, 243, 243);}"));
    pList->addWidget(uiBottomLine);
    imageSourceList = new ImageListView(pageImageSourcList);
    pList->addWidget(imageSourceList);
    divImageSourceOperate->addWidget(pageImageSourcList);
    return divSource;
}

void VistaloForm::retranslateUi(QWidget *pEditor)
{
    pEditor->setWindowTitle(QCoreApplication::translate("VistaloClass", "Vistalo"));
    const QStringList ratios = {QCoreApplication::translate("VistaloClass", "self-adaption(default)"), QStringLiteral("16:9"), QStringLiteral("4:3"),
                                QStringLiteral("2:1"),        QStringLiteral("9:16"), QStringLiteral("3:4"),
                                QStringLiteral("1:1")};
    for (int i = 0; i < ratios.size(); ++i)
        comboVideoRatio->setItemText(i, ratios.at(i));
    const QStringList tiers = {QStringLiteral("480P"), QStringLiteral("720P"), QStringLiteral("1080P"),
                               QStringLiteral("2K"), QStringLiteral("4K")};
    for (int i = 0; i < tiers.size(); ++i)
        comboVideoHeight->setItemText(i, tiers.at(i));
    comboVideoRatio->setAccessibleName(QCoreApplication::translate("VistaloClass", "picture ratio"));
    comboVideoHeight->setAccessibleName(QCoreApplication::translate("VistaloClass", "resolution"));
    btnExport->setText(QCoreApplication::translate("VistaloClass", "export"));
    btnSetting->setText(QCoreApplication::translate("VistaloClass", "setting"));

    label->setText(QCoreApplication::translate("VistaloClass", "image duration"));
    boxImageDuration->setAccessibleName(label->text());
    label_6->setText(QCoreApplication::translate("VistaloClass", "s"));
    label_7->setText(QCoreApplication::translate("VistaloClass", "transition effect"));
    label_5->setText(QCoreApplication::translate("VistaloClass", "random"));
    labelMotion->setText(QCoreApplication::translate("VistaloClass", "motion"));
    radioMotionNone->setText(QCoreApplication::translate("VistaloClass", "none"));
    radioMotionGentle->setText(QCoreApplication::translate("VistaloClass", "gentle"));
    radioMotionNone->setAccessibleName(QCoreApplication::translate("VistaloClass", "motion: none"));
    radioMotionGentle->setAccessibleName(QCoreApplication::translate("VistaloClass", "motion: gentle zoom and pan"));
    labelFraming->setText(QCoreApplication::translate("VistaloClass", "framing"));
    radioFramingFit->setText(QCoreApplication::translate("VistaloClass", "fit"));
    radioFramingFill->setText(QCoreApplication::translate("VistaloClass", "fill"));
    radioFramingBlur->setText(QCoreApplication::translate("VistaloClass", "blurred backdrop"));
    radioFramingFit->setAccessibleName(QCoreApplication::translate("VistaloClass", "framing: fit, with bars"));
    radioFramingFill->setAccessibleName(QCoreApplication::translate("VistaloClass", "framing: fill the frame"));
    radioFramingBlur->setAccessibleName(QCoreApplication::translate("VistaloClass", "framing: blurred backdrop"));
    label_3->setText(QCoreApplication::translate("VistaloClass", "background music"));
    radioNoMusic->setText(QCoreApplication::translate("VistaloClass", "none"));
    ratioCustomMusic->setText(QCoreApplication::translate("VistaloClass", "custom"));
    btnAddBackgroundMusic->setAccessibleName(QCoreApplication::translate("VistaloClass", "Select background music file"));
    btnAddBackgroundMusic->setToolTip(btnAddBackgroundMusic->accessibleName());
    labelBackgroundMusicName->setText(QCoreApplication::translate("VistaloClass", "Please select background music file"));
    checkFitToMusic->setText(QCoreApplication::translate("VistaloClass", "Fit to music"));
    checkFitToMusic->setAccessibleName(QCoreApplication::translate("VistaloClass", "Fit the image duration to the music"));
    label_10->setText(QCoreApplication::translate("VistaloClass", "audio track of video"));
    radioKeepAudioTrack->setText(QCoreApplication::translate("VistaloClass", "keep"));
    radioNotKeepAudioTrack->setText(QCoreApplication::translate("VistaloClass", "do not keep"));
    label_4->setText(QCoreApplication::translate("VistaloClass", "watermark"));
    radioNoWatermark->setText(QCoreApplication::translate("VistaloClass", "none"));
    radioTextWatermark->setText(QCoreApplication::translate("VistaloClass", "text watermark"));
    radioImageWatermark->setText(QCoreApplication::translate("VistaloClass", "image watermark"));
    btnImageWartermarkHelp->setAccessibleName(QCoreApplication::translate("VistaloClass", "Image watermark help"));
    editWatermarkText->setPlaceholderText(QCoreApplication::translate("VistaloClass", "Please enter the watermark content"));
    editWatermarkText->setAccessibleName(QCoreApplication::translate("VistaloClass", "watermark content"));
    btnFontStyle->setText(QCoreApplication::translate("VistaloClass", "font"));
    labelImageWatermarkName->setText(QCoreApplication::translate("VistaloClass", "Please select image watermark"));
    btnAddImageWatermark->setAccessibleName(QCoreApplication::translate("VistaloClass", "Select image watermark"));
    btnAddImageWatermark->setToolTip(btnAddImageWatermark->accessibleName());
    label_2->setText(QCoreApplication::translate("VistaloClass", "select watermark position"));
    const QList<QPair<QCheckBox *, QString>> positions = {
        {checkWatermarkPosLeftTop, QCoreApplication::translate("VistaloClass", "top left")},       {checkWatermarkPosTop, QCoreApplication::translate("VistaloClass", "top")},
        {checkWatermarkPosRightTop, QCoreApplication::translate("VistaloClass", "top right")},     {checkWatermarkPosLeft, QCoreApplication::translate("VistaloClass", "left")},
        {checkWatermarkPosCenter, QCoreApplication::translate("VistaloClass", "center")},          {checkWatermarkPosRight, QCoreApplication::translate("VistaloClass", "right")},
        {checkWatermarkPosLeftBottom, QCoreApplication::translate("VistaloClass", "bottom left")}, {checkWatermarkPosBottom, QCoreApplication::translate("VistaloClass", "bottom")},
        {checkWatermarkPosRightBottom, QCoreApplication::translate("VistaloClass", "bottom right")}};
    for (const auto &position : positions) {
        position.first->setAccessibleName(position.second);
        position.first->setToolTip(position.second);
    }
    divPlayer->setAccessibleName(QCoreApplication::translate("VistaloClass", "preview player"));

    btnAddFile->setText(QCoreApplication::translate("VistaloClass", "click to add files"));
    btnAddDir->setText(QCoreApplication::translate("VistaloClass", "click to add folder"));
    label_8->setText(QCoreApplication::translate("VistaloClass", "Supports image in .jpeg /.png formats, as well as video in .mp4 /.avi /.wmv /.mkv /.m4v "
                        "formats"));
    label_9->setText(QCoreApplication::translate("VistaloClass", "Materials"));
    btnAddFile2->setText(QCoreApplication::translate("VistaloClass", "Add Files"));
    btnAddDir2->setText(QCoreApplication::translate("VistaloClass", "Add Folders"));
    btnClear->setText(QCoreApplication::translate("VistaloClass", "Clear"));
    imageSourceList->setAccessibleName(label_9->text());
}
