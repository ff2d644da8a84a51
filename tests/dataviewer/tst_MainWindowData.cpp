// The data pages as the main window holds them.
#include "dataviewer/DataList.h"
#include "dataviewer/DataManage.h"
#include "dataviewer/RecordWriter.h"
#include "update/MainWindow.h"

#include <QAbstractButton>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

class tst_MainWindowData : public QObject
{
    Q_OBJECT
private slots:
    void pagesAndHiddenButton();
    void configShowsTheButton_data();
    void configShowsTheButton();
    void manageShowsTheDiskRecords();
};

void tst_MainWindowData::pagesAndHiddenButton()
{
    MainWindow window;
    window.show();
    auto *pButton = window.findChild<QAbstractButton *>("btnManage");
    QVERIFY(pButton);
    QVERIFY(pButton->isHidden());

    auto *pStack = window.findChild<QStackedWidget *>("stackedWidget");
    QVERIFY(pStack);
    int nManage = 0;
    int nList = 0;
    for (int i = 0; i < pStack->count(); ++i) {
        nManage += qobject_cast<DataManage *>(pStack->widget(i)) ? 1 : 0;
        nList += qobject_cast<DataList *>(pStack->widget(i)) ? 1 : 0;
    }
    QCOMPARE(nManage, 1);
    QCOMPARE(nList, 1);
}

void tst_MainWindowData::configShowsTheButton_data()
{
    QTest::addColumn<QByteArray>("baConfig");
    QTest::addColumn<bool>("bShown");
    QTest::newRow("no file") << QByteArray() << false;
    QTest::newRow("not named") << QByteArray("[config]\nlanguage=0\n") << false;
    QTest::newRow("true") << QByteArray("[config]\ndatapages=true\n") << true;
    QTest::newRow("false") << QByteArray("[config]\ndatapages=false\n") << false;
    QTest::newRow("other section") << QByteArray("[other]\ndatapages=true\n") << false;
}

// "config.ini" beside the program decides whether the data pages can be reached.
void tst_MainWindowData::configShowsTheButton()
{
    QFETCH(QByteArray, baConfig);
    QFETCH(bool, bShown);
    QTemporaryDir folder;
    const QString sOld = QDir::currentPath();
    QVERIFY(QDir::setCurrent(folder.path()));
    if (!baConfig.isEmpty()) {
        QFile file("config.ini");
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(baConfig);
    }
    auto window = std::make_unique<MainWindow>();
    QDir::setCurrent(sOld);
    window->show();
    auto *pButton = window->findChild<QAbstractButton *>("btnManage");
    QVERIFY(pButton);
    QCOMPARE(pButton->isVisible(), bShown);
    if (!bShown)
        return;
    QTest::mouseClick(pButton, Qt::LeftButton);
    auto *pStack = window->findChild<QStackedWidget *>("stackedWidget");
    QVERIFY(qobject_cast<DataManage *>(pStack->currentWidget()));
}

void tst_MainWindowData::manageShowsTheDiskRecords()
{
    QTemporaryDir disk;
    QVERIFY(RecordWriter::WriteFile(disk.filePath("SaveData/DTC/a.dat"), "abc"));
    QVERIFY(RecordWriter::WriteFile(disk.filePath("SaveData/DTC/b.dat"), "abc"));

    MainWindow window;
    window.sCurDisk = disk.path();
    window.show();
    auto *pStack = window.findChild<QStackedWidget *>("stackedWidget");
    window.on_btnManage_clicked();
    auto *pManage = qobject_cast<DataManage *>(pStack->currentWidget());
    QVERIFY(pManage);
    auto *pTable = pManage->findChild<QWidget *>("page")->findChild<QTableWidget *>("tbDataList");
    QCOMPARE(pTable->rowCount(), 2);

    // Deleting reports back to the window, which refreshes its disk state.
    QSignalSpy spy(pManage, &DataManage::DeleteFinish);
    pTable->item(0, 0)->setCheckState(Qt::Checked);
    QTest::mouseClick(pManage->findChild<QPushButton *>("btnDelete"), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QVERIFY(!QFile::exists(disk.filePath("SaveData/DTC/a.dat")));

    // Without a device disk the page is empty.
    window.sCurDisk.clear();
    window.on_btnManage_clicked();
    QCOMPARE(pTable->rowCount(), 0);
}

QTEST_MAIN(tst_MainWindowData)
#include "tst_MainWindowData.moc"
