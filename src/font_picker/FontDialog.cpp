#include "font_picker/FontDialog.h"

#include "font_picker/FontListView.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFontInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStyle>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int kMinPointSize = 1;
constexpr int kMaxPointSize = 512;
constexpr double kPointsPerPixel = 0.75;

// "Family [Foundry]" as the font database lists families of several foundries.
struct FamilyName
{
    QString szFamily;
    QString szFoundry;
};

FamilyName splitFamily(const QString &szName)
{
    const int iOpen = szName.indexOf(QLatin1Char('['));
    const int iClose = szName.lastIndexOf(QLatin1Char(']'));
    if (iOpen < 0 || iClose < iOpen)
        return {szName.trimmed(), QString()};
    return {szName.left(iOpen).trimmed(), szName.mid(iOpen + 1, iClose - iOpen - 1).trimmed()};
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

QString withoutMnemonic(QString szText)
{
    szText.remove(QRegularExpression(QStringLiteral("\\(&.\\)")));
    return szText.remove(QLatin1Char('&'));
}

} // namespace

int watermarkPixelSize(const QFont &stFont, int iFallback)
{
    double lfPoints = stFont.pointSizeF();
    if (lfPoints <= 0) {
        if (stFont.pixelSize() > 0)
            return stFont.pixelSize();
        lfPoints = QFontInfo(stFont).pointSizeF();
    }
    return lfPoints > 0 ? static_cast<int>(lfPoints / kPointsPerPixel) : iFallback;
}

int watermarkPointSize(const QFont &stFont)
{
    if (stFont.pointSize() > 0)
        return stFont.pointSize();
    // The smallest whole point size that truncates back to this pixel size,
    // whatever the screen's density: opening and confirming never resizes.
    if (stFont.pixelSize() > 0)
        return static_cast<int>(std::ceil(stFont.pixelSize() * kPointsPerPixel));
    return QFontInfo(stFont).pointSize();
}

FontDialog::FontDialog(QWidget *pParent)
    : QDialog(pParent, Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint | Qt::WindowTitleHint)
{
    setObjectName(QStringLiteral("FontDialog"));
    setSizeGripEnabled(true);
    resize(566, 474);

    auto *pGrid = new QGridLayout(this);
    m_pFamilyLabel = new QLabel(this);
    m_pStyleLabel = new QLabel(this);
    m_pSizeLabel = new QLabel(this);
    m_pFamilyEdit = new QLineEdit(this);
    m_pStyleEdit = new QLineEdit(this);
    m_pSizeEdit = new QLineEdit(this);
    m_pFamilyList = new FontListView(this);
    m_pStyleList = new FontListView(this);
    m_pSizeList = new FontListView(this);
    m_pFamilyEdit->setObjectName(QStringLiteral("familyEdit"));
    m_pStyleEdit->setObjectName(QStringLiteral("styleEdit"));
    m_pSizeEdit->setObjectName(QStringLiteral("sizeEdit"));
    m_pFamilyList->setObjectName(QStringLiteral("familyList"));
    m_pStyleList->setObjectName(QStringLiteral("styleList"));
    m_pSizeList->setObjectName(QStringLiteral("sizeList"));
    int iColumn = 0;
    for (QLabel *pLabel : {m_pFamilyLabel, m_pStyleLabel, m_pSizeLabel}) {
        pLabel->setIndent(2);
        pGrid->addWidget(pLabel, 0, iColumn);
        iColumn += 2;
    }
    m_pFamilyLabel->setBuddy(m_pFamilyList);
    m_pStyleLabel->setBuddy(m_pStyleList);
    m_pSizeLabel->setBuddy(m_pSizeEdit);
    m_pFamilyEdit->setReadOnly(true);
    m_pStyleEdit->setReadOnly(true);
    m_pFamilyEdit->setFocusProxy(m_pFamilyList);
    m_pStyleEdit->setFocusProxy(m_pStyleList);
    m_pSizeEdit->setValidator(new QIntValidator(kMinPointSize, kMaxPointSize, m_pSizeEdit));
    m_pSizeEdit->setFocusPolicy(Qt::ClickFocus);
    pGrid->addWidget(m_pFamilyEdit, 1, 0);
    pGrid->addWidget(m_pStyleEdit, 1, 2);
    pGrid->addWidget(m_pSizeEdit, 1, 4);
    pGrid->addWidget(m_pFamilyList, 2, 0);
    pGrid->addWidget(m_pStyleList, 2, 2);
    pGrid->addWidget(m_pSizeList, 2, 4);
    pGrid->setColumnStretch(0, 38);
    pGrid->setColumnStretch(2, 24);
    pGrid->setColumnStretch(4, 10);
    const int iSpacing = pGrid->spacing();
    if (iSpacing >= 0) {
        pGrid->setSpacing(0);
        pGrid->setColumnMinimumWidth(1, iSpacing);
        pGrid->setColumnMinimumWidth(3, iSpacing);
        int iLeft = 0, iTop = 0, iRight = 0, iBottom = 0;
        pGrid->getContentsMargins(&iLeft, &iTop, &iRight, &iBottom);
        pGrid->setRowMinimumHeight(3, iBottom);
        pGrid->setRowMinimumHeight(8, iBottom);
        pGrid->setRowMinimumHeight(6, 2);
    }

    // Effects, transparency and colour.
    m_pEffects = new QGroupBox(this);
    auto *pEffectsLayout = new QVBoxLayout(m_pEffects);
    m_pStrikeOut = new QCheckBox(m_pEffects);
    m_pUnderline = new QCheckBox(m_pEffects);
    pEffectsLayout->addWidget(m_pStrikeOut);
    pEffectsLayout->addWidget(m_pUnderline);
    auto *pTransparencyRow = new QHBoxLayout;
    m_pTransparencyLabel = new QLabel(m_pEffects);
    m_pTransparency = new QSpinBox(m_pEffects);
    m_pTransparency->setObjectName(QStringLiteral("transparencyBox"));
    m_pTransparency->setRange(0, 100);
    m_pTransparency->setValue(0);
    m_pTransparency->setMaximumWidth(50);
    m_pTransparencyLabel->setBuddy(m_pTransparency);
    pTransparencyRow->addWidget(m_pTransparencyLabel);
    pTransparencyRow->addSpacing(20);
    pTransparencyRow->addWidget(m_pTransparency);
    pTransparencyRow->addSpacing(5);
    pTransparencyRow->addWidget(new QLabel(QStringLiteral("%"), m_pEffects));
    pTransparencyRow->addStretch();
    pEffectsLayout->addLayout(pTransparencyRow);
    m_pColorLabel = new QLabel(m_pEffects);
    m_pSwatch = new QPushButton(m_pEffects);
    m_pSwatch->setObjectName(QStringLiteral("colorSwatch"));
    m_pSwatch->setFixedSize(64, 22);
    m_pSwatch->setCursor(Qt::PointingHandCursor);
    m_pColorLabel->setBuddy(m_pSwatch);
    pEffectsLayout->addWidget(m_pColorLabel);
    pEffectsLayout->addWidget(m_pSwatch);
    pGrid->addWidget(m_pEffects, 4, 0);

    m_pSampleGroup = new QGroupBox(this);
    auto *pSampleLayout = new QHBoxLayout(m_pSampleGroup);
    m_pSample = new QLineEdit(m_pSampleGroup);
    m_pSample->setObjectName(QStringLiteral("qt_fontDialog_sampleEdit"));
    m_pSample->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    m_pSample->setAlignment(Qt::AlignCenter);
    m_pSample->setEnabled(false);
    m_szSampleText = QStringLiteral("AaBbYyZz");
    m_pSample->setText(m_szSampleText);
    pSampleLayout->addWidget(m_pSample);
    pGrid->addWidget(m_pSampleGroup, 4, 2, 4, 3);

    m_pWritingSystemLabel = new QLabel(this);
    m_pWritingSystem = new QComboBox(this);
    m_pWritingSystemLabel->setBuddy(m_pWritingSystem);
    pGrid->addWidget(m_pWritingSystemLabel, 5, 0);
    pGrid->addWidget(m_pWritingSystem, 7, 0);

    m_pButtons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    m_pButtons->button(QDialogButtonBox::Ok)->setDefault(true);
    pGrid->addWidget(m_pButtons, 9, 0, 1, 5);

    connect(m_pWritingSystem, QOverload<int>::of(&QComboBox::activated), this, &FontDialog::writingSystemActivated);
    connect(m_pFamilyList, &FontListView::highlighted, this, &FontDialog::familyHighlighted);
    connect(m_pStyleList, &FontListView::highlighted, this, &FontDialog::styleHighlighted);
    connect(m_pSizeList, &FontListView::highlighted, this, &FontDialog::sizeHighlighted);
    connect(m_pSizeEdit, &QLineEdit::textChanged, this, &FontDialog::sizeTyped);
    connect(m_pStrikeOut, &QCheckBox::clicked, this, &FontDialog::updateSample);
    connect(m_pUnderline, &QCheckBox::clicked, this, &FontDialog::updateSample);
    connect(m_pTransparency, QOverload<int>::of(&QSpinBox::valueChanged), this, &FontDialog::transparencyChanged);
    connect(m_pSwatch, &QPushButton::clicked, this, &FontDialog::chooseColor);
    connect(m_pButtons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_pButtons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    for (int i = 0; i < QFontDatabase::WritingSystemsCount; ++i) {
        const QString szName = QFontDatabase::writingSystemName(static_cast<QFontDatabase::WritingSystem>(i));
        if (szName.isEmpty())
            break;
        m_pWritingSystem->addItem(szName);
    }
    listFamilies();
    if (m_pFamilyList->count() > 0) {
        m_pFamilyList->setCurrentItem(0);
        m_pSizeList->setCurrentItem(0);
    }
    for (QObject *pWatched : std::initializer_list<QObject *>{m_pSizeEdit, m_pFamilyList, m_pStyleList, m_pSizeList,
                                                              m_pSizeList->viewport()})
        pWatched->installEventFilter(this);
    m_pFamilyList->setFocus();
    retranslate();
    m_pWritingSystemLabel->hide();
    m_pWritingSystem->hide();
    setCurrentColor(Qt::black);
}

void FontDialog::retranslate()
{
    setWindowTitle(tr("Select Font"));
    m_pFamilyLabel->setText(tr("&Font"));
    m_pStyleLabel->setText(tr("Font st&yle"));
    m_pSizeLabel->setText(tr("&Size"));
    m_pEffects->setTitle(tr("Effects"));
    m_pStrikeOut->setText(tr("Stri&keout"));
    m_pUnderline->setText(tr("&Underline"));
    m_pTransparencyLabel->setText(tr("Transparency"));
    m_pColorLabel->setText(tr("Color"));
    m_pSampleGroup->setTitle(tr("Sample"));
    m_pWritingSystemLabel->setText(tr("Wr&iting System"));
    m_pButtons->button(QDialogButtonBox::Ok)->setText(tr("OK"));
    m_pButtons->button(QDialogButtonBox::Cancel)->setText(tr("Cancel"));
    // Controls without a label of their own still need names.
    m_pFamilyEdit->setAccessibleName(withoutMnemonic(m_pFamilyLabel->text()));
    m_pStyleEdit->setAccessibleName(withoutMnemonic(m_pStyleLabel->text()));
    m_pSample->setAccessibleName(m_pSampleGroup->title());
    m_pSwatch->setAccessibleName(m_pColorLabel->text());
    m_pSwatch->setToolTip(m_pColorLabel->text());
}

void FontDialog::changeEvent(QEvent *pEvent)
{
    if (pEvent->type() == QEvent::LanguageChange)
        retranslate();
    QDialog::changeEvent(pEvent);
}

QFont FontDialog::currentFont() const
{
    return m_pSample->font();
}

void FontDialog::setCurrentFont(const QFont &stFont)
{
    m_szFamily = stFont.family();
    m_szStyle = m_fontDatabase.styleString(stFont);
    const int iSize = watermarkPointSize(stFont);
    if (iSize >= kMinPointSize)
        m_iSize = std::min(iSize, kMaxPointSize);
    m_pStrikeOut->setChecked(stFont.strikeOut());
    m_pUnderline->setChecked(stFont.underline());
    listFamilies();
}

void FontDialog::setOptions(FontDialogOptions eOptions)
{
    if (eOptions == m_eOptions)
        return;
    m_eOptions = eOptions;
    m_pButtons->setVisible(!(eOptions & NoButtons));
    // The family filters take effect at once, not at the next listing.
    listFamilies();
}

bool FontDialog::selectsAssociatedText() const
{
    return style()->styleHint(QStyle::SH_FontDialog_SelectAssociatedText, nullptr, this) != 0;
}

void FontDialog::showInEdit(QLineEdit *pEdit, const QString &szText, const FontListView *pList)
{
    pEdit->setText(szText);
    if (selectsAssociatedText() && pList->hasFocus())
        pEdit->selectAll();
}

void FontDialog::listFamilies()
{
    const bool bScalableOnly = (m_eOptions & ScalableFonts) && !(m_eOptions & NonScalableFonts);
    const bool bNonScalableOnly = (m_eOptions & NonScalableFonts) && !(m_eOptions & ScalableFonts);
    const bool bMonospacedOnly = (m_eOptions & MonospacedFonts) && !(m_eOptions & ProportionalFonts);
    const bool bProportionalOnly = (m_eOptions & ProportionalFonts) && !(m_eOptions & MonospacedFonts);
    QStringList listFamilies;
    const auto eSystem = static_cast<QFontDatabase::WritingSystem>(m_iWritingSystem);
    for (const QString &szName : m_fontDatabase.families(eSystem)) {
        if (m_fontDatabase.isPrivateFamily(szName))
            continue;
        if ((bScalableOnly && !m_fontDatabase.isSmoothlyScalable(szName))
            || (bNonScalableOnly && m_fontDatabase.isSmoothlyScalable(szName)))
            continue;
        if ((bMonospacedOnly && !m_fontDatabase.isFixedPitch(szName))
            || (bProportionalOnly && m_fontDatabase.isFixedPitch(szName)))
            continue;
        listFamilies << szName;
    }
    {
        const QSignalBlocker blocker(m_pFamilyList);
        m_pFamilyList->setItems(listFamilies);
    }

    // The wanted family, or a family the system puts in its place (a
    // Windows family name is listed under the font that stands in for it).
    QList<FamilyName> listWanted{splitFamily(m_szFamily)};
    for (const QString &szSubstitute : QFont::substitutes(listWanted.first().szFamily))
        listWanted << FamilyName{szSubstitute, QString()};
    int iRow = -1;
    for (const FamilyName &stWanted : listWanted) {
        for (int i = 0; i < listFamilies.size(); ++i) {
            const FamilyName stListed = splitFamily(listFamilies.at(i));
            if (!sameName(stListed.szFamily, stWanted.szFamily))
                continue;
            if (sameName(stListed.szFoundry, stWanted.szFoundry)) {
                iRow = i;
                break;
            }
            if (iRow < 0)
                iRow = i;
        }
        if (iRow >= 0)
            break;
    }
    if (iRow < 0) {
        // Fallbacks: the application's family, else helvetica; of equals the later.
        const QString szDefault = QApplication::font().family();
        int iStanding = 0;
        for (int i = 0; i < listFamilies.size(); ++i) {
            const QString szListed = splitFamily(listFamilies.at(i)).szFamily;
            if (sameName(szListed, szDefault) && iStanding <= 2) {
                iRow = i;
                iStanding = 2;
            } else if (sameName(szListed, QStringLiteral("helvetica")) && iStanding <= 1) {
                iRow = i;
                iStanding = 1;
            }
        }
    }
    if (iRow < 0 && !listFamilies.isEmpty())
        iRow = 0;
    if (iRow >= 0) {
        const QSignalBlocker blocker(m_pFamilyList);
        m_pFamilyList->setCurrentItem(iRow);
        m_szFamily = listFamilies.at(iRow);
        showInEdit(m_pFamilyEdit, m_szFamily, m_pFamilyList);
    } else {
        m_pFamilyEdit->clear();
    }
    rebuildStyles();
}

void FontDialog::familyHighlighted(int iRow)
{
    m_szFamily = m_pFamilyList->text(iRow);
    showInEdit(m_pFamilyEdit, m_szFamily, m_pFamilyList);
    rebuildStyles();
}

void FontDialog::rebuildStyles()
{
    const QStringList listStyles = m_fontDatabase.styles(m_szFamily);
    {
        const QSignalBlocker blocker(m_pStyleList);
        m_pStyleList->setItems(listStyles);
    }
    if (listStyles.isEmpty()) {
        m_pStyleEdit->clear();
        m_bSmoothlyScalable = false;
    } else {
        int iRow = listStyles.indexOf(m_szStyle);
        if (iRow < 0) {
            QString szOther = m_szStyle;
            if (szOther.contains(QLatin1String("Italic")))
                szOther.replace(QLatin1String("Italic"), QLatin1String("Oblique"));
            else
                szOther.replace(QLatin1String("Oblique"), QLatin1String("Italic"));
            iRow = listStyles.indexOf(szOther);
        }
        iRow = std::max(iRow, 0);
        {
            const QSignalBlocker blocker(m_pStyleList);
            m_pStyleList->setCurrentItem(iRow);
        }
        m_szStyle = listStyles.at(iRow);
        showInEdit(m_pStyleEdit, m_szStyle, m_pStyleList);
        m_bSmoothlyScalable = m_fontDatabase.isSmoothlyScalable(m_szFamily, m_szStyle);
    }
    rebuildSizes();
}

void FontDialog::styleHighlighted(int iRow)
{
    m_szStyle = m_pStyleList->text(iRow);
    showInEdit(m_pStyleEdit, m_szStyle, m_pStyleList);
    rebuildSizes();
}

void FontDialog::rebuildSizes()
{
    if (m_pFamilyList->currentText().isEmpty()) {
        const QSignalBlocker blocker(m_pSizeEdit);
        m_pSizeEdit->clear();
        return;
    }
    const QList<int> listSizes = m_fontDatabase.pointSizes(m_szFamily, m_szStyle);
    QStringList listTexts;
    for (int iSize : listSizes)
        listTexts << QString::number(iSize);
    int iRow = listSizes.indexOf(m_iSize);
    // A bitmap font offers only its own sizes; no size yet takes the first.
    if (iRow < 0 && (!m_bSmoothlyScalable || m_iSize <= 0) && !listSizes.isEmpty()) {
        iRow = 0;
        m_iSize = listSizes.first();
    }
    {
        const QSignalBlocker blocker(m_pSizeList);
        m_pSizeList->setItems(listTexts);
        if (iRow >= 0)
            m_pSizeList->setCurrentItem(iRow);
    }
    {
        const QSignalBlocker blocker(m_pSizeEdit);
        m_pSizeEdit->setText(m_iSize > 0 ? QString::number(m_iSize) : m_pSizeList->currentText());
    }
    updateSample();
}

void FontDialog::sizeHighlighted(int iRow)
{
    const QString szText = m_pSizeList->text(iRow);
    {
        const QSignalBlocker blocker(m_pSizeEdit);
        showInEdit(m_pSizeEdit, szText, m_pSizeList);
    }
    m_iSize = szText.toInt();
    updateSample();
}

void FontDialog::sizeTyped(const QString &szText)
{
    bool bOk = false;
    const int iSize = szText.toInt(&bOk);
    // While the box is empty or holds no valid size the last valid size stays.
    if (!bOk || iSize < kMinPointSize || iSize > kMaxPointSize || iSize == m_iSize)
        return;
    m_iSize = iSize;
    int iRow = m_pSizeList->count() - 1;
    for (int i = 0; i < m_pSizeList->count(); ++i) {
        if (m_pSizeList->text(i).toInt() >= iSize) {
            iRow = i;
            break;
        }
    }
    {
        const QSignalBlocker blocker(m_pSizeList);
        if (iRow >= 0 && m_pSizeList->text(iRow).toInt() == iSize) {
            m_pSizeList->setCurrentItem(iRow);
        } else {
            m_pSizeList->selectionModel()->clear();
            if (iRow >= 0)
                m_pSizeList->scrollTo(m_pSizeList->model()->index(iRow, 0));
        }
    }
    updateSample();
}

void FontDialog::writingSystemActivated(int iIndex)
{
    m_iWritingSystem = iIndex;
    m_szSampleText = m_fontDatabase.writingSystemSample(static_cast<QFontDatabase::WritingSystem>(iIndex));
    m_pSample->setText(m_szSampleText);
    listFamilies();
}

void FontDialog::updateSample()
{
    if (m_iSize <= 0)
        return;
    QFont stFont = m_fontDatabase.font(m_szFamily, m_szStyle, m_iSize);
    stFont.setStrikeOut(m_pStrikeOut->isChecked());
    stFont.setUnderline(m_pUnderline->isChecked());
    m_pSample->setText(m_pFamilyList->currentText().isEmpty() ? QString() : m_szSampleText);
    if (stFont == m_pSample->font())
        return;
    m_pSample->setFont(stFont);
    paintSampleText();
    Q_EMIT currentFontChanged(stFont);
}

int FontDialog::transparencyPercent() const
{
    return qBound(0, m_pTransparency->value(), 100);
}

double FontDialog::currentTransparency() const
{
    return transparencyPercent() / 100.0;
}

void FontDialog::setCurrentTransparency(double lfTransparency)
{
    if (!std::isfinite(lfTransparency))
        lfTransparency = 0.0;
    m_pTransparency->setValue(qRound(qBound(0.0, lfTransparency, 1.0) * 100.0));
}

void FontDialog::transparencyChanged(int iValue)
{
    paintSampleText();
    Q_EMIT currentTransparencyChanged(iValue / 100.0);
}

void FontDialog::paintSampleText()
{
    QColor stColor = m_stCurrentColor;
    stColor.setAlphaF(1.0 - transparencyPercent() / 100.0);
    QPalette stPalette = m_pSample->palette();
    for (QPalette::ColorGroup eGroup : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        stPalette.setColor(eGroup, QPalette::Text, stColor);
    m_pSample->setPalette(stPalette);
}

void FontDialog::setCurrentColor(const QColor &stColor)
{
    if (!stColor.isValid())
        return;
    m_pSwatch->setStyleSheet(QStringLiteral("border: none;background-color: %1").arg(stColor.name()));
    m_stCurrentColor = stColor;
    m_stCurrentColor.setAlpha(255);
    paintSampleText();
    Q_EMIT currentColorChanged(stColor);
}

void FontDialog::chooseColor()
{
    auto *pChooser = new QColorDialog(this);
    pChooser->setOption(QColorDialog::DontUseNativeDialog);
    for (QPushButton *pButton : pChooser->findChildren<QPushButton *>()) {
        if (pButton->text() == QLatin1String("&Pick Screen Color"))
            pButton->setText(tr("&Pick Screen Color"));
    }
    for (QDialogButtonBox *pBox : pChooser->findChildren<QDialogButtonBox *>()) {
        for (QAbstractButton *pButton : pBox->buttons()) {
            if (pButton->text() == QLatin1String("OK"))
                pButton->setText(tr("OK"));
            else if (pButton->text() == QLatin1String("Cancel"))
                pButton->setText(tr("Cancel"));
        }
    }
    // Black would start the chooser at the dark end, where nothing can be seen.
    const bool bStartWhite = !m_stCurrentColor.isValid() || m_stCurrentColor == QColor(Qt::black);
    pChooser->setCurrentColor(bStartWhite ? QColor(Qt::white) : m_stCurrentColor);
    if (pChooser->exec() == QDialog::Accepted)
        setCurrentColor(pChooser->selectedColor());
    pChooser->deleteLater();
}

bool FontDialog::eventFilter(QObject *pWatched, QEvent *pEvent)
{
    if (pEvent->type() == QEvent::KeyPress) {
        const int iKey = static_cast<QKeyEvent *>(pEvent)->key();
        if (pWatched == m_pSizeEdit
            && (iKey == Qt::Key_Up || iKey == Qt::Key_Down || iKey == Qt::Key_PageUp || iKey == Qt::Key_PageDown)) {
            const int iBefore = m_pSizeList->currentItem();
            QCoreApplication::sendEvent(m_pSizeList, pEvent);
            if (iBefore != m_pSizeList->currentItem() && selectsAssociatedText())
                m_pSizeEdit->selectAll();
            return true;
        }
        if ((pWatched == m_pFamilyList || pWatched == m_pStyleList)
            && (iKey == Qt::Key_Return || iKey == Qt::Key_Enter)) {
            accept();
            return true;
        }
    } else if (pEvent->type() == QEvent::FocusIn && selectsAssociatedText()) {
        if (pWatched == m_pFamilyList)
            m_pFamilyEdit->selectAll();
        else if (pWatched == m_pStyleList)
            m_pStyleEdit->selectAll();
        else if (pWatched == m_pSizeList)
            m_pSizeEdit->selectAll();
    } else if (pEvent->type() == QEvent::MouseButtonPress && pWatched == m_pSizeList->viewport()) {
        m_pSizeEdit->setFocus(Qt::MouseFocusReason);
    }
    return QDialog::eventFilter(pWatched, pEvent);
}

void FontDialog::done(int iResult)
{
    if (iResult == QDialog::Accepted) {
        const QFont stFont = currentFont();
        if (stFont != m_stSelectedFont)
            Q_EMIT currentFontChanged(stFont);
        m_stSelectedFont = stFont;
        m_stSelectedColor = m_stCurrentColor;
        m_lfSelectedTransparency = currentTransparency();
        Q_EMIT fontSelected(m_stSelectedFont);
        Q_EMIT colorSelected(m_stSelectedColor);
        Q_EMIT transparencySelected(m_lfSelectedTransparency);
    } else {
        m_stSelectedFont = QFont();
    }
    QDialog::done(iResult);
}
