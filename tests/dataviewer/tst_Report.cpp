#include "dataviewer/RecordWriter.h"
#include "dataviewer/Report.h"
#include "report/ReportEngine.h"

#include "TestTools.h"
#include "TestWidgets.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

namespace
{

QJsonObject Code(const QString &sId, const QString &sStatus, const QString &sDescription)
{
    return QJsonObject{{"DID", sId}, {"STAT", sStatus}, {"DDE", sDescription}};
}

// Text of a PDF (or of one page of it), laid out as on paper.
QString PdfText(const QString &sPdf, int nPage = 0)
{
    QStringList slArgs{"-layout"};
    if (nPage > 0)
        slArgs << "-f" << QString::number(nPage) << "-l" << QString::number(nPage);
    slArgs << sPdf << "-";
    QProcess process;
    process.start("pdftotext", slArgs);
    if (!process.waitForFinished(30000))
        return QString();
    // pdftotext keeps the ligatures the text was drawn with.
    return QString::fromUtf8(process.readAllStandardOutput())
        .replace(QChar(0xFB00), "ff")
        .replace(QChar(0xFB01), "fi")
        .replace(QChar(0xFB02), "fl")
        .replace(QChar(0xFB03), "ffi")
        .replace(QChar(0xFB04), "ffl");
}

int PdfPages(const QString &sPdf)
{
    QProcess process;
    process.start("pdfinfo", {sPdf});
    process.waitForFinished(30000);
    const QString sInfo = QString::fromUtf8(process.readAllStandardOutput());
    const QRegularExpressionMatch match = QRegularExpression("Pages:\\s+(\\d+)").match(sInfo);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

// Lines of the text that contain sNeedle, in order.
QStringList LinesWith(const QString &sText, const QString &sNeedle)
{
    QStringList sl;
    for (const QString &sLine : sText.split('\n')) {
        if (sLine.contains(sNeedle))
            sl << sLine.simplified();
    }
    return sl;
}

} // namespace

// Receives the URLs the page asks the desktop to open.
class UrlSink : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> lstUrls;
public slots:
    void Open(const QUrl &url) { lstUrls.append(url); }
};

class tst_Report : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void troubleCodesTable();
    void versionTexts();
    void systemScanRows();
    void footerCountsPages();
    void celsiusSign();
    void chineseTextUsesACjkFont();
    void previewRendersOnLoad();
    void unreadableRecordEmptiesThePage();
    void recordWithoutContentEmptiesThePage_data();
    void recordWithoutContentEmptiesThePage();
    void saveFailureIsReported_data();
    void saveFailureIsReported();
    void saveButtonWritesAndOpensPdf();
    void printsOnTheLatestPrinter();
    void headingsFollowLanguage();

private:
    QString WriteRecord(const QString &sName, const QString &sTitle, const QJsonArray &jaItems);
    QString Save(const QString &sName);

    QTemporaryDir *pDir = nullptr;
    Report *pReport = nullptr;
    UrlSink sink;
};

void tst_Report::initTestCase()
{
    QDesktopServices::setUrlHandler("file", &sink, "Open");
}

void tst_Report::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler("file");
}

void tst_Report::init()
{
    pDir = new QTemporaryDir;
    pReport = new Report;
    pReport->resize(703, 513);
    pReport->show();
    sink.lstUrls.clear();
}

void tst_Report::cleanup()
{
    delete pReport;
    delete pDir;
}

QString tst_Report::WriteRecord(const QString &sName, const QString &sTitle,
                                const QJsonArray &jaItems)
{
    const QString sPath = pDir->filePath(sName);
    const QByteArray ba =
        RecordWriter::Record(QJsonObject{{"VehicleName", "Golf 1.4 TSI"}}, sTitle, jaItems);
    if (!RecordWriter::WriteFile(sPath, ba))
        qFatal("cannot write %s", qPrintable(sPath));
    return sPath;
}

QString tst_Report::Save(const QString &sName)
{
    const QString sPdf = pDir->filePath(sName);
    pReport->SaveAs(sPdf);
    return sPdf;
}

void tst_Report::troubleCodesTable()
{
    pReport->SetTemplate(":/other/2.xml");
    pReport->Load(WriteRecord("dtc.dat", "Engine",
                              {Code("P0301", "Current", "Cylinder 1 misfire detected"),
                               Code("P0420", "History", "Catalyst efficiency below threshold"),
                               Code("P0171", "Current", "System too lean")}));
    const QString sPdf = Save("dtc.pdf");
    QVERIFY(QFile::exists(sPdf));
    QCOMPARE(PdfPages(sPdf), 1);
    const QString sText = PdfText(sPdf);
    QVERIFY2(sText.contains("车辆诊断报告"), qPrintable(sText));
    QVERIFY(sText.contains("车辆信息"));
    QVERIFY(sText.contains("Brand:Golf 1.4 TSI"));
    QCOMPARE(LinesWith(sText, "故障码"), QStringList{"故障码 状态 描述"});
    const QStringList slRows = LinesWith(sText, "P0");
    QCOMPARE(slRows, (QStringList{"P0301 Current Cylinder 1 misfire detected",
                                  "P0420 History Catalyst efficiency below threshold",
                                  "P0171 Current System too lean"}));
    // The title comes before the table, the table before the footer.
    QVERIFY(sText.indexOf("Engine") < sText.indexOf("P0301"));
    QVERIFY(sText.indexOf("P0171") < sText.indexOf(QRegularExpression("1 ?/ ?1")));
}

void tst_Report::versionTexts()
{
    pReport->SetTemplate(":/other/5.xml");
    pReport->Load(WriteRecord("ver.dat", "Engine",
                              {QJsonObject{{"LB", "Part number"}, {"VA", QJsonArray{"03C906 "}}},
                               QJsonObject{{"LB", "Software"}, {"VA", QJsonArray{" 5161", "H08"}}},
                               QJsonObject{{"LB", "Coding"}, {"VA", QJsonArray{}}}}));
    const QString sText = PdfText(Save("ver.pdf"));
    QCOMPARE(LinesWith(sText, "Part number"), QStringList{"Part number 03C906"});
    QCOMPARE(LinesWith(sText, "Software"), QStringList{"Software [5161][H08]"});
    QCOMPARE(LinesWith(sText, "Coding"), QStringList{"Coding"});
}

void tst_Report::systemScanRows()
{
    pReport->SetTemplate(":/other/4.xml");
    pReport->Load(WriteRecord(
        "scan.dat", "Auto scan",
        {QJsonObject{{"LB", "EngineSys"},
                     {"VA", "unused"},
                     {"IES", QJsonArray{Code("P0301", "Current", "Misfire"),
                                        Code("P0171", "History", "Too lean")}}},
         QJsonObject{{"LB", "AbsSys"}, {"VA", "No fault code"}, {"IES", QJsonArray{}}}}));
    const QString sPdf = Save("scan.pdf");
    QCOMPARE(pReport->Engine()->DataSets().size(), 1);
    QCOMPARE(pReport->Engine()->DataSets().at(0).recordCount, 8);

    const QString sText = PdfText(sPdf);
    QStringList slRows;
    for (const QString &sLine : sText.split('\n')) {
        const QString s = sLine.simplified();
        if (s.startsWith("EngineSys") || s.startsWith("AbsSys") || s.startsWith("P0"))
            slRows << s;
    }
    QCOMPARE(slRows, (QStringList{"EngineSys 2", "AbsSys No fault code", "EngineSys 2",
                                  "P0301 Misfire Current", "P0171 Too lean History",
                                  "AbsSys No fault code"}));
}

void tst_Report::footerCountsPages()
{
    QJsonArray jaCodes;
    for (int i = 0; i < 45; ++i)
        jaCodes.append(Code(QString("P%1").arg(1000 + i), "Current", "Description"));
    pReport->SetTemplate(":/other/2.xml");
    pReport->Load(WriteRecord("many.dat", "Engine", jaCodes));
    const QString sPdf = Save("many.pdf");
    QCOMPARE(PdfPages(sPdf), 2);
    const QString sFirst = PdfText(sPdf, 1);
    const QString sSecond = PdfText(sPdf, 2);
    // The footer is small: pdftotext may or may not see the blanks around "/".
    const QRegularExpression rxFirst("\\n\\s*1 ?/ ?2\\s*\\n"), rxSecond("\\n\\s*2 ?/ ?2\\s*\\n");
    QVERIFY2(sFirst.contains(rxFirst), qPrintable(sFirst.right(300)));
    QVERIFY2(sSecond.contains(rxSecond), qPrintable(sSecond.right(300)));
    // The table header repeats on the second page, the title does not.
    QCOMPARE(LinesWith(sSecond, "故障码").size(), 1);
    QVERIFY(!sSecond.contains("车辆诊断报告"));
    QVERIFY(sSecond.contains("P1044"));
}

void tst_Report::celsiusSign()
{
    const QString sPath = WriteRecord("ff.dat", "Engine",
                                      {QJsonObject{{"LB", "Coolant"}, {"VA", "92"}, {"UNT", "°C"}},
                                       QJsonObject{{"LB", "Timing"}, {"VA", "6"}, {"UNT", "°"}}});
    QFile file(sPath);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.readAll().contains("\"\xB0\x43\""));
    pReport->SetTemplate(":/other/3.xml");
    pReport->Load(sPath);
    const QString sText = PdfText(Save("ff.pdf"));
    QCOMPARE(LinesWith(sText, "Coolant"), QStringList{"Coolant 92 ℃"});
    QCOMPARE(LinesWith(sText, "Timing"), QStringList{"Timing 6 °"});
    QCOMPARE(LinesWith(sText, "名称"), QStringList{"名称 数值 单位"});
}

void tst_Report::chineseTextUsesACjkFont()
{
    pReport->SetTemplate(":/other/4.xml"); // its title fields ask for "宋体"
    pReport->Load(
        WriteRecord("scan.dat", "Scan", {QJsonObject{{"LB", "X"}, {"IES", QJsonArray{}}}}));
    const QString sPdf = Save("fonts.pdf");
    QProcess process;
    process.start("pdffonts", {sPdf});
    QVERIFY(process.waitForFinished(30000));
    const QString sFonts = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY2(sFonts.contains("WenQuanYi", Qt::CaseInsensitive) ||
                 sFonts.contains("Micro", Qt::CaseInsensitive),
             qPrintable(sFonts));
    QVERIFY(PdfText(sPdf).contains("车辆诊断报告"));
}

void tst_Report::previewRendersOnLoad()
{
    pReport->SetTemplate(":/other/2.xml");
    pReport->Load(WriteRecord("dtc.dat", "Engine", {Code("P0301", "Current", "Misfire")}));
    QTRY_VERIFY(pReport->Preview()->pageCount() >= 1);
    QCOMPARE(pReport->Engine()->DataSets().value(0).recordCount, 1);
}

// The previous vehicle must not pass for the one whose record could not be read.
void tst_Report::unreadableRecordEmptiesThePage()
{
    pReport->SetTemplate(":/other/2.xml");
    QVERIFY(pReport->Load(WriteRecord("dtc.dat", "Engine", {Code("P0301", "Current", "Misfire")})));
    QVERIFY(!pReport->Load(pDir->filePath("missing.dat")));
    QVERIFY(pReport->Data().Header().isEmpty());
    QVERIFY(pReport->Data().Title().isEmpty());
    QCOMPARE(pReport->Data().RecordCount(), 0);
    const QString sText = PdfText(Save("empty.pdf"));
    QVERIFY(!sText.contains("P0301"));
    QVERIFY(!sText.contains("Golf"));
    QVERIFY(!sText.contains("Engine"));
    QVERIFY(sText.contains("Brand:"));
    QCOMPARE(LinesWith(sText, "故障码").size(), 1);
}

void tst_Report::recordWithoutContentEmptiesThePage_data()
{
    QTest::addColumn<QByteArray>("baRecord");
    RecordWriter headerOnly;
    headerOnly.AppendObject(QJsonObject{{"VehicleName", "Polo"}});
    QTest::newRow("0 bytes") << QByteArray();
    QTest::newRow("header only") << headerOnly.Data();
    QTest::newRow("header and zeros") << headerOnly.Data() + QByteArray(64, '\0');
}

// Nothing of the record shown before passes for this one's: not its codes,
// vehicle name or title.
void tst_Report::recordWithoutContentEmptiesThePage()
{
    QFETCH(QByteArray, baRecord);
    pReport->SetTemplate(":/other/2.xml");
    QVERIFY(pReport->Load(WriteRecord("dtc.dat", "Engine", {Code("P0301", "Current", "Misfire")})));
    const QString sPath = pDir->filePath("second.dat");
    QVERIFY(RecordWriter::WriteFile(sPath, baRecord));
    QVERIFY(!pReport->Load(sPath));
    QVERIFY(pReport->Data().Header().isEmpty());
    QVERIFY(pReport->Data().Title().isEmpty());
    QCOMPARE(pReport->Data().RecordCount(), 0);
    const QString sText = PdfText(Save("empty.pdf"));
    QVERIFY(!sText.contains("P0301"));
    QVERIFY(!sText.contains("Golf"));
    QVERIFY(!sText.contains("Polo"));
    QVERIFY(!sText.contains("Engine"));
}

void tst_Report::saveFailureIsReported_data()
{
    QTest::addColumn<QString>("sTarget");
    QTest::addColumn<bool>("bFullDisk");
    QTest::newRow("target is a folder") << "folder.pdf" << false;
    QTest::newRow("folder missing") << "no/such/folder/report.pdf" << false;
    QTest::newRow("disk full") << "small/report.pdf" << true;
}

// Nothing is opened that was not written, and the user is told.
void tst_Report::saveFailureIsReported()
{
    QFETCH(QString, sTarget);
    QFETCH(bool, bFullDisk);
    QVERIFY(QDir(pDir->path()).mkpath("folder.pdf"));
    const QString sPath = pDir->filePath(sTarget);
    QJsonArray jaCodes;
    // Enough pages that the PDF cannot fit into a 64 KiB file system.
    for (int i = 0; i < (bFullDisk ? 400 : 3); ++i)
        jaCodes.append(Code(QString("P%1").arg(1000 + i), "Current", QString("Fault %1").arg(i)));
    pReport->SetTemplate(":/other/2.xml");
    QVERIFY(pReport->Load(WriteRecord("dtc.dat", "Engine", jaCodes)));
    const QString sSmall = pDir->filePath("small");
    if (bFullDisk) {
        QVERIFY(QDir().mkpath(sSmall));
        const QString sWhy = TestTools::MountTmpfs(sSmall);
        if (!sWhy.isEmpty())
            QSKIP(qPrintable("a tmpfs cannot be mounted here: " + sWhy));
    }
    const bool bSaved = pReport->SaveAs(sPath);
    const QStringList slShown = TestWidgets::MessageTexts();
    const QList<QMessageBox *> boxes = TestWidgets::VisibleMessageBoxes();
    const QString sTitle = boxes.isEmpty() ? QString() : boxes.first()->windowTitle();
    TestWidgets::TakeMessages();
    const bool bLeft = QFileInfo(sPath).isFile();
    if (bFullDisk)
        QCOMPARE(TestTools::Unmount(sSmall), QString());
    QVERIFY(!bSaved);
    QVERIFY(sink.lstUrls.isEmpty());
    QVERIFY(!bLeft);
    QCOMPARE(slShown.size(), 1);
    QCOMPARE(sTitle, QString("提示"));
    QVERIFY2(slShown.first().contains(QDir::toNativeSeparators(sPath)),
             qPrintable(slShown.first()));
}

void tst_Report::saveButtonWritesAndOpensPdf()
{
    pReport->SetTemplate(":/other/2.xml");
    pReport->Load(WriteRecord("dtc.dat", "Engine", {Code("P0301", "Current", "Misfire")}));
    const QString sChosen = pDir->filePath("chosen"); // no suffix: ".pdf" is added
    QTimer::singleShot(0, this, [sChosen] {
        for (QWidget *pWidget : QApplication::topLevelWidgets()) {
            if (auto *pDialog = qobject_cast<QFileDialog *>(pWidget)) {
                pDialog->selectFile(sChosen);
                QMetaObject::invokeMethod(pDialog, "accept");
            }
        }
    });
    QTest::mouseClick(pReport->findChild<QPushButton *>("btnSave"), Qt::LeftButton);
    const QString sPdf = sChosen + ".pdf";
    QVERIFY(QFile::exists(sPdf));
    QVERIFY(PdfText(sPdf).contains("P0301"));
    QCOMPARE(sink.lstUrls, QList<QUrl>{QUrl::fromLocalFile(sPdf)});

    // A cancelled dialog saves nothing.
    QTimer::singleShot(0, this, [] {
        for (QWidget *pWidget : QApplication::topLevelWidgets()) {
            if (auto *pDialog = qobject_cast<QFileDialog *>(pWidget))
                pDialog->reject();
        }
    });
    QTest::mouseClick(pReport->findChild<QPushButton *>("btnSave"), Qt::LeftButton);
    QCOMPARE(sink.lstUrls.size(), 1);
}

void tst_Report::printsOnTheLatestPrinter()
{
    pReport->SetTemplate(":/other/2.xml");
    pReport->Load(WriteRecord("dtc.dat", "Engine", {Code("P0301", "Current", "Misfire")}));
    const QString sSaved = Save("saved.pdf");
    QVERIFY(QFile::remove(sSaved));

    // PDF-output printers stand in for the printers chosen in the print dialog.
    const QString sFirst = pDir->filePath("first.pdf");
    const QString sSecond = pDir->filePath("second.pdf");
    QPrinter first(QPrinter::HighResolution);
    first.setOutputFormat(QPrinter::PdfFormat);
    first.setOutputFileName(sFirst);
    pReport->PrintOn(&first);
    QVERIFY(PdfText(sFirst).contains("P0301"));
    QVERIFY(QFile::remove(sFirst));

    QPrinter second(QPrinter::HighResolution);
    second.setOutputFormat(QPrinter::PdfFormat);
    second.setOutputFileName(sSecond);
    pReport->PrintOn(&second);
    QVERIFY(PdfText(sSecond).contains("P0301"));
    QVERIFY(QFile::remove(sSecond));
    pReport->PrintOn(&second);
    QVERIFY(PdfText(sSecond).contains("P0301"));

    // Neither the earlier printer nor the saved PDF was written again.
    QVERIFY(!QFile::exists(sFirst));
    QVERIFY(!QFile::exists(sSaved));
    QVERIFY(sink.lstUrls.size() == 1);
}

void tst_Report::headingsFollowLanguage()
{
    pReport->SetTemplate(":/other/3.xml");
    pReport->Load(WriteRecord("ff.dat", "Engine", {QJsonObject{{"LB", "Speed"}, {"VA", "5"}}}));
    QTranslator translator;
    QVERIFY(translator.load(":/other/en.qm"));
    QCoreApplication::installTranslator(&translator);
    pReport->Retranslate();
    const QString sText = PdfText(Save("en.pdf"));
    QCoreApplication::removeTranslator(&translator);
    QVERIFY2(sText.contains("Vehicle Diagnostic Report"), qPrintable(sText));
    QVERIFY(sText.contains("Vehicle information"));
    QCOMPARE(LinesWith(sText, "Unit"), QStringList{"Name Value Unit"});
    QCOMPARE(pReport->findChild<QPushButton *>("btnPrint")->text(), QString("Print"));
}

QTEST_MAIN(tst_Report)
#include "tst_Report.moc"
