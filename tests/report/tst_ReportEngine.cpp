// Rendering and export of the report engine, checked on the PDF and HTML
// files it writes.

#include "ReportTestFiles.h"
#include "ReportTestUtil.h"

#include "report/ReportEngine.h"
#include "report/ReportFieldObject.h"

#include <QApplication>
#include <QDomDocument>
#include <QImage>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUrl>
#include <QtTest>

using namespace ReportTest;

namespace
{
// Divisions of an HTML export as (text, style) pairs.
QList<QPair<QString, QString>> HtmlDivisions(const QString &sHtml)
{
    QList<QPair<QString, QString>> divisions;
    static const QRegularExpression pattern(QStringLiteral("<div style='([^']*)'>(.*?)</div>\\n"));
    QRegularExpressionMatchIterator it = pattern.globalMatch(sHtml);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        divisions.append({match.captured(2), match.captured(1)});
    }
    return divisions;
}

int StyleNumber(const QString &sStyle, const QString &sName)
{
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("(?:^|;|\\s)") + sName + QStringLiteral(": (-?\\d+);"))
            .match(sStyle);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

QString ReadText(const QString &sPath)
{
    QFile file(sPath);
    // Text mode: the export writes a text file, with CR LF line ends on Windows.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    return QString::fromUtf8(file.readAll());
}

// Fraction of dark pixels in a rectangle of a page rendered at 36 dpi.
double DarkShare(const QString &sPdf, const QRect &area, int nPage = 1)
{
    const QString sPrefix = sPdf + QStringLiteral("-png");
    RunTool(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QStringLiteral("36"), QStringLiteral("-f"),
             QString::number(nPage), QStringLiteral("-l"), QString::number(nPage),
             QStringLiteral("-png"), QStringLiteral("-singlefile"), sPdf, sPrefix});
    const QImage image(sPrefix + QStringLiteral(".png"));
    if (image.isNull())
        return -1;
    int nDark = 0;
    int nAll = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (!image.rect().contains(x, y))
                continue;
            ++nAll;
            if (qGray(image.pixel(x, y)) < 128)
                ++nDark;
        }
    }
    return nAll ? double(nDark) / nAll : 0;
}
} // namespace

class tst_ReportEngine : public ReportTestFiles
{
    Q_OBJECT

private slots:
    void initTestCase();
    void pageBreaksRepeatMasterHeader();
    void pageNumbersInPreviewRepaint();
    void autoHeightGrowsWholeRow();
    void zeroRecordsPrintOnlyHeader();
    void bandTallerThanPageEnds();
    void oddFieldsStillRender();
    void endlessTemplateScriptEnds_data();
    void endlessTemplateScriptEnds();
    void longScriptHandlesNoEvents_data();
    void longScriptHandlesNoEvents();
    void pageWithoutWidthIsA4();
    void landscapePage();
    void previewTurnsLandscapePage();
    void htmlMeasuresEachPageAtItsWidth();
    void watermarkAndBorder();
    void pageBorderOnFirstSheetOnly();
    void sqlDataSource();
    void rectangleSpelling_data();
    void rectangleSpelling();
    void placeholdersAndConditions();
    void sumInMasterFooter();
    void printingConditionHidesField();
    void highlightingSetsBoldAndColour();
    void htmlExportIsOneSheet();
    void htmlExportUnwritableFile();
    void exportToPdfOpensFile();
    void exportToPdfWithoutTemplate();
    void signalsDuringRendering();
    void scriptHidesPageAndMovesField();
    void hiddenPageIsAskedForItsData();
    void scriptCannotDeleteTheObjects();
    void groupsWithNumbering();
    void inlineDataSource();
    void printerPageRange();
    void pageRangeStartsOnLandscapePage();
    void targetPrinterAdoption();
    void pdfPrinterNotReusedForHtml();
    void reentrantCallsAreRefused();
};

void tst_ReportEngine::initTestCase()
{
    QVERIFY(IsValid());
}

// A4, margins 40, rows of 24 under a header of 24 and above a footer of 24:
// a row is moved to the next page when y + 24 would pass 1108 - 24.
void tst_ReportEngine::pageBreaksRepeatMasterHeader()
{
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("table.xml"), TableTemplate())));
    DataProvider data(&engine);
    data.counts[1] = 100;
    data.value = RowValue;
    QList<int> breakRecords;
    connect(&engine, &ReportEngine::newPage, this,
            [&](int) { breakRecords.append(data.recNos.last()); });
    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("table.pdf"))));

    QCOMPARE(PdfPageCount(Pdf(QStringLiteral("table.pdf"))), 3);
    // Rows 0-43 fit on page 1 (y = 24 + 44 * 24 = 1080 > 1084 - 24).
    QCOMPARE(breakRecords, QList<int>({44, 88}));
    const QList<QPair<int, int>> expectedRows = {{0, 43}, {44, 87}, {88, 99}};
    for (int nPage = 1; nPage <= 3; ++nPage) {
        const QStringList slLines = PdfLines(Pdf(QStringLiteral("table.pdf")), nPage);
        QCOMPARE(slLines.first(), QStringLiteral("HEADER"));
        QCOMPARE(slLines.count(QStringLiteral("HEADER")), 1);
        QCOMPARE(slLines.last(), QStringLiteral("%1 / 3").arg(nPage));
        QStringList slRows = slLines.filter(QRegularExpression(QStringLiteral("^row \\d+$")));
        QCOMPARE(slRows.first(), QStringLiteral("row %1").arg(expectedRows[nPage - 1].first));
        QCOMPARE(slRows.last(), QStringLiteral("row %1").arg(expectedRows[nPage - 1].second));
        QCOMPARE(slRows.size(), expectedRows[nPage - 1].second - expectedRows[nPage - 1].first + 1);
    }
}

void tst_ReportEngine::pageNumbersInPreviewRepaint()
{
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("preview.xml"), TableTemplate())));
    DataProvider data(&engine);
    data.counts[1] = 100;
    data.value = RowValue;
    // What the engine would print as "<Page> / <TotalPages>" on each new page.
    QStringList slNumbers;
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewWidget preview(&printer);
    connect(&preview, &QPrintPreviewWidget::paintRequested, &engine, &ReportEngine::printPreview);
    connect(&engine, &ReportEngine::newPage, this, [&](int nPage) {
        slNumbers.append(QStringLiteral("%1 / %2").arg(nPage).arg(engine.TotalPages()));
    });
    preview.updatePreview();
    QCOMPARE(preview.pageCount(), 3);
    QCOMPARE(slNumbers, QStringList({QStringLiteral("2 / 3"), QStringLiteral("3 / 3")}));
    // The data changes between two repaints: the engine asks again.
    data.counts[1] = 50;
    slNumbers.clear();
    preview.updatePreview();
    QCOMPARE(preview.pageCount(), 2);
    QCOMPARE(slNumbers, QStringList({QStringLiteral("2 / 2")}));
    data.counts[1] = 100;
    slNumbers.clear();
    preview.updatePreview();
    QCOMPARE(preview.pageCount(), 3);
    QCOMPARE(slNumbers, QStringList({QStringLiteral("2 / 3"), QStringLiteral("3 / 3")}));

    // The same engine exporting after the repaints still numbers "2 / 3".
    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("preview.pdf"))));
    QCOMPARE(PdfLines(Pdf(QStringLiteral("preview.pdf")), 2).last(), QStringLiteral("2 / 3"));
}

void tst_ReportEngine::autoHeightGrowsWholeRow()
{
    const QString sRow =
        Label(QStringLiteral("[long]"), 0, 0, 200, 24, QStringLiteral("autoHeight=\"1\"")) +
        Label(QStringLiteral("[short]"), 199, 0, 200, 24, QStringLiteral("autoHeight=\"1\"")) +
        Label(QStringLiteral("fixed"), 398, 0, 200, 24);
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(
        Template(QStringLiteral("auto.xml"), TableTemplate(24, QString(), sRow))));
    DataProvider data(&engine);
    data.counts[1] = 2;
    data.value = [](int nRecNo, const QString &sName) -> QVariant {
        if (sName == QLatin1String("short"))
            return QStringLiteral("s%1").arg(nRecNo);
        if (sName == QLatin1String("long"))
            return nRecNo == 0 ? QStringLiteral("word ").repeated(40) + QStringLiteral("end")
                               : QStringLiteral("brief");
        return QVariant();
    };
    const QString sHtml = m_dir.filePath(QStringLiteral("auto.html"));
    QVERIFY(engine.exportToHtml(sHtml));
    const auto divisions = HtmlDivisions(ReadText(sHtml));
    // header, then two rows of three cells
    QCOMPARE(divisions.size(), 7);
    const QString sLongStyle = divisions.at(1).second;
    const int nGrown = StyleNumber(sLongStyle, QStringLiteral("height"));
    QVERIFY2(nGrown > 48, qPrintable(sLongStyle));
    QCOMPARE(StyleNumber(divisions.at(2).second, QStringLiteral("height")), nGrown);
    QCOMPARE(StyleNumber(divisions.at(3).second, QStringLiteral("height")), 24);
    // The second row starts below the grown one and keeps the template height.
    QCOMPARE(StyleNumber(divisions.at(4).second, QStringLiteral("top")),
             StyleNumber(sLongStyle, QStringLiteral("top")) + nGrown);
    QCOMPARE(StyleNumber(divisions.at(4).second, QStringLiteral("height")), 24);

    // On paper all of the long text is printed.
    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("auto.pdf"))));
    QVERIFY(PdfText(Pdf(QStringLiteral("auto.pdf")), 1).contains(QStringLiteral("end")));
}

void tst_ReportEngine::zeroRecordsPrintOnlyHeader()
{
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("zero.xml"), TableTemplate())));
    DataProvider data(&engine);
    data.value = RowValue;
    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("zero.pdf"))));
    QCOMPARE(PdfPageCount(Pdf(QStringLiteral("zero.pdf"))), 1);
    QCOMPARE(PdfLines(Pdf(QStringLiteral("zero.pdf")), 1),
             QStringList({QStringLiteral("HEADER"), QStringLiteral("1 / 1")}));
    QVERIFY(!data.slAsked.contains(QStringLiteral("n")));
}

void tst_ReportEngine::bandTallerThanPageEnds()
{
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("tall.xml"), TableTemplate(2000))));
    DataProvider data(&engine);
    data.counts[1] = 3;
    data.value = RowValue;
    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("tall.pdf"))));
    // Each record gets its own page after one break; the header stays alone
    // on the first page.
    QCOMPARE(PdfPageCount(Pdf(QStringLiteral("tall.pdf"))), 4);
    QCOMPARE(engine.TotalPages(), 4);
}

void tst_ReportEngine::oddFieldsStillRender()
{
    const QString sFields =
        Label(QString(), 0, 0, 100, 24) + Label(QStringLiteral("zero"), 0, 0, 0, 0) +
        Label(QStringLiteral("[huge]"), 100, 0, 300, 24,
              QStringLiteral(
                  "autoHeight=\"1\" fontColor=\"rgba(nope)\" backgroundColor=\"rgba(1,2)\" "
                  "borderTop=\"\" borderWidth=\"abc\" rotate=\"45\" fontSize=\"-3\" "
                  "unknownAttribute=\"x\"")) +
        QStringLiteral(
            "<pic type=\"image\" picture=\"not base64 at all\" left=\"0\" top=\"0\" "
            "width=\"10\" height=\"10\"/>"
            "<x type=\"textRich\" value=\"&lt;b&gt;rich&lt;/b&gt;\" left=\"0\" top=\"0\" "
            "width=\"0\" height=\"0\"/>"
            "<x type=\"crossTab\" colCount=\"100000\" left=\"0\" top=\"0\" width=\"50\" "
            "height=\"20\"/>"
            "<x type=\"barcode\" value=\"123\" left=\"0\" top=\"0\" width=\"50\" height=\"20\"/>"
            "<x type=\"diagram\" left=\"0\" top=\"0\" width=\"50\" height=\"20\"/>"
            "<x type=\"line\" lineStartX=\"0\" lineEndX=\"0\" arrowEnd=\"1\" "
            "borderColor=\"rgba(0,0,0,255)\"/>");
    const QString sXml = Document(Page(Band(QStringLiteral("MasterData"), 24, sFields),
                                       QStringLiteral("pageHeight=\"0\" marginsTop=\"5000\" "
                                                      "border=\"1\" borderColor=\"bad\"")));
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("odd.xml"), sXml)));
    DataProvider data(&engine);
    data.counts[1] = 2;
    data.value = [](int, const QString &) -> QVariant {
        return QStringLiteral("x ").repeated(200000);
    };
    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("odd.pdf"))));
    QVERIFY(PdfPageCount(Pdf(QStringLiteral("odd.pdf"))) >= 1);
    QVERIFY(engine.exportToHtml(m_dir.filePath(QStringLiteral("odd.html"))));
}

void tst_ReportEngine::endlessTemplateScriptEnds_data()
{
    QTest::addColumn<QString>("sScript");
    QTest::newRow("while") << QStringLiteral("while (true) {}");
    QTest::newRow("for") << QStringLiteral("for (;;);");
    QTest::newRow("do while") << QStringLiteral("var n = 0; do { n = n + 1; } while (n > 0);");
}

void tst_ReportEngine::endlessTemplateScriptEnds()
{
    QFETCH(QString, sScript);
    const QString sXml =
        Document(Page(Band(QStringLiteral("ReportTitle"), 24,
                           Label(QStringLiteral("after the loop"), 0, 0, 300, 24))),
                 sScript);
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("endless.xml"), sXml)));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^uncaught exception")));
    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^formulaStr: ")));
    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("endless.pdf"))));
    QCOMPARE(PdfLines(Pdf(QStringLiteral("endless.pdf")), 1),
             QStringList({QStringLiteral("after the loop")}));
}

void tst_ReportEngine::longScriptHandlesNoEvents_data()
{
    QTest::addColumn<QString>("sScript");
    const QString sSlow =
        QStringLiteral("var t = new Date().getTime(); while (new Date().getTime() - t < 300) {}");
    QTest::newRow("function before a field")
        << QStringLiteral("function slowBeforeData() { %1 }").arg(sSlow);
    QTest::newRow("function on a signal")
        << QStringLiteral("ReportEngine.newPage.connect(function(n) { %1 });").arg(sSlow);
}

// A slow script does not let other events run while a page is half drawn: a
// click then would act on a rendering in progress. They wait until it ends.
void tst_ReportEngine::longScriptHandlesNoEvents()
{
    QFETCH(QString, sScript);
    const QString sXml = Document(
        Page(Band(QStringLiteral("MasterData"), 600,
                  Label(QStringLiteral("slow"), 0, 0, 300, 24, QStringLiteral("name=\"slow\"")))),
        sScript);
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("slow.xml"), sXml)));
    DataProvider data(&engine);
    data.counts[1] = 2; // two sheets: one new page
    bool bRan = false;
    int nPageThen = -1;
    QTimer::singleShot(0, this, [&] {
        bRan = true;
        nPageThen = engine.CurrentPage();
    });
    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("slow.pdf"))));
    QVERIFY2(!bRan, qPrintable(QStringLiteral("ran on page %1").arg(nPageThen)));
    QTRY_VERIFY(bRan);
    QCOMPARE(nPageThen, 0);
    QCOMPARE(PdfLines(Pdf(QStringLiteral("slow.pdf")), 2), QStringList({QStringLiteral("slow")}));
}

void tst_ReportEngine::pageWithoutWidthIsA4()
{
    const QString sXml = QStringLiteral("<Reports><Report>%1</Report></Reports>")
                             .arg(Band(QStringLiteral("ReportTitle"), 24,
                                       Label(QStringLiteral("title"), 0, 0, 100, 24)));
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("plain.xml"), sXml)));
    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("plain.pdf"))));
    const QSizeF size = PdfPageSize(Pdf(QStringLiteral("plain.pdf")));
    QVERIFY2(qAbs(size.width() - 595.28) < 1 && qAbs(size.height() - 841.89) < 1,
             qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
    QCOMPARE(PdfLines(Pdf(QStringLiteral("plain.pdf")), 1), QStringList({QStringLiteral("title")}));
}

void tst_ReportEngine::landscapePage()
{
    // The designer keeps the portrait size and sets the orientation.
    QString sXml = Document(
        Page(Band(QStringLiteral("ReportTitle"), 24, Label(QStringLiteral("wide"), 0, 0, 1000, 24)),
             QStringLiteral("orientation=\"1\"")));
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("landscape.xml"), sXml)));
    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("landscape.pdf"))));
    const QSizeF size = PdfPageSize(Pdf(QStringLiteral("landscape.pdf")));
    QVERIFY2(qAbs(size.width() - 841.89) < 1 && qAbs(size.height() - 595.28) < 1,
             qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
    QCOMPARE(PdfLines(Pdf(QStringLiteral("landscape.pdf")), 1),
             QStringList({QStringLiteral("wide")}));
}

// A preview keeps the sheet it started with: a landscape page after a
// portrait one is shown turned on it, at its full size, not squeezed.
void tst_ReportEngine::previewTurnsLandscapePage()
{
    const QString sBar = QStringLiteral(
        "<item type=\"reactangle\" left=\"0\" top=\"0\" width=\"1108\" height=\"60\" "
        "backgroundColor=\"rgba(0,0,0,255)\" borderColor=\"rgba(0,0,0,255)\"/>");
    const QString sXml = Document(
        Page(Band(QStringLiteral("ReportTitle"), 24,
                  Label(QStringLiteral("portrait"), 0, 0, 300, 24))) +
        Page(Band(QStringLiteral("PageHeader"), 60, sBar), QStringLiteral("orientation=\"1\"")));
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("turned.xml"), sXml)));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    QPrintPreviewWidget preview(&printer);
    connect(&preview, &QPrintPreviewWidget::paintRequested, &engine, &ReportEngine::printPreview);
    preview.resize(500, 700);
    preview.setViewMode(QPrintPreviewWidget::SinglePageView);
    preview.show();
    preview.updatePreview();
    QCOMPARE(preview.pageCount(), 2);
    preview.setCurrentPage(2);
    preview.fitInView();
    QCoreApplication::processEvents();
    const QImage image = preview.grab().toImage();

    // The sheet in view is the longest white run down the middle (the view
    // may show a strip of the first page too); the bar is what is black on it.
    const auto white = [&image](int x, int y) { return image.pixel(x, y) == qRgb(255, 255, 255); };
    int nTop = 0;
    int nBottom = -1;
    for (int y = 0, nStart = 0; y <= image.height(); ++y) {
        if (y < image.height() && white(image.width() / 2, y))
            continue;
        if (y - 1 - nStart > nBottom - nTop) {
            nTop = nStart;
            nBottom = y - 1;
        }
        nStart = y + 1;
    }
    QRect sheet;
    for (int y = nTop; y <= nBottom; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (white(x, y))
                sheet |= QRect(x, y, 1, 1);
        }
    }
    QRect bar;
    const QRect inside = sheet.adjusted(2, 2, -2, -2);
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 40)
                bar |= QRect(x, y, 1, 1);
        }
    }
    const QString sWhere = QStringLiteral("sheet %1,%2 %3x%4, bar %5,%6 %7x%8")
                               .arg(sheet.x())
                               .arg(sheet.y())
                               .arg(sheet.width())
                               .arg(sheet.height())
                               .arg(bar.x())
                               .arg(bar.y())
                               .arg(bar.width())
                               .arg(bar.height());
    QVERIFY2(sheet.height() > sheet.width() && sheet.width() > 100, qPrintable(sWhere));
    // Turned: along the sheet's height, near its right edge (the page's top).
    QVERIFY2(bar.height() > 0.85 * sheet.height(), qPrintable(sWhere));
    // Its thickness follows the printer's margins (wider on Windows printers): unturned it
    // would span the sheet's width.
    QVERIFY2(bar.width() < 0.2 * sheet.width(), qPrintable(sWhere));
    QVERIFY2(sheet.right() - bar.right() < 0.1 * sheet.width(), qPrintable(sWhere));
}

// HTML has no sheets, but each page's text is measured at that page's width:
// a line that fits across a landscape page does not make its row grow.
void tst_ReportEngine::htmlMeasuresEachPageAtItsWidth()
{
    // About 620 pt in DejaVu Sans 10: one line across the landscape field
    // (700 pt), 16 units high; two lines, more than the row's 20, if it were
    // measured on a portrait sheet (485 pt across).
    const QString sLong =
        QStringLiteral("Lorem ipsum dolor sit amet Lorem ipsum dolor sit amet Lorem ipsum dolor "
                       "sit amet Lorem ipsum dolor sit amet consectetur");
    const QString sXml =
        Document(Page(Band(QStringLiteral("ReportTitle"), 24,
                           Label(QStringLiteral("portrait"), 0, 0, 300, 24))) +
                 Page(Band(QStringLiteral("MasterData"), 20,
                           Label(sLong, 0, 0, 1000, 20, QStringLiteral("autoHeight=\"1\""))) +
                          Band(QStringLiteral("MasterFooter"), 24,
                               Label(QStringLiteral("after"), 0, 0, 300, 24)),
                      QStringLiteral("orientation=\"1\"")));
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("measure.xml"), sXml)));
    DataProvider data(&engine);
    data.counts[1] = 1;
    const QString sPath = m_dir.filePath(QStringLiteral("measure.html"));
    QVERIFY(engine.exportToHtml(sPath));
    const auto divisions = HtmlDivisions(ReadText(sPath));
    QCOMPARE(divisions.size(), 3);
    QCOMPARE(divisions.at(1).first, sLong);
    QCOMPARE(StyleNumber(divisions.at(1).second, QStringLiteral("height")), 20);
    QCOMPARE(StyleNumber(divisions.at(2).second, QStringLiteral("top")) -
                 StyleNumber(divisions.at(1).second, QStringLiteral("top")),
             20);
}

void tst_ReportEngine::watermarkAndBorder()
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::black);
    const QString sPage =
        QStringLiteral("watermark=\"1\" watermarkOpacity=\"%1\" watermarkPixmap=\"%2\" "
                       "border=\"1\" borderWidth=\"4\"");
    for (const QString &sOpacity : {QStringLiteral("1"), QStringLiteral("0")}) {
        ReportEngine engine;
        QVERIFY(engine.loadTemplate(
            Template(QStringLiteral("watermark.xml"),
                     Document(Page(Band(QStringLiteral("ReportTitle"), 24,
                                        Label(QStringLiteral("t"), 0, 0, 100, 24)) +
                                       Band(QStringLiteral("MasterData"), 600,
                                            Label(QStringLiteral("r"), 0, 0, 100, 24)),
                                   sPage.arg(sOpacity, PngBase64(image)))))));
        DataProvider data(&engine);
        data.counts[1] = 2; // two sheets
        const QString sPdf = Pdf(QStringLiteral("watermark-%1.pdf").arg(sOpacity));
        QVERIFY(engine.exportToPdf(sPdf));
        QCOMPARE(PdfPageCount(sPdf), 2);
        // The picture covers the middle of the page only when opaque.
        const double dMiddle = DarkShare(sPdf, QRect(100, 200, 50, 50));
        QCOMPARE(dMiddle > 0.9, sOpacity == QLatin1String("1"));
        QCOMPARE(dMiddle < 0.1, sOpacity == QLatin1String("0"));
        // The frame runs about 2 mm inside the paper's left edge, on the
        // report page's first sheet.
        QVERIFY(DarkShare(sPdf, QRect(2, 300, 2, 100)) > 0.4);
        QVERIFY(DarkShare(sPdf, QRect(2, 300, 2, 100), 2) < 0.1);
        QCOMPARE(DarkShare(sPdf, QRect(100, 200, 50, 50), 2) > 0.9, sOpacity == QLatin1String("1"));
    }
}

// The frame marks where a report page begins: it is drawn on the first sheet
// of each report page that has one, not on the sheets that continue it.
void tst_ReportEngine::pageBorderOnFirstSheetOnly()
{
    const QString sFramed = QStringLiteral("border=\"1\" borderWidth=\"4\"");
    const QString sXml = Document(
        Page(Band(QStringLiteral("MasterData"), 600, Label(QStringLiteral("a"), 200, 0, 100, 24)),
             sFramed) +
        Page(Band(QStringLiteral("MasterData"), 24, Label(QStringLiteral("b"), 200, 0, 100, 24)),
             sFramed) +
        Page(Band(QStringLiteral("MasterData"), 24, Label(QStringLiteral("c"), 200, 0, 100, 24))));
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("frames.xml"), sXml)));
    DataProvider data(&engine);
    data.counts[1] = 2; // the first report page takes two sheets
    const QString sPdf = Pdf(QStringLiteral("frames.pdf"));
    QVERIFY(engine.exportToPdf(sPdf));
    QCOMPARE(PdfPageCount(sPdf), 4);
    const QList<bool> lstFramed{true, false, true, false};
    for (int nSheet = 1; nSheet <= 4; ++nSheet) {
        // About 2 mm inside the paper's left edge.
        const double dLeft = DarkShare(sPdf, QRect(2, 300, 2, 100), nSheet);
        QVERIFY2((dLeft > 0.4) == lstFramed.at(nSheet - 1),
                 qPrintable(QStringLiteral("sheet %1: %2").arg(nSheet).arg(dLeft)));
    }
}

void tst_ReportEngine::sqlDataSource()
{
    // Qt for Windows is built without SQL drivers.
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        QSKIP("no SQLite driver in this Qt");
    const QString sDb = m_dir.filePath(QStringLiteral("parts.sqlite"));
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("setup"));
        db.setDatabaseName(sDb);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec(QStringLiteral("CREATE TABLE parts (name TEXT, qty INTEGER)")));
        QVERIFY(query.exec(
            QStringLiteral("INSERT INTO parts VALUES ('gear', 3), ('belt', 1), ('pump', 2)")));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("setup"));
    const QString sXml = Document(Page(
        Band(QStringLiteral("MasterData"), 24,
             Label(QStringLiteral("[stock.name] x[stock.qty]"), 0, 0, 500, 24),
             QStringLiteral("dataSourceName=\"stock\"")) +
        QStringLiteral("<DataSource type=\"SQL\" name=\"stock\" dbType=\"QSQLITE\" dbName=\"%1\" "
                       "value=\"SELECT name, qty FROM parts ORDER BY qty\"/>")
            .arg(sDb.toHtmlEscaped())));
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("sql.xml"), sXml)));
    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("sql.pdf"))));
    QCOMPARE(PdfLines(Pdf(QStringLiteral("sql.pdf")), 1),
             QStringList({QStringLiteral("belt x1"), QStringLiteral("pump x2"),
                          QStringLiteral("gear x3")}));
}

void tst_ReportEngine::rectangleSpelling_data()
{
    QTest::addColumn<QString>("sType");
    QTest::addColumn<bool>("bShape");
    QTest::newRow("reactangle") << QStringLiteral("reactangle") << true;
    QTest::newRow("rectangle") << QStringLiteral("rectangle") << false;
}

// The frame of a shape is drawn from borderColor; a text field has no frame
// from it but prints its value.
void tst_ReportEngine::rectangleSpelling()
{
    QFETCH(QString, sType);
    QFETCH(bool, bShape);
    const QString sField = QStringLiteral("<f type=\"%1\" value=\"SHAPETEXT\" left=\"0\" top=\"0\" "
                                          "width=\"400\" height=\"400\" borderWidth=\"12\" "
                                          "borderColor=\"rgba(0,0,0,255)\" fontSize=\"10\"/>")
                               .arg(sType);
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(
        Template(QStringLiteral("shape.xml"),
                 Document(Page(Band(QStringLiteral("ReportTitle"), 400, sField))))));
    const QString sPdf = Pdf(QStringLiteral("shape-%1.pdf").arg(sType));
    QVERIFY(engine.exportToPdf(sPdf));
    QCOMPARE(PdfText(sPdf, 1).contains(QStringLiteral("SHAPETEXT")), !bShape);
    // At 36 dpi the printable area starts at 10 mm (14 px); the left edge of
    // the 100 mm square runs down x = 14.
    const double dEdge = DarkShare(sPdf, QRect(13, 30, 3, 100));
    QVERIFY(dEdge >= 0);
    QCOMPARE(dEdge > 0.5, bShape);
}

void tst_ReportEngine::placeholdersAndConditions()
{
    const QString sFields =
        Label(QStringLiteral("Brand:[VehicleName]"), 0, 0, 700, 24) +
        Label(QStringLiteral("A[Missing]B"), 0, 24, 700, 24) +
        Label(QStringLiteral("if ([n] &lt-; 5) 'small'; else 'big';"), 0, 48, 700, 24) +
        Label(QStringLiteral("[n] [n]"), 0, 72, 700, 24);
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(
        Template(QStringLiteral("values.xml"),
                 Document(Page(Band(QStringLiteral("MasterData"), 96, sFields))))));
    DataProvider data(&engine);
    data.counts[1] = 2;
    data.value = [](int nRecNo, const QString &sName) -> QVariant {
        if (sName == QLatin1String("VehicleName"))
            return QStringLiteral("Audi A4");
        if (sName == QLatin1String("n"))
            return nRecNo * 10;
        return QVariant();
    };
    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("values.pdf"))));
    QCOMPARE(
        PdfLines(Pdf(QStringLiteral("values.pdf")), 1),
        QStringList({QStringLiteral("Brand:Audi A4"), QStringLiteral("AB"), QStringLiteral("small"),
                     QStringLiteral("0 0"), QStringLiteral("Brand:Audi A4"), QStringLiteral("AB"),
                     QStringLiteral("big"), QStringLiteral("10 10")}));
}

void tst_ReportEngine::sumInMasterFooter()
{
    const QString sXml = Document(Page(
        Band(QStringLiteral("MasterData"), 24, Label(QStringLiteral("[price]"), 0, 0, 300, 24)) +
        Band(QStringLiteral("MasterFooter"), 24,
             Label(QStringLiteral("Total: SUM([price]) Avg: AVG([price]) Max: MAX([price]) Rows: "
                                  "COUNT([price])"),
                   0, 0, 700, 24)) +
        Band(QStringLiteral("ReportSummary"), 24,
             Label(QStringLiteral("Min: min([price])"), 0, 0, 700, 24))));
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("sum.xml"), sXml)));
    DataProvider data(&engine);
    data.counts[1] = 4;
    data.value = [](int nRecNo, const QString &) -> QVariant { return (nRecNo + 1) * 10.5; };
    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("sum.pdf"))));
    const QStringList slLines = PdfLines(Pdf(QStringLiteral("sum.pdf")), 1);
    QCOMPARE(slLines.mid(4), QStringList({QStringLiteral("Total: 105 Avg: 26.25 Max: 42 Rows: 4"),
                                          QStringLiteral("Min: 10.5")}));
}

void tst_ReportEngine::printingConditionHidesField()
{
    const QString sFields =
        Label(QStringLiteral("shown [n]"), 0, 0, 300, 24, QStringLiteral("printing=\"[n] == 1\"")) +
        Label(QStringLiteral("never"), 300, 0, 300, 24, QStringLiteral("printing=\"0\""));
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(
        Template(QStringLiteral("printing.xml"),
                 Document(Page(Band(QStringLiteral("MasterData"), 24, sFields))))));
    DataProvider data(&engine);
    data.counts[1] = 3;
    data.value = RowValue;
    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("printing.pdf"))));
    QCOMPARE(PdfLines(Pdf(QStringLiteral("printing.pdf")), 1),
             QStringList({QStringLiteral("shown 1")}));
}

void tst_ReportEngine::highlightingSetsBoldAndColour()
{
    const QString sRule =
        QStringLiteral("bold=[n] &gt+; 5;fontColor=[n] &gt+; 5 ? QColor(255,0,0) : '';"
                       "backgroundColor=[n] == 0 ? 'rgba(0,0,255,255)' : ''");
    const QString sFields = Label(QStringLiteral("v[n]"), 0, 0, 300, 24,
                                  QStringLiteral("highlighting=\"%1\"").arg(sRule.toHtmlEscaped()));
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(
        Template(QStringLiteral("highlight.xml"),
                 Document(Page(Band(QStringLiteral("MasterData"), 24, sFields))))));
    DataProvider data(&engine);
    data.counts[1] = 2;
    data.value = [](int nRecNo, const QString &) -> QVariant { return nRecNo * 10; };
    const QString sHtml = m_dir.filePath(QStringLiteral("highlight.html"));
    QVERIFY(engine.exportToHtml(sHtml));
    const auto divisions = HtmlDivisions(ReadText(sHtml));
    QCOMPARE(divisions.size(), 2);
    QCOMPARE(divisions.at(0).first, QStringLiteral("v0"));
    QVERIFY(divisions.at(0).second.startsWith(QStringLiteral("color:#000000;background:#0000ff;")));
    QVERIFY(!divisions.at(0).second.contains(QStringLiteral("font-weight: bold;")));
    QCOMPARE(divisions.at(1).first, QStringLiteral("v10"));
    QVERIFY(
        divisions.at(1).second.startsWith(QStringLiteral("color:#ff0000;background:transparent;")));
    QVERIFY(divisions.at(1).second.endsWith(QStringLiteral("font-weight: bold;")));
}

void tst_ReportEngine::htmlExportIsOneSheet()
{
    const QString sXml = Document(Page(
        Band(QStringLiteral("PageHeader"), 24, Label(QStringLiteral("PAGEHEAD"), 0, 0, 300, 24)) +
        Band(QStringLiteral("ReportTitle"), 50,
             Label(QStringLiteral("Title <b>bold</b> & <script>"), 10, 20, 300, 24,
                   QStringLiteral("aligmentH=\"hRight\" fontBold=\"1\" fontSize=\"12\" "
                                  "borderLeft=\"rgba(18,52,86,255)\""))) +
        Band(QStringLiteral("MasterData"), 24, Label(QStringLiteral("row [n]"), 5, 0, 300, 24)) +
        Band(QStringLiteral("PageFooter"), 24,
             Label(QStringLiteral("<Page> / <TotalPages>"), 0, 0, 300, 24))));
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("html.xml"), sXml)));
    DataProvider data(&engine);
    data.counts[1] = 60; // two pages on paper
    data.value = RowValue;
    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("html.pdf"))));
    QCOMPARE(PdfPageCount(Pdf(QStringLiteral("html.pdf"))), 2);

    const QString sPath = m_dir.filePath(QStringLiteral("report.html"));
    QVERIFY(engine.exportToHtml(sPath));
    const QString sHtml = ReadText(sPath);
    QVERIFY(sHtml.startsWith(QStringLiteral("<HTML><HEAD><meta charset=\"UTF-8\"></HEAD><BODY>")));
    QVERIFY(sHtml.endsWith(QStringLiteral("</BODY></HTML>")));
    QCOMPARE(sHtml.count(QStringLiteral("<BODY>")), 1);
    QVERIFY(!sHtml.contains(QStringLiteral("PAGEHEAD")));
    QVERIFY(!sHtml.contains(QStringLiteral(" / ")));
    const auto divisions = HtmlDivisions(sHtml);
    QCOMPARE(divisions.size(), 61);
    QCOMPARE(divisions.at(0).first, QStringLiteral("Title <b>bold</b> &amp; &lt;script&gt;"));
    QCOMPARE(
        divisions.at(0).second,
        QStringLiteral("color:#000000;background:transparent;border-left: solid thin #123456;"
                       "border-right: solid thin transparent;border-top: solid thin transparent;"
                       "border-bottom: solid thin transparent;text-align:right;font-size:17px;"
                       "position: absolute; left: 10;top: 20;width: 300;height: 24;"
                       "font-weight: bold;"));
    // One continuous sheet: the rows go on downwards past the page height.
    for (int i = 1; i < divisions.size(); ++i) {
        QCOMPARE(divisions.at(i).first, QStringLiteral("row %1").arg(i - 1));
        QCOMPARE(StyleNumber(divisions.at(i).second, QStringLiteral("top")), 50 + (i - 1) * 24);
        QCOMPARE(StyleNumber(divisions.at(i).second, QStringLiteral("left")), 5);
    }
}

void tst_ReportEngine::htmlExportUnwritableFile()
{
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("unwritable.xml"), TableTemplate())));
    m_openedUrls.clear();
    QVERIFY(!engine.exportToHtml(m_dir.filePath(QStringLiteral("no/such/dir/x.html")), true));
    QVERIFY(m_openedUrls.isEmpty());
}

void tst_ReportEngine::exportToPdfOpensFile()
{
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("open.xml"), TableTemplate())));
    DataProvider data(&engine);
    data.counts[1] = 1;
    data.value = RowValue;
    m_openedUrls.clear();
    // A name with characters that a URL would otherwise misread.
    const QString sPath = m_dir.filePath(QStringLiteral("report #1 100%.pdf"));
    QVERIFY(engine.exportToPdf(sPath, true));
    QCOMPARE(PdfPageCount(sPath), 1);
    QCOMPARE(m_openedUrls.size(), 1);
    QCOMPARE(m_openedUrls.first().scheme(), QStringLiteral("file"));
    QCOMPARE(m_openedUrls.first().toLocalFile(), sPath);

    m_openedUrls.clear();
    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("closed.pdf")), false));
    QVERIFY(m_openedUrls.isEmpty());
    QVERIFY(!engine.exportToPdf(m_dir.filePath(QStringLiteral("missing/dir/x.pdf")), true));
    QVERIFY(m_openedUrls.isEmpty());
}

void tst_ReportEngine::exportToPdfWithoutTemplate()
{
    ReportEngine engine;
    m_openedUrls.clear();
    QVERIFY(!engine.exportToPdf(Pdf(QStringLiteral("none.pdf")), true));
    QVERIFY(!QFile::exists(Pdf(QStringLiteral("none.pdf"))));
    QVERIFY(m_openedUrls.isEmpty());
    QVERIFY(!engine.loadTemplate(
        Template(QStringLiteral("broken.xml"), QStringLiteral("<Reports><Report>"))));
    QVERIFY(!engine.exportToPdf(Pdf(QStringLiteral("broken.pdf"))));
}

void tst_ReportEngine::signalsDuringRendering()
{
    const QString sXml = Document(
        Page(Band(QStringLiteral("MasterData"), 24, Label(QStringLiteral("a[n]"), 0, 0, 100, 24),
                  QStringLiteral("bandNo=\"1\"")) +
             Band(QStringLiteral("MasterData"), 24, Label(QStringLiteral("b[n]"), 0, 0, 100, 24),
                  QStringLiteral("bandNo=\"2\" dataSourceName=\"second\""))) +
        Page(Band(QStringLiteral("MasterData"), 24, Label(QStringLiteral("c[n]"), 0, 0, 100, 24))));
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("signals.xml"), sXml)));
    DataProvider data(&engine);
    data.counts[1] = 2;
    data.counts[2] = 1;
    data.value = RowValue;
    QStringList slFields;
    QList<int> pages;
    connect(&engine, &ReportEngine::setField, this, [&](ReportFieldObject &field) {
        slFields.append(field.sValue);
        if (field.sValue == QLatin1String("c[n]"))
            field.sValue = QStringLiteral("changed [n]");
    });
    connect(&engine, &ReportEngine::newPage, this, [&](int nPage) { pages.append(nPage); });
    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("signals.pdf"))));

    QCOMPARE(data.dsInfos.size(), 3);
    QCOMPARE(data.dsInfos.at(0).reportPage, 0);
    QCOMPARE(data.dsInfos.at(0).dataBandNo, 1);
    QCOMPARE(data.dsInfos.at(0).dataSetName, QString());
    QCOMPARE(data.dsInfos.at(1).dataBandNo, 2);
    QCOMPARE(data.dsInfos.at(1).dataSetName, QStringLiteral("second"));
    QCOMPARE(data.dsInfos.at(2).reportPage, 1);
    QCOMPARE(data.dsInfos.at(2).dataBandNo, 1);
    QCOMPARE(engine.DataSets().size(), 3);
    QCOMPARE(slFields,
             QStringList({QStringLiteral("a[n]"), QStringLiteral("b[n]"), QStringLiteral("c[n]")}));
    QCOMPARE(pages, QList<int>({2}));
    QCOMPARE(PdfLines(Pdf(QStringLiteral("signals.pdf")), 1),
             QStringList({QStringLiteral("a0"), QStringLiteral("a1"), QStringLiteral("b0")}));
    // A change made in setField shows in the drawing pass.
    QCOMPARE(PdfLines(Pdf(QStringLiteral("signals.pdf")), 2),
             QStringList({QStringLiteral("changed 0"), QStringLiteral("changed 1")}));
}

void tst_ReportEngine::scriptHidesPageAndMovesField()
{
    const QString sScript = QStringLiteral(
        "ReportEngine.page(1).visible = false;\n"
        "function cellBeforeData() { cell.setLeft(cell.getLeft() + 400); cell.left = cell.left; "
        "cell.fontColor = 'rgba(0,128,0,255)'; }\n"
        "function cellAfterData() { cell.left = 0; }\n");
    const QString sCell =
        QStringLiteral("<c type=\"label\" name=\"cell\" value=\"&lt;LineNo&gt;/&lt;LineCount&gt;: "
                       "NumberToWords\" left=\"0\" top=\"0\" width=\"300\" "
                       "height=\"24\"/>");
    const QString sWords =
        Label(QStringLiteral("if (true) NumberToWords('ENG', [n] + 40);"), 0, 24, 500, 24);
    const QString sXml =
        Document(Page(Band(QStringLiteral("MasterData"), 48, sCell + sWords)) +
                     Page(Band(QStringLiteral("ReportTitle"), 24,
                               Label(QStringLiteral("hidden page"), 0, 0, 300, 24))),
                 sScript);
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("script.xml"), sXml)));
    DataProvider data(&engine);
    data.counts[1] = 3;
    data.value = [](int nRecNo, const QString &) -> QVariant { return nRecNo; };
    const QString sHtml = m_dir.filePath(QStringLiteral("script.html"));
    QVERIFY(engine.exportToHtml(sHtml));
    const auto divisions = HtmlDivisions(ReadText(sHtml));
    QCOMPARE(divisions.size(), 6);
    QCOMPARE(divisions.at(0).first, QStringLiteral("1/3: NumberToWords"));
    QCOMPARE(StyleNumber(divisions.at(0).second, QStringLiteral("left")), 400);
    QVERIFY(divisions.at(0).second.startsWith(QStringLiteral("color:#008000;")));
    QCOMPARE(divisions.at(1).first, QStringLiteral("forty"));
    QCOMPARE(divisions.at(3).first, QStringLiteral("forty-one"));
    QCOMPARE(divisions.at(4).first, QStringLiteral("3/3: NumberToWords"));

    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("script.pdf"))));
    QCOMPARE(PdfPageCount(Pdf(QStringLiteral("script.pdf"))), 1);
    QCOMPARE(engine.TotalPages(), 1);
}

// A page the script hides is still asked for its record counts and offered
// its fields, like every page: a script that shows it again before it is
// drawn then finds its data.
void tst_ReportEngine::hiddenPageIsAskedForItsData()
{
    const QString sScript =
        QStringLiteral("ReportEngine.page(1).visible = false;\n"
                       "function showBeforeData() { if (ReportEngine.totalPages > 0) "
                       "ReportEngine.page(1).visible = true; }\n");
    const QString sXml = Document(
        Page(Band(QStringLiteral("ReportTitle"), 24,
                  Label(QStringLiteral("first"), 0, 0, 300, 24, QStringLiteral("name=\"show\"")))) +
            Page(Band(QStringLiteral("MasterData"), 24,
                      Label(QStringLiteral("hidden [n]"), 0, 0, 300, 24,
                            QStringLiteral("name=\"hiddenCell\"")))),
        sScript);
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("hidden.xml"), sXml)));
    DataProvider data(&engine);
    data.counts[1] = 2;
    data.value = RowValue;
    QStringList slFields;
    connect(&engine, &ReportEngine::setField, this,
            [&](ReportFieldObject &field) { slFields.append(field.objectName()); });
    const QString sPdf = Pdf(QStringLiteral("hidden.pdf"));
    QVERIFY(engine.exportToPdf(sPdf));

    QList<int> lstAsked;
    for (const DataSetInfo &info : qAsConst(data.dsInfos))
        lstAsked.append(info.reportPage);
    QCOMPARE(lstAsked, QList<int>({1}));
    QCOMPARE(slFields, QStringList({QStringLiteral("show"), QStringLiteral("hiddenCell")}));
    QCOMPARE(PdfPageCount(sPdf), 2);
    QCOMPARE(PdfLines(sPdf, 2),
             QStringList({QStringLiteral("hidden 0"), QStringLiteral("hidden 1")}));
}

// The objects a template's script sees belong to the rendering: the script
// may not delete them behind its back.
void tst_ReportEngine::scriptCannotDeleteTheObjects()
{
    const QString sXml = Document(
        Page(Band(QStringLiteral("ReportTitle"), 24,
                  Label(QStringLiteral("title"), 0, 0, 300, 24, QStringLiteral("name=\"cell\"")))),
        QStringLiteral("function cellBeforeData() { cell.deleteLater(); }\n"
                       "ReportEngine.deleteLater();\n"));
    auto *pEngine = new ReportEngine;
    const QPointer<ReportEngine> guard(pEngine);
    QVERIFY(pEngine->loadTemplate(Template(QStringLiteral("delete.xml"), sXml)));
    for (const QString &sName : {QStringLiteral("delete1.pdf"), QStringLiteral("delete2.pdf")}) {
        QVERIFY(pEngine->exportToPdf(Pdf(sName)));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(guard);
        QCOMPARE(PdfLines(Pdf(sName), 1), QStringList({QStringLiteral("title")}));
    }
    delete pEngine;
}

void tst_ReportEngine::groupsWithNumbering()
{
    const QString sXml =
        Document(Page(Band(QStringLiteral("DataGroupHeader"), 24,
                           Label(QStringLiteral("Group [cat]"), 0, 0, 300, 24),
                           QStringLiteral("startNewNumeration=\"1\"")) +
                      Band(QStringLiteral("MasterData"), 24,
                           Label(QStringLiteral("<LineNo>. [price]"), 0, 0, 300, 24),
                           QStringLiteral("groupingField=\"cat\"")) +
                      // The footer speaks of its own group: its fields and
                      // its printing condition see the group's last record.
                      Band(QStringLiteral("DataGroupFooter"), 24,
                           Label(QStringLiteral("Subtotal [cat] SUM([price])"), 0, 0, 300, 24) +
                               Label(QStringLiteral("last [price]"), 300, 0, 200, 24) +
                               Label(QStringLiteral("only in A"), 500, 0, 200, 24,
                                     QStringLiteral("printing=\"'[cat]' == 'A'\""))) +
                      Band(QStringLiteral("MasterFooter"), 24,
                           Label(QStringLiteral("Total SUM([price])"), 0, 0, 300, 24))));
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("groups.xml"), sXml)));
    DataProvider data(&engine);
    data.counts[1] = 5;
    data.value = [](int nRecNo, const QString &sName) -> QVariant {
        if (sName == QLatin1String("cat"))
            return nRecNo < 3 ? QStringLiteral("A") : QStringLiteral("B");
        return (nRecNo + 1) * 100;
    };
    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("groups.pdf"))));
    QCOMPARE(
        PdfLines(Pdf(QStringLiteral("groups.pdf")), 1),
        QStringList({QStringLiteral("Group A"), QStringLiteral("1. 100"), QStringLiteral("2. 200"),
                     QStringLiteral("3. 300"), QStringLiteral("Subtotal A 600 last 300 only in A"),
                     QStringLiteral("Group B"), QStringLiteral("1. 400"), QStringLiteral("2. 500"),
                     QStringLiteral("Subtotal B 900 last 500"), QStringLiteral("Total 1500")}));
}

void tst_ReportEngine::inlineDataSource()
{
    const QString sXml = Document(Page(
        Band(QStringLiteral("MasterData"), 24,
             Label(QStringLiteral("[parts.name]: [parts.qty] [other]"), 0, 0, 500, 24),
             QStringLiteral("dataSourceName=\"parts\"")) +
        QStringLiteral("<DataSource type=\"INLINE\" name=\"parts\" delimiter=\";\" rowCount=\"2\" "
                       "value=\"name;qty&#10;bolt;4&#10;nut;7&#10;washer;9\"/>")));
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("inline.xml"), sXml)));
    DataProvider data(&engine);
    data.value = [](int, const QString &sName) -> QVariant { return sName.toUpper(); };
    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("inline.pdf"))));
    QCOMPARE(PdfLines(Pdf(QStringLiteral("inline.pdf")), 1),
             QStringList({QStringLiteral("bolt: 4 OTHER"), QStringLiteral("nut: 7 OTHER")}));
    QCOMPARE(data.slAsked.filter(QStringLiteral("parts.")), QStringList());
}

void tst_ReportEngine::printerPageRange()
{
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("range.xml"), TableTemplate())));
    DataProvider data(&engine);
    data.counts[1] = 100;
    data.value = RowValue;
    const auto pPrinter = PdfPrinter(Pdf(QStringLiteral("range.pdf")));
    pPrinter->setFromTo(2, 2);
    engine.printPreview(pPrinter.get());
    QCOMPARE(PdfPageCount(Pdf(QStringLiteral("range.pdf"))), 1);
    const QStringList slLines = PdfLines(Pdf(QStringLiteral("range.pdf")), 1);
    QCOMPARE(slLines.at(1), QStringLiteral("row 44"));
    QCOMPARE(slLines.last(), QStringLiteral("2 / 3"));
}

// A print of pages 2 to 2, where page 2 is landscape, comes out on a
// landscape sheet, as the whole report would print it.
void tst_ReportEngine::pageRangeStartsOnLandscapePage()
{
    const QString sXml = Document(
        Page(Band(QStringLiteral("ReportTitle"), 24,
                  Label(QStringLiteral("first"), 0, 0, 300, 24))) +
        Page(Band(QStringLiteral("MasterData"), 24, Label(QStringLiteral("second"), 0, 0, 300, 24)),
             QStringLiteral("orientation=\"1\"")));
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("range-landscape.xml"), sXml)));
    DataProvider data(&engine);
    data.counts[1] = 1;
    const QString sPdf = Pdf(QStringLiteral("range-landscape.pdf"));
    const auto pPrinter = PdfPrinter(sPdf);
    pPrinter->setFromTo(2, 2);
    engine.printPreview(pPrinter.get());
    QCOMPARE(PdfPageCount(sPdf), 1);
    const QSizeF size = PdfPageSize(sPdf);
    QVERIFY2(qAbs(size.width() - 841.89) < 1 && qAbs(size.height() - 595.28) < 1,
             qPrintable(QStringLiteral("%1 x %2").arg(size.width()).arg(size.height())));
    QCOMPARE(PdfLines(sPdf, 1), QStringList({QStringLiteral("second")}));
}

void tst_ReportEngine::targetPrinterAdoption()
{
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("target.xml"), TableTemplate())));
    DataProvider data(&engine);
    data.counts[1] = 2;
    data.value = RowValue;
    const auto pFirst = PdfPrinter(Pdf(QStringLiteral("target1.pdf")));
    const auto pSecond = PdfPrinter(Pdf(QStringLiteral("target2.pdf")));

    QVERIFY(engine.setTargetPrinter(pFirst.get()));
    QVERIFY(!engine.setTargetPrinter(pSecond.get()));
    engine.printReport(true, true);
    QCOMPARE(PdfLines(Pdf(QStringLiteral("target1.pdf")), 1).at(1), QStringLiteral("row 0"));
    // The adoption ends with the print: the next one goes to the new printer.
    QVERIFY(engine.setTargetPrinter(pSecond.get()));
    engine.printReport(true, true);
    QCOMPARE(PdfPageCount(Pdf(QStringLiteral("target2.pdf"))), 1);
}

// An HTML export after a PDF export leaves the PDF alone.
void tst_ReportEngine::pdfPrinterNotReusedForHtml()
{
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("keep.xml"), TableTemplate())));
    DataProvider data(&engine);
    data.counts[1] = 60;
    data.value = RowValue;
    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("keep.pdf"))));
    QFile pdf(Pdf(QStringLiteral("keep.pdf")));
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    const QByteArray baBefore = pdf.readAll();
    pdf.close();
    data.counts[1] = 1;
    QVERIFY(engine.exportToHtml(m_dir.filePath(QStringLiteral("keep.html"))));
    QVERIFY(pdf.open(QIODevice::ReadOnly));
    QCOMPARE(pdf.readAll(), baBefore);
    QCOMPARE(PdfPageCount(Pdf(QStringLiteral("keep.pdf"))), 2);
}

// A slot that answers the engine may not pull the template away under it.
void tst_ReportEngine::reentrantCallsAreRefused()
{
    const QString sPath = Template(QStringLiteral("reentrant.xml"), TableTemplate());
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(sPath));
    DataProvider data(&engine);
    data.counts[1] = 3;
    QList<bool> results;
    data.value = [&](int nRecNo, const QString &) -> QVariant {
        results.append(engine.loadTemplate(sPath));
        results.append(engine.exportToPdf(Pdf(QStringLiteral("nested.pdf"))));
        results.append(engine.exportToHtml(Pdf(QStringLiteral("reentrant.pdf"))));
        return nRecNo;
    };
    QVERIFY(engine.exportToPdf(Pdf(QStringLiteral("reentrant.pdf"))));
    QVERIFY(!results.isEmpty());
    QVERIFY(!results.contains(true));
    QVERIFY(!QFile::exists(Pdf(QStringLiteral("nested.pdf"))));
    QCOMPARE(PdfLines(Pdf(QStringLiteral("reentrant.pdf")), 1).at(3), QStringLiteral("row 2"));
}

QTEST_MAIN(tst_ReportEngine)
#include "tst_ReportEngine.moc"
