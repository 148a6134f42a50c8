// The known-camera table without the virtual camera selected.

#include "cameravidpid.h"

#include <QRegularExpression>
#include <QtTest>

class tst_CameraVidPid : public QObject
{
    Q_OBJECT
private slots:
    void constructorAndAccessors_data();
    void constructorAndAccessors();
    void setFuncType();
    void tableRowsAreWellFormed();
    void tableFilledOnce();
    void noVirtualRowsWithoutVirtualCamera();
};

void tst_CameraVidPid::constructorAndAccessors_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("vid");
    QTest::addColumn<QString>("pid");
    QTest::newRow("main") << int(CameraVidPid::CameraTypeMain) << "046d" << "082d";
    QTest::newRow("second") << int(CameraVidPid::CameraTypeSecond) << "0000" << "0002";
    QTest::newRow("texts kept as given") << int(CameraVidPid::CameraTypeMain) << "ABC" << "x";
}

void tst_CameraVidPid::constructorAndAccessors()
{
    QFETCH(int, type);
    QFETCH(QString, vid);
    QFETCH(QString, pid);
    const CameraVidPid row(CameraVidPid::_CameraType(type), vid, pid);
    QCOMPARE(int(row.getType()), type);
    QCOMPARE(row.getVid(), vid);
    QCOMPARE(row.getPid(), pid);
    QCOMPARE(int(row.getFuncType()), 2);
}

void tst_CameraVidPid::setFuncType()
{
    CameraVidPid row(CameraVidPid::CameraTypeMain, QStringLiteral("046d"), QStringLiteral("082d"));
    row.setFuncType(CameraVidPid::FuncType1);
    QCOMPARE(int(row.getFuncType()), 1);
    const CameraVidPid copy = row;
    QCOMPARE(int(copy.getFuncType()), 1);
}

void tst_CameraVidPid::tableRowsAreWellFormed()
{
    const QList<CameraVidPid>& table = getCameraVidPidList();
    QVERIFY(!table.isEmpty());
    const QRegularExpression id(QStringLiteral("^[0-9a-f]{4}$"));
    bool seenSecond = false;
    int main = 0;
    for (const CameraVidPid& row : table) {
        QVERIFY2(id.match(row.getVid()).hasMatch(), qPrintable(row.getVid()));
        QVERIFY2(id.match(row.getPid()).hasMatch(), qPrintable(row.getPid()));
        QCOMPARE(int(row.getFuncType()), 2);
        // Main-camera rows come first, then second-camera rows.
        if (row.getType() == CameraVidPid::CameraTypeSecond)
            seenSecond = true;
        else
            QVERIFY(!seenSecond);
        main += row.getType() == CameraVidPid::CameraTypeMain ? 1 : 0;
    }
    QVERIFY(main > 0);
    QVERIFY(seenSecond);
    // No pair of ids twice.
    for (int i = 0; i < table.size(); ++i)
        for (int j = i + 1; j < table.size(); ++j)
            QVERIFY(!(table[i].getVid() == table[j].getVid() && table[i].getPid() == table[j].getPid()));
}

void tst_CameraVidPid::tableFilledOnce()
{
    QList<CameraVidPid>& first = getCameraVidPidList();
    const int size = first.size();
    QList<CameraVidPid>& again = getCameraVidPidList();
    QCOMPARE(&again, &first);
    QCOMPARE(again.size(), size);
    // An explicit init appends the rows once more (it is the filler, not a reset).
    QList<CameraVidPid> saved = first;
    initCameraVidPidList();
    QCOMPARE(getCameraVidPidList().size(), 2 * size);
    first = saved;
}

void tst_CameraVidPid::noVirtualRowsWithoutVirtualCamera()
{
    QVERIFY(qEnvironmentVariableIsEmpty("ORVANE_VIRTUAL_CAMERA"));
    for (const CameraVidPid& row : getCameraVidPidList())
        QVERIFY(row.getVid() != QLatin1String("0000"));
}

QTEST_GUILESS_MAIN(tst_CameraVidPid)
#include "tst_cameravidpid.moc"
