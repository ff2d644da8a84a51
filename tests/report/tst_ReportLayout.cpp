// Small templates written from the template format alone, rendered to PDF and
// read back with poppler: the number of pages, each page's size and
// orientation, the order of the bands on each page and the text of every field.

#include "ReportTestUtil.h"

#include "report/ReportEngine.h"

#include <QRegularExpression>
#include <QtTest>

using namespace ReportTest;

namespace
{
struct PageExpectation {
    double dWidthPt;
    double dHeightPt;
    QStringList slLines; // top to bottom, the words of a line joined by a blank
};
using PageList = QList<PageExpectation>;

const double kA4Short = 595.3;
const double kA4Long = 841.9;

// A field as the designer writes it; the element name is not read.
QString Cell(const QString &sValue, int nLeft, int nWidth, int nHeight,
             const QString &sExtra = QString())
{
    return QStringLiteral("<cell type=\"label\" value=\"%1\" left=\"%2\" top=\"0\" width=\"%3\" "
                          "height=\"%4\" fontFamily=\"DejaVu Sans\" fontSize=\"9\" "
                          "fontColor=\"rgba(0,0,0,255)\" aligmentH=\"hLeft\" aligmentV=\"vCenter\" "
                          "borderTop=\"rgba(90,90,90,255)\" borderWidth=\"1px\" %5/>")
        .arg(sValue.toHtmlEscaped())
        .arg(nLeft)
        .arg(nWidth)
        .arg(nHeight)
        .arg(sExtra);
}

QString BandOf(const QString &sType, int nHeight, const QString &sFields,
               const QString &sExtra = QString())
{
    return QStringLiteral("<ReportBand type=\"%1\" name=\"%1\" height=\"%2\" width=\"760\" "
                          "left=\"0\" %3>%4</ReportBand>")
        .arg(sType)
        .arg(nHeight)
        .arg(sExtra, sFields);
}

// A4 with margins of 10 mm unless the attributes say otherwise.
QString ReportPage(const QString &sBands, const QString &sAttributes = QString())
{
    return QStringLiteral("<Report %1>%2</Report>").arg(sAttributes, sBands);
}

QString Reports(const QString &sPages)
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                          "<Reports app=\"hand written\"><Script><![CDATA[]]></Script>%1</Reports>")
        .arg(sPages);
}

// Every data band answers these names for record r (0-based).
QVariant SampleValue(int nRecNo, const QString &sName)
{
    if (sName == QLatin1String("n"))
        return nRecNo + 1;
    if (sName == QLatin1String("name"))
        return QStringLiteral("item%1").arg(nRecNo + 1);
    if (sName == QLatin1String("amount"))
        return (nRecNo + 1) * 10;
    if (sName == QLatin1String("grp"))
        return QStringLiteral("G%1").arg(nRecNo / 3 + 1);
    if (sName == QLatin1String("kind"))
        return QStringLiteral("K");
    return QVariant();
}

QStringList Numbered(const QString &sPattern, int nFrom, int nTo)
{
    QStringList sl;
    for (int i = nFrom; i <= nTo; ++i) {
        const QString sLine = sPattern.arg(i);
        sl << (sLine.contains(QLatin1String("%2")) ? sLine.arg(i * 10) : sLine);
    }
    return sl;
}

// Page sizes in points and rotations, page by page, as pdfinfo reports them.
QList<QPair<QSizeF, int>> PdfPages(const QString &sPath, int nPages)
{
    const QString sInfo =
        RunTool(QStringLiteral("pdfinfo"), {QStringLiteral("-f"), QStringLiteral("1"),
                                            QStringLiteral("-l"), QString::number(nPages), sPath});
    QList<QPair<QSizeF, int>> pages;
    static const QRegularExpression size(
        QStringLiteral("Page\\s+(\\d+) size:\\s+([\\d.]+) x ([\\d.]+) pts"));
    static const QRegularExpression rot(QStringLiteral("Page\\s+(\\d+) rot:\\s+(\\d+)"));
    QRegularExpressionMatchIterator it = size.globalMatch(sInfo);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        pages.append({QSizeF(match.captured(2).toDouble(), match.captured(3).toDouble()), -1});
    }
    it = rot.globalMatch(sInfo);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        const int nPage = match.captured(1).toInt();
        if (nPage >= 1 && nPage <= pages.size())
            pages[nPage - 1].second = match.captured(2).toInt();
    }
    return pages;
}
} // namespace

Q_DECLARE_METATYPE(PageList)

class tst_ReportLayout : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void render_data();
    void render();

private:
    QTemporaryDir m_dir;
};

void tst_ReportLayout::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_dir.setAutoRemove(qEnvironmentVariableIsEmpty("REPORT_TEST_KEEP"));
}

void tst_ReportLayout::render_data()
{
    QTest::addColumn<QString>("sXml");
    QTest::addColumn<QList<int>>("counts"); // record count of band number 1, 2, ...
    QTest::addColumn<PageList>("pages");

    const QString sPageFooter = BandOf(QStringLiteral("PageFooter"), 30,
                                       Cell(QStringLiteral("Page <Page> of <TotalPages>"), 250, 260,
                                            30, QStringLiteral("aligmentH=\"hCenter\"")));

    // Every band kind but the group bands, 60 records: two pages. A4 less
    // margins of 40 leaves 1108; the title page holds 30 rows of 30 between
    // page header, title and table header above and the page footer (and the
    // room for the table footer) below.
    {
        const QString sXml = Reports(ReportPage(
            BandOf(QStringLiteral("PageHeader"), 40,
                   Cell(QStringLiteral("PH page <Page>"), 0, 300, 40)) +
                BandOf(QStringLiteral("ReportTitle"), 60,
                       Cell(QStringLiteral("TITLE Parts list"), 0, 500, 60,
                            QStringLiteral("fontBold=\"1\""))) +
                BandOf(QStringLiteral("MasterHeader"), 30,
                       Cell(QStringLiteral("No"), 0, 201, 30) +
                           Cell(QStringLiteral("Name"), 200, 301, 30) +
                           Cell(QStringLiteral("Amount"), 500, 260, 30)) +
                BandOf(QStringLiteral("MasterData"), 30,
                       Cell(QStringLiteral("<LineNo>"), 0, 201, 30) +
                           Cell(QStringLiteral("[name]"), 200, 301, 30) +
                           Cell(QStringLiteral("[amount]"), 500, 260, 30),
                       QStringLiteral("bandNo=\"1\"")) +
                BandOf(QStringLiteral("MasterFooter"), 30,
                       Cell(QStringLiteral("Total"), 0, 501, 30) +
                           Cell(QStringLiteral("SUM([amount])"), 500, 260, 30)) +
                BandOf(QStringLiteral("ReportSummary"), 40,
                       Cell(QStringLiteral("END OF REPORT"), 0, 400, 40)) +
                sPageFooter,
            QStringLiteral("pageWidth=\"840\" pageHeight=\"1188\" marginsLeft=\"40\" "
                           "marginsRight=\"40\" marginsTop=\"40\" marginsBottom=\"40\"")));
        const QStringList slFirst = QStringList{"PH page 1", "TITLE Parts list", "No Name Amount"} +
                                    Numbered(QStringLiteral("%1 item%1 %2"), 1, 30) +
                                    QStringList{"Page 1 of 2"};
        const QStringList slSecond = QStringList{"PH page 2", "No Name Amount"} +
                                     Numbered(QStringLiteral("%1 item%1 %2"), 31, 60) +
                                     QStringList{"Total 18300", "END OF REPORT", "Page 2 of 2"};
        QTest::newRow("all bands, two pages")
            << sXml << QList<int>{60}
            << PageList{{kA4Short, kA4Long, slFirst}, {kA4Short, kA4Long, slSecond}};
    }

    // Groups of three records; each group footer names its own group.
    {
        const QString sXml = Reports(ReportPage(
            BandOf(QStringLiteral("DataGroupHeader"), 30,
                   Cell(QStringLiteral("Group [grp]"), 0, 300, 30)) +
            BandOf(QStringLiteral("MasterData"), 30,
                   Cell(QStringLiteral("[name]"), 40, 200, 30) +
                       Cell(QStringLiteral("[amount]"), 240, 200, 30),
                   QStringLiteral("groupingField=\"grp\"")) +
            BandOf(QStringLiteral("DataGroupFooter"), 30,
                   Cell(QStringLiteral("End of [grp]: SUM([amount]) in <LineNo>"), 0, 500, 30)) +
            BandOf(QStringLiteral("MasterFooter"), 30,
                   Cell(QStringLiteral("All SUM([amount])"), 0, 500, 30)) +
            sPageFooter));
        QTest::newRow("groups with footers")
            << sXml << QList<int>{7}
            << PageList{{kA4Short,
                         kA4Long,
                         {"Group G1", "item1 10", "item2 20", "item3 30", "End of G1: 60 in 3",
                          "Group G2", "item4 40", "item5 50", "item6 60", "End of G2: 150 in 6",
                          "Group G3", "item7 70", "End of G3: 70 in 7", "All 280", "Page 1 of 1"}}};
    }

    // Three report pages: portrait A4, landscape A4 (the designer keeps the
    // portrait size and sets the orientation), portrait A5. A field at 900
    // lies beyond a portrait page's width.
    {
        const QString sXml =
            Reports(ReportPage(BandOf(QStringLiteral("ReportTitle"), 40,
                                      Cell(QStringLiteral("Portrait page"), 0, 400, 40)) +
                               sPageFooter) +
                    ReportPage(BandOf(QStringLiteral("PageHeader"), 40,
                                      Cell(QStringLiteral("Landscape header"), 0, 300, 40) +
                                          Cell(QStringLiteral("right edge"), 900, 200, 40)) +
                                   BandOf(QStringLiteral("MasterData"), 30,
                                          Cell(QStringLiteral("[name]"), 0, 300, 30) +
                                              Cell(QStringLiteral("far right [n]"), 900, 200, 30),
                                          QStringLiteral("bandNo=\"2\"")) +
                                   sPageFooter,
                               QStringLiteral("orientation=\"1\"")) +
                    ReportPage(BandOf(QStringLiteral("ReportSummary"), 40,
                                      Cell(QStringLiteral("Small page"), 0, 300, 40)) +
                                   sPageFooter,
                               QStringLiteral("pageWidth=\"592\" pageHeight=\"840\"")));
        QTest::newRow("portrait, landscape, A5")
            << sXml << QList<int>{0, 3}
            << PageList{{kA4Short, kA4Long, {"Portrait page", "Page 1 of 3"}},
                        {kA4Long,
                         kA4Short,
                         {"Landscape header right edge", "item1 far right 1", "item2 far right 2",
                          "item3 far right 3", "Page 2 of 3"}},
                        {419.5, kA4Short, {"Small page", "Page 3 of 3"}}};
    }

    // 44 rows of 24 end at 1056; a summary of 48 would reach into the page
    // footer (1078 to 1108): it starts the next page.
    {
        const QString sXml = Reports(ReportPage(
            BandOf(QStringLiteral("MasterData"), 24, Cell(QStringLiteral("row [n]"), 0, 300, 24)) +
            BandOf(QStringLiteral("ReportSummary"), 48,
                   Cell(QStringLiteral("SUMMARY"), 0, 300, 48)) +
            sPageFooter));
        QTest::newRow("summary below a full page")
            << sXml << QList<int>{44}
            << PageList{
                   {kA4Short, kA4Long, Numbered(QStringLiteral("row %1"), 1, 44) << "Page 1 of 2"},
                   {kA4Short, kA4Long, {"SUMMARY", "Page 2 of 2"}}};
    }

    // 43 rows of 24 and the group footer end at 1056; the table footer would
    // reach into the page footer: it starts the next page.
    {
        const QString sXml = Reports(
            ReportPage(BandOf(QStringLiteral("MasterData"), 24,
                              Cell(QStringLiteral("row [n] [amount]"), 0, 300, 24),
                              QStringLiteral("groupingField=\"kind\"")) +
                       BandOf(QStringLiteral("DataGroupFooter"), 24,
                              Cell(QStringLiteral("Kind [kind] SUM([amount])"), 0, 300, 24)) +
                       BandOf(QStringLiteral("MasterFooter"), 24,
                              Cell(QStringLiteral("Grand SUM([amount])"), 0, 300, 24)) +
                       sPageFooter));
        QTest::newRow("table footer below a full page")
            << sXml << QList<int>{43}
            << PageList{{kA4Short, kA4Long,
                         Numbered(QStringLiteral("row %1 %2"), 1, 43) << "Kind K 9460"
                                                                      << "Page 1 of 2"},
                        {kA4Short, kA4Long, {"Grand 9460", "Page 2 of 2"}}};
    }
}

void tst_ReportLayout::render()
{
    QFETCH(QString, sXml);
    QFETCH(QList<int>, counts);
    QFETCH(PageList, pages);
    const QString sName = QString::fromLatin1(QTest::currentDataTag()).replace(' ', '-');
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(WriteFile(m_dir, sName + QStringLiteral(".xml"), sXml)));
    DataProvider data(&engine);
    for (int i = 0; i < counts.size(); ++i)
        data.counts[i + 1] = counts.at(i);
    data.value = SampleValue;
    const QString sPdf = m_dir.filePath(sName + QStringLiteral(".pdf"));
    QVERIFY(engine.exportToPdf(sPdf));

    QCOMPARE(PdfPageCount(sPdf), pages.size());
    const QList<QPair<QSizeF, int>> sizes = PdfPages(sPdf, pages.size());
    QCOMPARE(sizes.size(), pages.size());
    for (int i = 0; i < pages.size(); ++i) {
        const PageExpectation &expected = pages.at(i);
        const QSizeF size = sizes.at(i).first;
        QVERIFY2(qAbs(size.width() - expected.dWidthPt) < 1 &&
                     qAbs(size.height() - expected.dHeightPt) < 1,
                 qPrintable(QStringLiteral("page %1 is %2 x %3 pt")
                                .arg(i + 1)
                                .arg(size.width())
                                .arg(size.height())));
        QCOMPARE(sizes.at(i).second, 0);
        QCOMPARE(PdfLines(sPdf, i + 1), expected.slLines);
    }
}

QTEST_MAIN(tst_ReportLayout)
#include "tst_ReportLayout.moc"
