#include "app/AppStartUp.h"
#include "common/ModalTestSupport.h"
#include "font_picker/FontDialog.h"
#include "font_picker/FontListView.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QtTest>

namespace {

// Runs fnWhileOpen on the next modal window once it shows, then closes it.
void onNextModal(const std::function<void(QWidget *)> &fnWhileOpen)
{
    testsupport::whenModalUp<QWidget>([fnWhileOpen](QWidget *pModal) {
        fnWhileOpen(pModal);
        if (auto *pDialog = qobject_cast<QDialog *>(pModal); pDialog && pDialog->isVisible())
            pDialog->reject();
    });
}

} // namespace

class TestFontDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { registerFontSubstitutions(); }

    void transparencyIsWholePercentAndSurvivesRoundTrips()
    {
        FontDialog dialog;
        auto *pBox = dialog.findChild<QSpinBox *>("transparencyBox");
        auto *pSample = dialog.findChild<QLineEdit *>("qt_fontDialog_sampleEdit");
        QSignalSpy spy(&dialog, &FontDialog::currentTransparencyChanged);
        dialog.setCurrentTransparency(0.3);
        QCOMPARE(pBox->value(), 30);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.first().first().toDouble(), 0.3);
        QCOMPARE(pSample->palette().color(QPalette::Disabled, QPalette::Text).alpha(), qRound(0.7 * 255));
        dialog.accept();
        QCOMPARE(dialog.selectedTransparency(), 0.3);

        dialog.setCurrentTransparency(1.7);
        QCOMPARE(pBox->value(), 100);
        dialog.setCurrentTransparency(-0.2);
        QCOMPARE(pBox->value(), 0);
        dialog.setCurrentTransparency(qQNaN());
        QCOMPARE(pBox->value(), 0);
        // What the panel stores is what the next opening shows, any number of times.
        for (double lfValue : {0.29, 0.57, 0.58, 0.01, 0.99}) {
            double lfStored = lfValue;
            for (int i = 0; i < 5; ++i) {
                FontDialog again;
                again.setCurrentTransparency(lfStored);
                again.accept();
                lfStored = again.selectedTransparency();
            }
            QCOMPARE(lfStored, lfValue);
        }
    }

    void typedSizeRulesTheSample()
    {
        FontDialog dialog;
        dialog.setCurrentFont(QFont(QStringLiteral("DejaVu Sans"), 12));
        auto *pSizeEdit = dialog.findChild<QLineEdit *>("sizeEdit");
        auto *pSizes = dialog.findChild<FontListView *>("sizeList");
        QCOMPARE(pSizeEdit->text(), QStringLiteral("12"));
        QCOMPARE(pSizes->currentText(), QStringLiteral("12"));
        pSizeEdit->clear();
        QTest::keyClicks(pSizeEdit, "23");
        QVERIFY(pSizes->selectionModel()->selectedIndexes().isEmpty());
        QCOMPARE(dialog.currentFont().pointSize(), 23);
        // Emptied or zero: the last valid size stays, never a silent 12.
        pSizeEdit->clear();
        QCOMPARE(dialog.currentFont().pointSize(), 23);
        QTest::keyClicks(pSizeEdit, "0");
        QCOMPARE(dialog.currentFont().pointSize(), 23);
        dialog.accept();
        QCOMPARE(dialog.selectedFont().pointSize(), 23);
        pSizeEdit->setText(QStringLiteral("14"));
        QCOMPARE(pSizes->selectionModel()->selectedIndexes().value(0).data().toString(), QStringLiteral("14"));
        // Up and Down in the size box walk the list.
        QTest::keyClick(pSizeEdit, Qt::Key_Down);
        QCOMPARE(dialog.currentFont().pointSize(), 16);
    }

    void pixelFontsKeepTheirSize()
    {
        QFont stWatermark(QStringLiteral("Microsoft YaHei UI"));
        for (int iPixels : {24, 30, 33, 48, 60, 126}) {
            stWatermark.setPixelSize(iPixels);
            FontDialog dialog;
            dialog.setCurrentFont(stWatermark);
            // The Windows family is shown as the font standing in for it.
            QCOMPARE(dialog.findChild<QLineEdit *>("familyEdit")->text(), QStringLiteral("WenQuanYi Micro Hei"));
            dialog.accept();
            QCOMPARE(watermarkPixelSize(dialog.selectedFont(), -7), iPixels); // every size points can give
        }
        QCOMPARE(watermarkPixelSize(stWatermark, -7), 126); // pixel font: point size -1
        QVERIFY(stWatermark.pointSize() == -1);
    }

    void styleNamesAndColours()
    {
        FontDialog dialog;
        QFont stItalic(QStringLiteral("DejaVu Sans"), 20);
        stItalic.setItalic(true);
        dialog.setCurrentFont(stItalic);
        QVERIFY(dialog.findChild<QLineEdit *>("styleEdit")->text().contains(QLatin1String("Oblique")));
        QVERIFY(dialog.currentFont().italic());

        QSignalSpy colours(&dialog, &FontDialog::currentColorChanged);
        dialog.setCurrentColor(QColor());
        QCOMPARE(colours.count(), 0);
        QCOMPARE(dialog.currentColor(), QColor(Qt::black));
        QColor stOpened;
        onNextModal([&](QWidget *pModal) { stOpened = qobject_cast<QColorDialog *>(pModal)->currentColor(); });
        QTest::mouseClick(dialog.findChild<QPushButton *>("colorSwatch"), Qt::LeftButton);
        QCOMPARE(stOpened, QColor(Qt::white));
        QCOMPARE(dialog.currentColor(), QColor(Qt::black));
        onNextModal([](QWidget *pModal) {
            auto *pChooser = qobject_cast<QColorDialog *>(pModal);
            QCOMPARE(pChooser->currentColor(), QColor(Qt::white));
            pChooser->setCurrentColor(QColor(200, 40, 40));
            pChooser->accept();
        });
        QTest::mouseClick(dialog.findChild<QPushButton *>("colorSwatch"), Qt::LeftButton);
        QCOMPARE(dialog.currentColor(), QColor(200, 40, 40));
        QCOMPARE(colours.last().first().value<QColor>(), QColor(200, 40, 40));
        QCOMPARE(dialog.findChild<QPushButton *>("colorSwatch")->styleSheet(),
                 QStringLiteral("border: none;background-color: #c82828"));
        // Translucent colours are stored opaque; transparency is its own setting.
        dialog.setCurrentColor(QColor(0, 0, 255, 10));
        QCOMPARE(dialog.currentColor().alpha(), 255);
    }

    void confirmingReportsInOrder()
    {
        FontDialog dialog;
        dialog.setCurrentFont(QFont(QStringLiteral("DejaVu Sans"), 18));
        dialog.setCurrentColor(QColor(Qt::red));
        dialog.setCurrentTransparency(0.5);
        QStringList listOrder;
        connect(&dialog, &FontDialog::fontSelected, this, [&] { listOrder << "font"; });
        connect(&dialog, &FontDialog::colorSelected, this, [&] { listOrder << "colour"; });
        connect(&dialog, &FontDialog::transparencySelected, this, [&] { listOrder << "transparency"; });
        dialog.setOptions(FontDialog::NoButtons);
        QVERIFY(!dialog.findChild<QDialogButtonBox *>()->isVisibleTo(&dialog));
        QSignalSpy finished(&dialog, &QDialog::accepted);
        QTest::keyClick(dialog.findChild<FontListView *>("familyList"), Qt::Key_Return);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(listOrder, QStringList({"font", "colour", "transparency"}));
        QCOMPARE(dialog.selectedFont().family(), QStringLiteral("DejaVu Sans"));
        QCOMPARE(dialog.selectedFont().pointSize(), 18);
        QCOMPARE(dialog.selectedColor(), QColor(Qt::red));
        dialog.reject();
        QCOMPARE(dialog.selectedFont(), QFont());
        QCOMPARE(dialog.selectedColor(), QColor(Qt::red));
    }
};

QTEST_MAIN(TestFontDialog)
#include "tst_fontdialog.moc"
