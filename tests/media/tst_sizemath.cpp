#include "media/ffmpeg/SizeMath.h"

#include <QtTest>

class TestSizeMath : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fitSizeKeepsAspectAndEvenSides_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<QSize>("box");
        QTest::addColumn<QSize>("expected");
        QTest::newRow("square into 16:9") << QSize(1000, 1000) << QSize(1920, 1080) << QSize(1080, 1080);
        QTest::newRow("odd width made even") << QSize(1921, 1081) << QSize(1920, 1080) << QSize(1918, 1080);
        QTest::newRow("thumbnail") << QSize(1920, 1080) << QSize(120, 80) << QSize(120, 66);
        QTest::newRow("portrait photo") << QSize(3000, 4000) << QSize(1920, 1080) << QSize(810, 1080);
        QTest::newRow("rotated 1080p clip") << QSize(1080, 1920) << QSize(1920, 1080) << QSize(606, 1080);
        QTest::newRow("upscale") << QSize(320, 240) << QSize(1920, 1080) << QSize(1440, 1080);
        QTest::newRow("zero source") << QSize(0, 0) << QSize(1920, 1080) << QSize(0, 0);
    }
    void fitSizeKeepsAspectAndEvenSides()
    {
        QFETCH(QSize, source);
        QFETCH(QSize, box);
        QFETCH(QSize, expected);
        QCOMPARE(fitSize(source.width(), source.height(), box.width(), box.height()), expected);
    }

    void longerSideAndDivision()
    {
        QCOMPARE(fitLongerSide(4000, 3000, 2200), QSize(2200, 1650));
        QCOMPARE(fitLongerSide(2200, 1650, 1600), QSize(1600, 1200));
        QCOMPARE(fitLongerSide(3000, 4000, 1080), QSize(810, 1080));
        QCOMPARE(fitLongerSide(1000, 1000, 480), QSize(480, 480));
        QCOMPARE(divideSize(1920, 1080, 4), QSize(480, 270));
        QCOMPARE(divideSize(1920, 1080, 6), QSize(320, 180));
        QCOMPARE(divideSize(608, 1080, 4), QSize(152, 270));
    }

    void ratioSizes()
    {
        QCOMPARE(evenSizeFromRatio(1080, 16, 9), QSize(1920, 1080));
        QCOMPARE(evenSizeFromRatio(1080, 9, 16), QSize(608, 1080));
        QCOMPARE(evenSizeFromRatio(1081, 4, 3), QSize(1440, 1080));
        QCOMPARE(evenSizeFromRatio(720, 3, 4), QSize(540, 720));
        const AVRational st = reduceRatio(4000, 3000);
        QCOMPARE(st.num, 4);
        QCOMPARE(st.den, 3);
        QCOMPARE(evenFloor(7.9), 6);
        QCOMPARE(evenFloor(8.2), 8);
    }
};

QTEST_MAIN(TestSizeMath)
#include "tst_sizemath.moc"
