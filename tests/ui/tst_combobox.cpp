#include "ui/CQComboBox.h"
#include "ui/CQComboBoxListView.h"

#include <QApplication>
#include <QtTest>

namespace {

const char *const kStyle =
    "CQComboBox{qproperty-effectEnabled: false; qproperty-spacingBetweenBoxAndListView: 4;}"
    "CQComboBoxListView{qproperty-itemHeight: 32; qproperty-itemBorderWidth: 0; qproperty-itemBorderRadius: 4;"
    " qproperty-selectionBackgroudColor: #EEEEEF; qproperty-selectionColor: #333333;"
    " qproperty-checkedIconPosition: LeftPosition; qproperty-itemContentLeftPadding: 37;"
    " qproperty-itemTextElideMode: ElideRight; qproperty-itemTextAlignment: AlignVCenter;"
    " qproperty-separatorOccupyHeight: 9; qproperty-separatorWidth: 60; qproperty-separatorHeight: 1;"
    " qproperty-checkedIcon: url(:/theme_local/imgs/comboboxCheck.png);}";

void fill(QComboBox &combo, bool bSeparator = true)
{
    combo.addItems({QStringLiteral("16:9"), QStringLiteral("4:3"), QStringLiteral("1:1")});
    if (bSeparator)
        combo.insertSeparator(1);
    combo.setCurrentIndex(bSeparator ? 2 : 0);
    combo.setGeometry(100, 100, 114, 34);
    combo.show();
}

int popupTop(QComboBox &combo)
{
    combo.showPopup();
    QWidget *pPopup = combo.view()->window();
    if (!QTest::qWaitForWindowExposed(pPopup))
        return -1;
    const int iTop = pPopup->geometry().top();
    combo.hidePopup();
    return iTop;
}

bool isAccent(QRgb rgb)
{
    return qBlue(rgb) > 180 && qRed(rgb) < 170 && qGreen(rgb) < 150;
}

} // namespace

class TestComboBox : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void styleSheetShapesTheList()
    {
        CQComboBox combo;
        combo.setStyleSheet(QLatin1String(kStyle));
        fill(combo);
        combo.showPopup();
        CQComboBoxListView *pView = combo.listView();
        QTRY_VERIFY(pView->isVisible());
        QCOMPARE(pView->checkedIconPosition(), CQComboBoxItemDelegate::LeftPosition);
        QCOMPARE(pView->itemTextElideMode(), Qt::ElideRight);
        QVERIFY(!pView->checkedIcon().isNull());
        QCOMPARE(pView->visualRect(combo.model()->index(0, 0)).height(), 32);
        QCOMPARE(pView->visualRect(combo.model()->index(1, 0)).height(), 9); // the separator
        QCOMPARE(pView->visualRect(combo.model()->index(3, 0)).height(), 32);

        // The current row (4:3) carries the accent check mark at x = 8, no other row does.
        const QImage image = pView->viewport()->grab().toImage();
        const qreal lfRatio = image.devicePixelRatio();
        auto accentIn = [&](const QRect &stRow, int iFrom, int iTo) {
            for (int y = stRow.top(); y <= stRow.bottom(); ++y)
                for (int x = iFrom; x < iTo; ++x)
                    if (isAccent(image.pixel(QPoint(x, y) * lfRatio)))
                        return true;
            return false;
        };
        const QRect stCurrent = pView->visualRect(combo.model()->index(2, 0));
        QVERIFY(accentIn(stCurrent, 8, 8 + combo.iconSize().width()));
        QVERIFY(!accentIn(stCurrent, 0, 7));
        QVERIFY(!accentIn(pView->visualRect(combo.model()->index(0, 0)), 0, pView->viewport()->width()));
        combo.hidePopup();
    }

    void popupOpensLowerAndLeavesTheAnimationSetting()
    {
        QApplication::setEffectEnabled(Qt::UI_General, true);
        QApplication::setEffectEnabled(Qt::UI_AnimateCombo, true);
        QComboBox plain;
        fill(plain, false);
        CQComboBox combo;
        combo.setStyleSheet(QLatin1String(kStyle));
        fill(combo, false);
        combo.listView()->setItemHeight(-1); // rows as tall as the plain box's
        QCOMPARE(popupTop(combo) - popupTop(plain), 4);
        QVERIFY(QApplication::isEffectEnabled(Qt::UI_AnimateCombo));
        QApplication::setEffectEnabled(Qt::UI_AnimateCombo, false);
        combo.setEffectEnabled(true);
        popupTop(combo);
        QVERIFY(!QApplication::isEffectEnabled(Qt::UI_AnimateCombo));
    }
};

QTEST_MAIN(TestComboBox)
#include "tst_combobox.moc"
