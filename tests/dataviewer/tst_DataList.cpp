#include "dataviewer/DataList.h"
#include "dataviewer/RecordWriter.h"

#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

namespace
{

constexpr ushort kIconPlay = 0xF01D;
constexpr ushort kIconPause = 0xF28C;

QJsonObject Item(const QString &sName)
{
    return QJsonObject{{"LB", sName}, {"RV", "ref " + sName}, {"VA", "va " + sName}, {"UNT", "u"}};
}

} // namespace

class tst_DataList : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void selectionOrderAndDetailRows();
    void uncheckingRenumbers();
    void headerKeepsEarlierChoiceFirst();
    void headerClearsAll();
    void okFollowsSelection();
    void degreeByteInLabel();
    void replayShowsEveryFrameOncePerTick();
    void pauseAndResume();
    void backStopsReplay();
    void shortAndOddFrames();
    void replayWithoutFrames();
    void unreadableFileEmptiesThePage();
    void fileWithoutContentEmptiesTheList();

private:
    QString WriteRecord(const QJsonArray &jaItems, const QList<QJsonArray> &lstFrames);
    void Check(int nRow, bool bChecked);
    QString OrderText(int nRow) const;
    QString DetailText(int nRow, int nColumn) const;
    void Tick();

    QTemporaryDir *pDir = nullptr;
    DataList *pList = nullptr;
    QTableWidget *tbList = nullptr;
    QTableWidget *tbDetail = nullptr;
    QPushButton *btnOK = nullptr;
    QPushButton *btnPlay = nullptr;
    QProgressBar *progress = nullptr;
    QTimer *tmReplay = nullptr;
    int nFiles = 0;
};

void tst_DataList::init()
{
    pDir = new QTemporaryDir;
    pList = new DataList;
    pList->resize(592, 404);
    pList->show();
    tbList = pList->findChild<QTableWidget *>("tbDataList");
    tbDetail = pList->findChild<QTableWidget *>("tbDetailList");
    btnOK = pList->findChild<QPushButton *>("btnOK");
    btnPlay = pList->findChild<QPushButton *>("btnPlay");
    progress = pList->findChild<QProgressBar *>("progressBar_2");
    tmReplay = pList->findChild<QTimer *>("tmReplay");
    QVERIFY(tbList && tbDetail && btnOK && btnPlay && progress && tmReplay);
    QCOMPARE(tmReplay->interval(), 1000);
}

void tst_DataList::cleanup()
{
    delete pList;
    delete pDir;
}

QString tst_DataList::WriteRecord(const QJsonArray &jaItems, const QList<QJsonArray> &lstFrames)
{
    const QString sPath = pDir->filePath(QString("ds%1.dat").arg(++nFiles));
    const QByteArray ba =
        RecordWriter::Record(QJsonObject{{"VehicleName", "Golf"}}, "Engine", jaItems, lstFrames);
    if (!RecordWriter::WriteFile(sPath, ba))
        qFatal("cannot write %s", qPrintable(sPath));
    return sPath;
}

void tst_DataList::Check(int nRow, bool bChecked)
{
    tbList->item(nRow, 0)->setCheckState(bChecked ? Qt::Checked : Qt::Unchecked);
}

QString tst_DataList::OrderText(int nRow) const
{
    return tbList->item(nRow, 1)->text();
}

QString tst_DataList::DetailText(int nRow, int nColumn) const
{
    const QTableWidgetItem *pItem = tbDetail->item(nRow, nColumn);
    return pItem ? pItem->text() : QString("<none>");
}

void tst_DataList::Tick()
{
    // The replay timer is driven by hand: one call is one elapsed second.
    QVERIFY(tmReplay->isActive());
    QVERIFY(QMetaObject::invokeMethod(tmReplay, "timeout"));
}

void tst_DataList::selectionOrderAndDetailRows()
{
    pList->Load(WriteRecord({Item("one"), Item("two"), Item("three")}, {}));
    QCOMPARE(tbList->rowCount(), 3);
    Check(2, true);
    Check(0, true);
    Check(1, true);
    QCOMPARE(OrderText(2), QString("1"));
    QCOMPARE(OrderText(0), QString("2"));
    QCOMPARE(OrderText(1), QString("3"));

    QTest::mouseClick(btnOK, Qt::LeftButton);
    QCOMPARE(pList->findChild<QStackedWidget *>("stackedWidget")->currentWidget()->objectName(),
             QString("Detailpage"));
    QCOMPARE(tbDetail->rowCount(), 3);
    QCOMPARE(DetailText(0, 0), QString("three"));
    QCOMPARE(DetailText(1, 0), QString("one"));
    QCOMPARE(DetailText(2, 0), QString("two"));
    QCOMPARE(DetailText(0, 1), QString("ref three"));
    QCOMPARE(DetailText(0, 2), QString("va three"));
    QCOMPARE(DetailText(0, 3), QString("u"));
    // The columns are fitted to the widest text.
    const int nTextWidth = tbDetail->fontMetrics().horizontalAdvance("ref three");
    QVERIFY(tbDetail->columnWidth(1) >= nTextWidth + 20);
}

void tst_DataList::uncheckingRenumbers()
{
    pList->Load(WriteRecord({Item("one"), Item("two"), Item("three")}, {}));
    Check(2, true);
    Check(0, true);
    Check(1, true);
    Check(2, false);
    QCOMPARE(OrderText(2), QString());
    QCOMPARE(OrderText(0), QString("1"));
    QCOMPARE(OrderText(1), QString("2"));
    QCOMPARE(pList->Selection(), (QMap<int, int>{{0, 0}, {1, 1}}));
    // A new choice goes to the end again.
    Check(2, true);
    QCOMPARE(OrderText(2), QString("3"));
}

void tst_DataList::headerKeepsEarlierChoiceFirst()
{
    pList->Load(WriteRecord({Item("one"), Item("two"), Item("three"), Item("four")}, {}));
    Check(1, true);
    QHeaderView *pHeader = tbList->horizontalHeader();
    QTest::mouseClick(pHeader->viewport(), Qt::LeftButton, {},
                      QPoint(pHeader->sectionPosition(0) + 10, pHeader->height() / 2));
    QCOMPARE(OrderText(1), QString("1"));
    QCOMPARE(OrderText(0), QString("2"));
    QCOMPARE(OrderText(2), QString("3"));
    QCOMPARE(OrderText(3), QString("4"));
}

void tst_DataList::headerClearsAll()
{
    pList->Load(WriteRecord({Item("one"), Item("two")}, {}));
    pList->SelectAll(true);
    QCOMPARE(pList->Selection().size(), 2);
    pList->SelectAll(false);
    QVERIFY(pList->Selection().isEmpty());
    QCOMPARE(tbList->item(0, 0)->checkState(), Qt::Unchecked);
    QCOMPARE(OrderText(0), QString());
    QVERIFY(!btnOK->isEnabled());
}

void tst_DataList::okFollowsSelection()
{
    QVERIFY(!btnOK->isEnabled());
    pList->Load(WriteRecord({Item("one"), Item("two")}, {}));
    QVERIFY(!btnOK->isEnabled());
    Check(0, true);
    QVERIFY(btnOK->isEnabled());
    Check(1, true);
    Check(0, false);
    QVERIFY(btnOK->isEnabled());
    Check(1, false);
    QVERIFY(!btnOK->isEnabled());
    Check(1, true);
    // Loading another file starts without a choice.
    pList->Load(WriteRecord({Item("x")}, {}));
    QVERIFY(!btnOK->isEnabled());
    QCOMPARE(OrderText(0), QString());
}

void tst_DataList::degreeByteInLabel()
{
    const QString sPath = WriteRecord({Item("Timing °")}, {});
    QFile file(sPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("Timing \xB0\""));
    pList->Load(sPath);
    QCOMPARE(tbList->item(0, 0)->text(), QString("Timing °"));
}

void tst_DataList::replayShowsEveryFrameOncePerTick()
{
    QList<QJsonArray> lstFrames;
    for (int i = 0; i < 5; ++i)
        lstFrames.append(QJsonArray{QString("a%1").arg(i), QString("b%1").arg(i)});
    pList->Load(WriteRecord({Item("a"), Item("b")}, lstFrames));
    Check(1, true);
    Check(0, true);
    QTest::mouseClick(btnOK, Qt::LeftButton);
    QCOMPARE(DetailText(0, 2), QString("va b"));
    QCOMPARE(btnPlay->text(), QString(QChar(kIconPlay)));

    QTest::mouseClick(btnPlay, Qt::LeftButton);
    QVERIFY(pList->IsPlaying());
    QCOMPARE(btnPlay->text(), QString(QChar(kIconPause)));
    QCOMPARE(progress->maximum(), 5);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(DetailText(0, 2), QString("b%1").arg(i));
        QCOMPARE(DetailText(1, 2), QString("a%1").arg(i));
        QCOMPARE(progress->value(), i);
        Tick();
    }
    QCOMPARE(progress->value(), 5);
    QVERIFY(!pList->IsPlaying());
    QVERIFY(!tmReplay->isActive());
    QCOMPARE(btnPlay->text(), QString(QChar(kIconPlay)));
    QCOMPARE(DetailText(0, 2), QString("b4"));

    // At the end a further press starts again from the first frame.
    QTest::mouseClick(btnPlay, Qt::LeftButton);
    QVERIFY(pList->IsPlaying());
    QCOMPARE(progress->value(), 0);
    QCOMPARE(DetailText(0, 2), QString("b0"));
}

void tst_DataList::pauseAndResume()
{
    QList<QJsonArray> lstFrames;
    for (int i = 0; i < 5; ++i)
        lstFrames.append(QJsonArray{QString("a%1").arg(i)});
    pList->Load(WriteRecord({Item("a")}, lstFrames));
    Check(0, true);
    QTest::mouseClick(btnOK, Qt::LeftButton);
    QTest::mouseClick(btnPlay, Qt::LeftButton);
    Tick();
    QCOMPARE(DetailText(0, 2), QString("a1"));

    QTest::mouseClick(btnPlay, Qt::LeftButton); // pause while frame 1 shows
    QVERIFY(!pList->IsPlaying());
    QVERIFY(!tmReplay->isActive());
    QCOMPARE(btnPlay->text(), QString(QChar(kIconPlay)));
    QCOMPARE(DetailText(0, 2), QString("a1"));

    QTest::mouseClick(btnPlay, Qt::LeftButton); // resume with the next frame
    QVERIFY(pList->IsPlaying());
    QCOMPARE(DetailText(0, 2), QString("a2"));
    QCOMPARE(progress->value(), 2);
    QCOMPARE(btnPlay->text(), QString(QChar(kIconPause)));

    // A language change keeps the icon that fits the state.
    pList->Retranslate();
    QCOMPARE(btnPlay->text(), QString(QChar(kIconPause)));
    QTest::mouseClick(btnPlay, Qt::LeftButton);
    pList->Retranslate();
    QCOMPARE(btnPlay->text(), QString(QChar(kIconPlay)));
}

void tst_DataList::backStopsReplay()
{
    pList->Load(WriteRecord({Item("a")}, {QJsonArray{"1"}, QJsonArray{"2"}, QJsonArray{"3"}}));
    Check(0, true);
    QTest::mouseClick(btnOK, Qt::LeftButton);
    QTest::mouseClick(btnPlay, Qt::LeftButton);
    QVERIFY(pList->IsPlaying());
    QTest::mouseClick(pList->findChild<QPushButton *>("btnBack_2"), Qt::LeftButton);
    QVERIFY(!pList->IsPlaying());
    QVERIFY(!tmReplay->isActive());
    QCOMPARE(btnPlay->text(), QString(QChar(kIconPlay)));
    QCOMPARE(pList->findChild<QStackedWidget *>("stackedWidget")->currentWidget()->objectName(),
             QString("listPage"));

    QSignalSpy spyBack(pList, &DataList::back);
    QTest::mouseClick(pList->findChild<QPushButton *>("btnBack"), Qt::LeftButton);
    QCOMPARE(spyBack.count(), 1);
}

void tst_DataList::shortAndOddFrames()
{
    // Frame 1 is shorter than the item list; frame 2 holds a number.
    pList->Load(WriteRecord({Item("a"), Item("b")},
                            {QJsonArray{"a0", "b0"}, QJsonArray{"a1"}, QJsonArray{42, "b2"}}));
    Check(0, true);
    Check(1, true);
    QTest::mouseClick(btnOK, Qt::LeftButton);
    QTest::mouseClick(btnPlay, Qt::LeftButton);
    Tick();
    QCOMPARE(DetailText(0, 2), QString("a1"));
    QCOMPARE(DetailText(1, 2), QString("b0"));
    Tick();
    QCOMPARE(DetailText(0, 2), QString());
    QCOMPARE(DetailText(1, 2), QString("b2"));
}

void tst_DataList::replayWithoutFrames()
{
    pList->Load(WriteRecord({Item("a")}, {}));
    Check(0, true);
    QTest::mouseClick(btnOK, Qt::LeftButton);
    QTest::mouseClick(btnPlay, Qt::LeftButton);
    QVERIFY(!pList->IsPlaying());
    QVERIFY(!tmReplay->isActive());
    QCOMPARE(btnPlay->text(), QString(QChar(kIconPlay)));
    QCOMPARE(DetailText(0, 2), QString("va a"));
}

// Nothing of the record shown before may pass for the one that could not be read.
void tst_DataList::unreadableFileEmptiesThePage()
{
    QVERIFY(pList->Load(WriteRecord({Item("a"), Item("b")}, {QJsonArray{"1", "2"}})));
    QCOMPARE(pList->FrameCount(), 1);
    Check(1, true);
    QTest::mouseClick(btnOK, Qt::LeftButton);
    QCOMPARE(tbDetail->rowCount(), 1);
    QVERIFY(!pList->Load(pDir->filePath("missing.dat")));
    QCOMPARE(tbList->rowCount(), 0);
    QCOMPARE(tbDetail->rowCount(), 0);
    QCOMPARE(pList->FrameCount(), 0);
    QVERIFY(pList->Selection().isEmpty());
    QVERIFY(!btnOK->isEnabled());
}

void tst_DataList::fileWithoutContentEmptiesTheList()
{
    pList->Load(WriteRecord({Item("a"), Item("b")}, {}));
    const QString sPath = pDir->filePath("header-only.dat");
    RecordWriter writer;
    writer.AppendObject(QJsonObject{{"VehicleName", "Golf"}});
    QVERIFY(RecordWriter::WriteFile(sPath, writer.Data()));
    pList->Load(sPath);
    QCOMPARE(tbList->rowCount(), 0);
    QVERIFY(!btnOK->isEnabled());
}

QTEST_MAIN(tst_DataList)
#include "tst_DataList.moc"
