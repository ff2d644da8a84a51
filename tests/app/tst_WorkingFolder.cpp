#include "app/WorkingFolder.h"

#include <QStandardPaths>
#include <QtTest>

// The folder for "config.ini", "User.bin" and "crash.dmp": the program's
// folder when files can be made there, the user's data folder otherwise.
class tst_WorkingFolder : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void choosesFolder_data();
    void choosesFolder();
    void probeLeavesNothingBehind();

private:
    QTemporaryDir dir;
    QString sDataDir;
};

void tst_WorkingFolder::initTestCase()
{
    QVERIFY(dir.isValid());
    // The data folder of the test mode lives in a private place (~/.qttest).
    QStandardPaths::setTestModeEnabled(true);
    sDataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QVERIFY(!sDataDir.isEmpty());
    QDir(sDataDir).removeRecursively();
}

void tst_WorkingFolder::choosesFolder_data()
{
    QTest::addColumn<QString>("sProgramDir");
    QTest::addColumn<bool>("bProgramDir");
    QTest::newRow("writable program folder") << dir.path() << true;
    QTest::newRow("program folder gone") << dir.filePath("gone") << false;
    // No file can be created in /proc, not even by root: it stands for a
    // read-only installation folder whatever user runs the test.
    QTest::newRow("read-only program folder") << QStringLiteral("/proc") << false;
    QTest::newRow("a file, not a folder") << QStringLiteral("/proc/self/status") << false;
}

void tst_WorkingFolder::choosesFolder()
{
    QFETCH(QString, sProgramDir);
    QFETCH(bool, bProgramDir);
    const QString sChosen = ChooseWorkingFolder(sProgramDir);
    QCOMPARE(sChosen, bProgramDir ? sProgramDir : sDataDir);
    // Whichever it is, the files can be written there.
    QVERIFY(CanCreateFilesIn(sChosen));
}

void tst_WorkingFolder::probeLeavesNothingBehind()
{
    QTemporaryDir empty;
    QVERIFY(CanCreateFilesIn(empty.path()));
    QVERIFY(QDir(empty.path())
                .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                .isEmpty());
}

QTEST_GUILESS_MAIN(tst_WorkingFolder)
#include "tst_WorkingFolder.moc"
