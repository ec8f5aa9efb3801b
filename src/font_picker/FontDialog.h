#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QFontDatabase>

class FontListView;
class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// The font, colour and transparency chooser of the text watermark: the
// classic family / style / size lists with strike-out, underline and a live
// sample, plus a colour swatch and a transparency percentage that the sample
// shows too. Load it with setCurrentFont, setCurrentColor and
// setCurrentTransparency, run it, and read the selected values after OK.
class FontDialog : public QDialog
{
    Q_OBJECT
    Q_PROPERTY(QFont currentFont READ currentFont WRITE setCurrentFont NOTIFY currentFontChanged)
    Q_PROPERTY(FontDialogOptions options READ options WRITE setOptions)
    Q_PROPERTY(QColor currentColor READ currentColor WRITE setCurrentColor NOTIFY currentColorChanged)
    Q_PROPERTY(double currentTransparency READ currentTransparency WRITE setCurrentTransparency
                   NOTIFY currentTransparencyChanged)
public:
    enum FontDialogOption {
        NoButtons = 0x1,
        DontUseNativeDialog = 0x2,
        ScalableFonts = 0x4,
        NonScalableFonts = 0x8,
        MonospacedFonts = 0x10,
        ProportionalFonts = 0x20,
    };
    Q_ENUM(FontDialogOption)
    Q_DECLARE_FLAGS(FontDialogOptions, FontDialogOption)
    Q_FLAG(FontDialogOptions)

    explicit FontDialog(QWidget *pParent = nullptr);

    // The sample's font.
    QFont currentFont() const;
    void setCurrentFont(const QFont &stFont);
    FontDialogOptions options() const { return m_eOptions; }
    void setOptions(FontDialogOptions eOptions);
    QColor currentColor() const { return m_stCurrentColor; }
    // An invalid colour changes nothing.
    void setCurrentColor(const QColor &stColor);
    // 0..1, in whole percent.
    double currentTransparency() const;
    // Rounded to the nearest percent and clamped to 0..100, so that a value
    // read back and set again never drifts.
    void setCurrentTransparency(double lfTransparency);

    // Results of the last OK.
    QFont selectedFont() const { return m_stSelectedFont; }
    QColor selectedColor() const { return m_stSelectedColor; }
    double selectedTransparency() const { return m_lfSelectedTransparency; }

    void done(int iResult) override;

Q_SIGNALS:
    void currentFontChanged(QFont stFont);
    void fontSelected(QFont stFont);
    void currentColorChanged(QColor stColor);
    void colorSelected(QColor stColor);
    void currentTransparencyChanged(double lfTransparency);
    void transparencySelected(double lfTransparency);

protected:
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override;
    void changeEvent(QEvent *pEvent) override;

private:
    void retranslate();
    void listFamilies();
    void familyHighlighted(int iRow);
    void rebuildStyles();
    void styleHighlighted(int iRow);
    void rebuildSizes();
    void sizeHighlighted(int iRow);
    void sizeTyped(const QString &szText);
    void writingSystemActivated(int iIndex);
    void updateSample();
    void transparencyChanged(int iValue);
    void chooseColor();
    int transparencyPercent() const;
    void paintSampleText();
    void showInEdit(QLineEdit *pEdit, const QString &szText, const FontListView *pList);
    bool selectsAssociatedText() const;

    FontDialogOptions m_eOptions;
    QFontDatabase m_fontDatabase;
    QFont m_stSelectedFont;
    int m_iSize = 0;                      // points; the last valid size
    QColor m_stCurrentColor;              // always opaque
    QColor m_stSelectedColor;
    QString m_szFamily;
    QString m_szStyle;
    double m_lfSelectedTransparency = 0.0;
    bool m_bSmoothlyScalable = false;
    int m_iWritingSystem = 0;
    QString m_szSampleText;

    QLabel *m_pFamilyLabel = nullptr;
    QLabel *m_pStyleLabel = nullptr;
    QLabel *m_pSizeLabel = nullptr;
    QLineEdit *m_pFamilyEdit = nullptr;
    QLineEdit *m_pStyleEdit = nullptr;
    QLineEdit *m_pSizeEdit = nullptr;
    FontListView *m_pFamilyList = nullptr;
    FontListView *m_pStyleList = nullptr;
    FontListView *m_pSizeList = nullptr;
    QGroupBox *m_pEffects = nullptr;
    QCheckBox *m_pStrikeOut = nullptr;
    QCheckBox *m_pUnderline = nullptr;
    QLabel *m_pTransparencyLabel = nullptr;
    QSpinBox *m_pTransparency = nullptr;
    QLabel *m_pColorLabel = nullptr;
    QPushButton *m_pSwatch = nullptr;
    QGroupBox *m_pSampleGroup = nullptr;
    QLineEdit *m_pSample = nullptr;
    QLabel *m_pWritingSystemLabel = nullptr;
    QComboBox *m_pWritingSystem = nullptr;
    QDialogButtonBox *m_pButtons = nullptr;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(FontDialog::FontDialogOptions)

// The watermark keeps its font in pixels, the dialog works in points; a
// pixel is 0.75 point. Pixel size for a font chosen in points (truncated);
// iFallback when the font gives no usable size.
int watermarkPixelSize(const QFont &stFont, int iFallback);
// The point size that gives back stFont's pixel size through
// watermarkPixelSize; the font's own point size when it has one.
int watermarkPointSize(const QFont &stFont);
