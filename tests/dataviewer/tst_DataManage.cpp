#include "dataviewer/DataList.h"
#include "dataviewer/DataManage.h"
#include "dataviewer/RecordWriter.h"
#include "dataviewer/Report.h"
#include "device/DeviceDisks.h"
#include "widgets/KXButtonDelegate.h"
#include "widgets/PromptDlg.h"

#include "TestWidgets.h"

#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

class tst_DataManage : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void listsCategoriesInOrderAndFilesByName();
    void rowContents();
    void sizeText_data();
    void sizeText();
    void noDiskNoRows();
    void deleteWithNothingChecked();
    void deleteChecked();
    void headerChecksAndClearsAll();
    void refreshClearsHeader();
    void reportButtonOpensByCategory_data();
    void reportButtonOpensByCategory();
    void titlesFollowLanguage();
    void recordThatCannotBeOpened_data();
    void recordThatCannotBeOpened();
    void damagedStreamOpensWithItsFrames();
    void longStreamIsCutAndSaysSo_data();
    void longStreamIsCutAndSaysSo();
    void stoppingALongRead();

private:
    QString MakeFile(const QString &sRelative, const QByteArray &baData = "x");
    // A data-stream record of one item and nFrames frames of 15 bytes each
    // (length field, payload, unread bytes); a broken frame does not parse.
    QString MakeStream(const QString &sName, int nFrames, bool bBroken = false);
    QStringList Names() const;
    void ClickHeaderBox();

    QTemporaryDir *pDisk = nullptr;
    DataManage *pManage = nullptr;
    QTableWidget *tbList = nullptr;
};

void tst_DataManage::init()
{
    pDisk = new QTemporaryDir;
    pManage = new DataManage;
    pManage->SetDiskSource([this] { return pDisk->path(); });
    pManage->resize(730, 489);
    pManage->show();
    // The owned data list page has a table of the same name.
    tbList = pManage->findChild<QWidget *>("page")->findChild<QTableWidget *>("tbDataList");
    QVERIFY(tbList);
}

void tst_DataManage::cleanup()
{
    delete pManage;
    delete pDisk;
}

QString tst_DataManage::MakeFile(const QString &sRelative, const QByteArray &baData)
{
    const QString sPath = pDisk->filePath("SaveData/" + sRelative);
    if (!RecordWriter::WriteFile(sPath, baData))
        qFatal("cannot write %s", qPrintable(sPath));
    return sPath;
}

QStringList tst_DataManage::Names() const
{
    QStringList sl;
    for (int nRow = 0; nRow < tbList->rowCount(); ++nRow)
        sl << tbList->item(nRow, 0)->text();
    return sl;
}

void tst_DataManage::ClickHeaderBox()
{
    QHeaderView *pHeader = tbList->horizontalHeader();
    QTest::mouseClick(pHeader->viewport(), Qt::LeftButton, {},
                      QPoint(pHeader->sectionPosition(0) + 10, pHeader->height() / 2));
}

void tst_DataManage::listsCategoriesInOrderAndFilesByName()
{
    MakeFile("VehicleVersion/v");
    MakeFile("DTC/b");
    MakeFile("DTC/A");
    MakeFile("DTC/.hidden");
    MakeFile("DTC/sub/inner");
    MakeFile("loose");
    MakeFile("DataStreams/z");
    MakeFile("SystemData/s");
    MakeFile("FreezeFrame/f");
    MakeFile("Other/o");
    pManage->Refresh();
    QCOMPARE(Names(), (QStringList{"z", "A", "b", "f", "s", "v"}));
    QStringList slTitles;
    for (int nRow = 0; nRow < tbList->rowCount(); ++nRow)
        slTitles << tbList->item(nRow, 1)->text();
    QCOMPARE(slTitles,
             (QStringList{"数据流", "故障码", "故障码", "冻结帧", "自动扫描结果", "版本信息"}));
}

void tst_DataManage::rowContents()
{
    const QString sPath = MakeFile("FreezeFrame/f.dat");
    pManage->Refresh();
    QCOMPARE(tbList->rowCount(), 1);
    const QTableWidgetItem *pName = tbList->item(0, 0);
    QCOMPARE(pName->checkState(), Qt::Unchecked);
    QCOMPARE(pName->data(Qt::UserRole + 1).toString(), sPath);
    QCOMPARE(pName->data(Qt::UserRole + 2).toInt(), 3);
    const QTableWidgetItem *pButton = tbList->item(0, 3);
    QCOMPARE(pButton->text(), QString());
    QCOMPARE(pButton->data(Qt::UserRole + 100).toString(), QString("报告"));
    QCOMPARE(pButton->foreground().color(), QColor(0, 0, 255));
    QCOMPARE(tbList->columnWidth(0), 280);
    QCOMPARE(tbList->columnWidth(1), 160);
}

void tst_DataManage::sizeText_data()
{
    QTest::addColumn<int>("nSize");
    QTest::addColumn<QString>("sText");
    QTest::newRow("empty") << 0 << "0 Bytes";
    QTest::newRow("900") << 900 << "900 Bytes";
    QTest::newRow("1024") << 1024 << "1.00 KB";
    QTest::newRow("1536") << 1536 << "1.50 KB";
}

void tst_DataManage::sizeText()
{
    QFETCH(int, nSize);
    QFETCH(QString, sText);
    MakeFile("DTC/f", QByteArray(nSize, 'x'));
    pManage->Refresh();
    QCOMPARE(tbList->item(0, 2)->text(), sText);
}

void tst_DataManage::noDiskNoRows()
{
    MakeFile("DTC/a");
    pManage->Refresh();
    QCOMPARE(tbList->rowCount(), 1);
    pManage->SetDiskSource([] { return QString(); });
    pManage->Refresh();
    QCOMPARE(tbList->rowCount(), 0);
    pManage->SetDiskSource(nullptr);
    pManage->Refresh();
    QCOMPARE(tbList->rowCount(), 0);
}

void tst_DataManage::deleteWithNothingChecked()
{
    MakeFile("DTC/a");
    pManage->Refresh();
    QSignalSpy spy(pManage, &DataManage::DeleteFinish);
    QTest::mouseClick(pManage->findChild<QPushButton *>("btnDelete"), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(tbList->rowCount(), 1);
}

void tst_DataManage::deleteChecked()
{
    const QString sA = MakeFile("DTC/a");
    const QString sB = MakeFile("DTC/b");
    const QString sC = MakeFile("DTC/c");
    const QString sD = MakeFile("DTC/d");
    pManage->Refresh();
    tbList->item(0, 0)->setCheckState(Qt::Checked);
    tbList->item(1, 0)->setCheckState(Qt::Checked);
    tbList->item(3, 0)->setCheckState(Qt::Checked);
    QVERIFY(QFile::remove(sD)); // already gone: its row still goes
    QSignalSpy spy(pManage, &DataManage::DeleteFinish);
    QTest::mouseClick(pManage->findChild<QPushButton *>("btnDelete"), Qt::LeftButton);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(Names(), QStringList{"c"});
    QVERIFY(!QFile::exists(sA));
    QVERIFY(!QFile::exists(sB));
    QVERIFY(QFile::exists(sC));
}

void tst_DataManage::headerChecksAndClearsAll()
{
    MakeFile("DTC/a");
    MakeFile("DTC/b");
    MakeFile("FreezeFrame/c");
    pManage->Refresh();
    tbList->item(1, 0)->setCheckState(Qt::Checked);
    ClickHeaderBox();
    for (int nRow = 0; nRow < 3; ++nRow)
        QCOMPARE(tbList->item(nRow, 0)->checkState(), Qt::Checked);
    ClickHeaderBox();
    for (int nRow = 0; nRow < 3; ++nRow)
        QCOMPARE(tbList->item(nRow, 0)->checkState(), Qt::Unchecked);
}

void tst_DataManage::refreshClearsHeader()
{
    MakeFile("DTC/a");
    pManage->Refresh();
    ClickHeaderBox();
    pManage->Refresh();
    QCOMPARE(tbList->item(0, 0)->checkState(), Qt::Unchecked);
    // The header box starts unchecked again: one press checks every row.
    ClickHeaderBox();
    QCOMPARE(tbList->item(0, 0)->checkState(), Qt::Checked);
}

void tst_DataManage::reportButtonOpensByCategory_data()
{
    QTest::addColumn<QString>("sFile");
    QTest::addColumn<QString>("sPage");
    QTest::addColumn<QString>("sTemplate");
    QTest::newRow("data stream") << "DataStreams/ds"
                                 << "DataList" << QString();
    QTest::newRow("trouble codes") << "DTC/dtc"
                                   << "Report"
                                   << ":/other/2.xml";
    QTest::newRow("freeze frame") << "FreezeFrame/ff"
                                  << "Report"
                                  << ":/other/3.xml";
    QTest::newRow("system scan") << "SystemData/scan"
                                 << "Report"
                                 << ":/other/4.xml";
    QTest::newRow("vehicle version") << "VehicleVersion/ver"
                                     << "Report"
                                     << ":/other/5.xml";
}

void tst_DataManage::reportButtonOpensByCategory()
{
    QFETCH(QString, sFile);
    QFETCH(QString, sPage);
    QFETCH(QString, sTemplate);
    MakeFile(sFile, RecordWriter::Record(QJsonObject{{"VehicleName", "Golf"}}, "Engine",
                                         QJsonArray{QJsonObject{{"LB", "item"}}}));
    pManage->Refresh();
    QCOMPARE(tbList->rowCount(), 1);

    // Press and release on the button drawn in column 3.
    const QRect rcCell = tbList->visualRect(tbList->model()->index(0, 3));
    const QPoint ptButton = rcCell.topLeft() + QPoint(15 + 35, 4 + 10);
    QTest::mousePress(tbList->viewport(), Qt::LeftButton, {}, ptButton);
    QTest::mouseRelease(tbList->viewport(), Qt::LeftButton, {}, ptButton);

    auto *pStack = pManage->findChild<QStackedWidget *>("stackedWidget");
    QCOMPARE(pStack->currentWidget()->metaObject()->className(), qPrintable(sPage));
    if (sPage == "Report") {
        QCOMPARE(pManage->ReportPage()->TemplatePath(), sTemplate);
        QCOMPARE(pManage->ReportPage()->Data().Items().size(), 1);
        QTest::mouseClick(pManage->ReportPage()->findChild<QPushButton *>("btnBack"),
                          Qt::LeftButton);
    } else {
        auto *pItems = pManage->ListPage()->findChild<QTableWidget *>("tbDataList");
        QCOMPARE(pItems->rowCount(), 1);
        QCOMPARE(pItems->item(0, 0)->text(), QString("item"));
        QTest::mouseClick(pManage->ListPage()->findChild<QPushButton *>("btnBack"), Qt::LeftButton);
    }
    QCOMPARE(pStack->currentIndex(), 0);
}

void tst_DataManage::titlesFollowLanguage()
{
    MakeFile("DTC/a");
    pManage->Refresh();
    QAbstractItemDelegate *pDelegate = tbList->itemDelegateForColumn(1);
    auto *pStyled = qobject_cast<QStyledItemDelegate *>(pDelegate);
    QVERIFY(pStyled);
    const QVariant title = tbList->item(0, 1)->data(Qt::DisplayRole);
    QCOMPARE(pStyled->displayText(title, QLocale()), QString("故障码"));

    QTranslator translator;
    QVERIFY(translator.load(":/other/en.qm"));
    QCoreApplication::installTranslator(&translator);
    pManage->Retranslate();
    // No refresh: the stored text stays, what is drawn follows the language.
    QCOMPARE(tbList->item(0, 1)->text(), QString("故障码"));
    QCOMPARE(pStyled->displayText(title, QLocale()), QString("Code"));
    QCOMPARE(pManage->findChild<QPushButton *>("btnDelete")->text(), QString("Delete"));
    QCOMPARE(tbList->horizontalHeaderItem(2)->text(), QString("Size"));
    QCOMPARE(KXButtonDelegate::TranslateCellText(
                 tbList->item(0, 3)->data(Qt::UserRole + 100).toString()),
             QString("Report"));
    QCoreApplication::removeTranslator(&translator);
    pManage->Retranslate();
    QCOMPARE(pManage->findChild<QPushButton *>("btnDelete")->text(), QString("删除"));
}

QString tst_DataManage::MakeStream(const QString &sName, int nFrames, bool bBroken)
{
    RecordWriter writer;
    writer.AppendObject(QJsonObject{{"VehicleName", "Golf"}});
    writer.AppendObject(QJsonObject{
        {"DATA", QJsonObject{{"TT", "Engine"}, {"IS", QJsonArray{QJsonObject{{"LB", "rpm"}}}}}}});
    QByteArray ba = writer.Data();
    ba.reserve(ba.size() + nFrames * 15);
    const QByteArray baFrame = bBroken ? QByteArray("[\"1234\",") : QByteArray("[\"12345\"]");
    for (int i = 0; i < nFrames; ++i)
        ba.append("\0\0\0\x09", 4).append(baFrame).append(2, '\0');
    return MakeFile("DataStreams/" + sName, ba);
}

void tst_DataManage::recordThatCannotBeOpened_data()
{
    QTest::addColumn<QString>("sFolder");
    QTest::addColumn<QString>("sKind");
    for (const char *szFolder : {"DataStreams", "DTC", "VehicleVersion"}) {
        for (const char *szKind : {"missing", "0 bytes", "header only"})
            QTest::addRow("%s, %s", szFolder, szKind) << szFolder << szKind;
    }
}

// A record that vanished after the list was made (device pulled, deleted
// elsewhere), or one with nothing to show: nothing of the record opened
// before stays on the pages, the user is told, and the list is shown again.
void tst_DataManage::recordThatCannotBeOpened()
{
    QFETCH(QString, sFolder);
    QFETCH(QString, sKind);
    const QJsonArray jaItems{QJsonObject{{"LB", "Golf item"}, {"VA", QJsonArray{"1"}}}};
    MakeFile(sFolder + "/a-earlier",
             RecordWriter::Record(QJsonObject{{"VehicleName", "Golf"}}, "Engine", jaItems));
    RecordWriter headerOnly;
    headerOnly.AppendObject(QJsonObject{{"VehicleName", "Polo"}});
    const QString sSecond = MakeFile(sFolder + "/b-second",
                                     sKind == "header only" ? headerOnly.Data()
                                     : sKind == "0 bytes"   ? QByteArray()
                                                          : RecordWriter::Record({}, "X", jaItems));
    pManage->Refresh();
    QCOMPARE(tbList->rowCount(), 2);
    auto *pStack = pManage->findChild<QStackedWidget *>("stackedWidget");
    auto *pItems = pManage->ListPage()->findChild<QTableWidget *>("tbDataList");

    pManage->Open(0);
    QVERIFY(pStack->currentIndex() != 0);
    QVERIFY(TestWidgets::MessageTexts().isEmpty());
    if (sKind == "missing")
        QVERIFY(QFile::remove(sSecond));
    pManage->Open(1);

    QCOMPARE(pStack->currentIndex(), 0);
    const QList<QMessageBox *> boxes = TestWidgets::VisibleMessageBoxes();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes.first()->windowTitle(), QString("提示"));
    QVERIFY2(boxes.first()->text().contains("b-second"), qPrintable(boxes.first()->text()));
    // Only a record that is gone may have been deleted.
    QCOMPARE(boxes.first()->text().contains("删除"), sKind == "missing");
    TestWidgets::TakeMessages();
    QCOMPARE(pItems->rowCount(), 0);
    const ReportData &data = pManage->ReportPage()->Data();
    QVERIFY(data.Header().isEmpty());
    QVERIFY(data.Title().isEmpty());
    QCOMPARE(data.RecordCount(), 0);
}

// An interrupted write leaves zeros behind the last whole frame: the frames
// before them are the record.
void tst_DataManage::damagedStreamOpensWithItsFrames()
{
    const QString sPath = MakeStream("interrupted.dat", 5);
    QFile file(sPath);
    QVERIFY(file.open(QIODevice::Append));
    file.write(QByteArray(4096, '\0'));
    file.close();
    pManage->Refresh();
    pManage->Open(0);
    QCOMPARE(pManage->findChild<QStackedWidget *>("stackedWidget")->currentWidget(),
             static_cast<QWidget *>(pManage->ListPage()));
    QVERIFY(TestWidgets::MessageTexts().isEmpty());
    QCOMPARE(pManage->ListPage()->FrameCount(), 5);
    QCOMPARE(pManage->ListPage()->findChild<QTableWidget *>("tbDataList")->rowCount(), 1);
}

void tst_DataManage::longStreamIsCutAndSaysSo_data()
{
    QTest::addColumn<int>("nFrames");
    QTest::addColumn<int>("nShown");
    // Read in place, and on a worker behind a prompt (over 4 MiB).
    QTest::newRow("100,000 frames") << 100000 << 100000;
    QTest::newRow("200,000 frames") << 200000 << 100000;
    QTest::newRow("300,000 frames") << 300000 << 100000;
}

// Millions of frames would take gigabytes: a record keeps a bounded number of
// frames, and the user learns what was left out.
void tst_DataManage::longStreamIsCutAndSaysSo()
{
    QFETCH(int, nFrames);
    QFETCH(int, nShown);
    MakeStream("long.dat", nFrames);
    pManage->Refresh();
    pManage->Open(0);
    QCOMPARE(pManage->findChild<QStackedWidget *>("stackedWidget")->currentWidget(),
             static_cast<QWidget *>(pManage->ListPage()));
    QCOMPARE(pManage->ListPage()->FrameCount(), nShown);
    const QStringList slMessages = TestWidgets::TakeMessages();
    if (nShown == nFrames) {
        QVERIFY2(slMessages.isEmpty(), qPrintable(slMessages.join('\n')));
        return;
    }
    QCOMPARE(slMessages.size(), 1);
    const QString sText = slMessages.first();
    QVERIFY2(sText.contains("long.dat"), qPrintable(sText));
    QVERIFY2(sText.contains(QLocale().toString(nShown)), qPrintable(sText));
    QVERIFY2(sText.contains(FormatSize(quint64(nFrames - nShown) * 15)), qPrintable(sText));
}

// A long read shows how far it got and can be stopped; the list stays.
void tst_DataManage::stoppingALongRead()
{
    // About a million frames that do not parse: nothing ends the read early.
    MakeStream("broken.dat", 1100000, true);
    pManage->Refresh();
    QString sPrompt;
    QTimer stopper;
    stopper.setInterval(0);
    connect(&stopper, &QTimer::timeout, this, [&] {
        for (PromptDlg *pPrompt : pManage->findChildren<PromptDlg *>()) {
            auto *pCancel = pPrompt->findChild<QPushButton *>("btnCancel");
            if (!pPrompt->isVisible() || !pCancel || !pCancel->isVisible())
                continue;
            sPrompt = pPrompt->PromptText();
            pCancel->click();
            stopper.stop();
        }
    });
    stopper.start();
    pManage->Open(0);
    stopper.stop();
    QVERIFY2(sPrompt.contains("broken.dat") && sPrompt.contains('%'), qPrintable(sPrompt));
    QCOMPARE(pManage->findChild<QStackedWidget *>("stackedWidget")->currentIndex(), 0);
    QVERIFY(TestWidgets::TakeMessages().isEmpty());
}

QTEST_MAIN(tst_DataManage)
#include "tst_DataManage.moc"
