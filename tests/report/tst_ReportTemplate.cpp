// Template loading: the object model the engine builds from a template, with
// every default, and loadTemplate's results.

#include "ReportTestUtil.h"

#include "report/ReportBand.h"
#include "report/ReportCrossTab.h"
#include "report/ReportDataSource.h"
#include "report/ReportEngine.h"
#include "report/ReportFieldObject.h"
#include "report/ReportPageObject.h"

#include <QDomDocument>
#include <QtTest>

using namespace ReportTest;

namespace
{
QDomElement Element(const QString &sXml)
{
    QDomDocument document;
    document.setContent(sXml);
    return document.documentElement();
}
} // namespace

class tst_ReportTemplate : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void loadResults();
    void pageDefaults();
    void pageAttributes();
    void bandKindsAndOrder_data();
    void bandKindsAndOrder();
    void bandDefaults();
    void fieldKinds_data();
    void fieldKinds();
    void fieldDefaults();
    void fieldAttributes();
    void borderWidthUnits_data();
    void borderWidthUnits();
    void colours_data();
    void colours();
    void penStyles_data();
    void penStyles();
    void scriptableProperties();
    void crossTabAndDataSource();
    void scriptSection();

private:
    QTemporaryDir m_dir;
};

void tst_ReportTemplate::loadResults()
{
    ReportEngine engine;
    QVERIFY(!engine.loadTemplate(m_dir.filePath(QStringLiteral("missing.xml"))));
    QVERIFY(engine.Pages().isEmpty());

    const QString sGood =
        WriteFile(m_dir, QStringLiteral("good.xml"),
                  Document(Page(QString()) + Page(QString()) + QStringLiteral("<Other/>")));
    QVERIFY(engine.loadTemplate(sGood));
    QCOMPARE(engine.Pages().size(), 2);

    // Malformed XML: a warning, no pages, nothing rendered.
    const QString sBad =
        WriteFile(m_dir, QStringLiteral("bad.xml"), QStringLiteral("<Reports><Report>"));
    QTest::ignoreMessage(QtWarningMsg, "Report file not found");
    QVERIFY(!engine.loadTemplate(sBad));
    QVERIFY(engine.Pages().isEmpty());
    QVERIFY(!engine.exportToPdf(m_dir.filePath(QStringLiteral("bad.pdf"))));
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("bad.pdf"))));

    // An unreadable file leaves the loaded template alone.
    QVERIFY(engine.loadTemplate(sGood));
    QVERIFY(!engine.loadTemplate(m_dir.filePath(QStringLiteral("missing.xml"))));
    QCOMPARE(engine.Pages().size(), 2);
}

void tst_ReportTemplate::pageDefaults()
{
    ReportPageObject page;
    page.LoadFromElement(Element(QStringLiteral("<Report/>")));
    QCOMPARE(page.nPageWidth, 840);
    QCOMPARE(page.nPageHeight, 1188);
    QCOMPARE(page.nMarginsLeft, 40);
    QCOMPARE(page.nMarginsRight, 40);
    QCOMPARE(page.nMarginsTop, 40);
    QCOMPARE(page.nMarginsBottom, 40);
    QCOMPARE(page.nOrientation, 0);
    QCOMPARE(page.nPageNo, 1);
    QCOMPARE(page.bBorder, false);
    QCOMPARE(page.nBorderWidth, 1);
    QCOMPARE(page.borderColor, QColor(Qt::black));
    QCOMPARE(page.borderStyle, Qt::SolidLine);
    QCOMPARE(page.bWatermark, false);
    QCOMPARE(page.dWatermarkOpacity, 1.0);
    QVERIFY(page.watermarkPixmap.isNull());
    QVERIFY(page.isVisible());
}

void tst_ReportTemplate::pageAttributes()
{
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ReportPageObject page;
    page.LoadFromElement(
        Element(QStringLiteral(
                    "<Report pageWidth=\"1188\" pageHeight=\"840\" marginsLeft=\"10\" "
                    "marginsRight=\"11\" marginsTop=\"12\" marginsBottom=\"13\" orientation=\"1\" "
                    "pageNo=\"3\" border=\"1\" borderWidth=\"2\" borderColor=\"rgba(1,2,3,255)\" "
                    "borderStyle=\"dashed\" watermark=\"1\" watermarkOpacity=\"0.5\" "
                    "pageFormat=\"A4\" watermarkPixmap=\"%1\"/>")
                    .arg(PngBase64(image))));
    QCOMPARE(page.nPageWidth, 1188);
    QCOMPARE(page.nPageHeight, 840);
    QCOMPARE(page.nMarginsLeft, 10);
    QCOMPARE(page.nMarginsRight, 11);
    QCOMPARE(page.nMarginsTop, 12);
    QCOMPARE(page.nMarginsBottom, 13);
    QCOMPARE(page.nOrientation, 1);
    QCOMPARE(page.nPageNo, 3);
    QVERIFY(page.bBorder);
    QCOMPARE(page.nBorderWidth, 2);
    QCOMPARE(page.borderColor, QColor(1, 2, 3));
    QCOMPARE(page.borderStyle, Qt::DashLine);
    QVERIFY(page.bWatermark);
    QCOMPARE(page.dWatermarkOpacity, 0.5);
    QCOMPARE(page.watermarkPixmap.size(), QSize(4, 4));
}

void tst_ReportTemplate::bandKindsAndOrder_data()
{
    QTest::addColumn<QString>("sType");
    QTest::addColumn<int>("nOrder");
    QTest::newRow("PageHeader") << "PageHeader" << 1;
    QTest::newRow("ReportTitle") << "ReportTitle" << 2;
    QTest::newRow("MasterHeader") << "MasterHeader" << 3;
    QTest::newRow("DataGroupHeader") << "DataGroupHeader" << 4;
    QTest::newRow("MasterData") << "MasterData" << 5;
    QTest::newRow("DataGroupFooter") << "DataGroupFooter" << 6;
    QTest::newRow("MasterFooter") << "MasterFooter" << 7;
    QTest::newRow("ReportSummary") << "ReportSummary" << 8;
    QTest::newRow("PageFooter") << "PageFooter" << 9;
    QTest::newRow("unknown") << "Masterdata" << 0;
    QTest::newRow("missing") << "" << 0;
}

void tst_ReportTemplate::bandKindsAndOrder()
{
    QFETCH(QString, sType);
    QFETCH(int, nOrder);
    QCOMPARE(int(ReportBand::TypeFromName(sType)), nOrder);
}

void tst_ReportTemplate::bandDefaults()
{
    ReportBand band;
    band.LoadFromElement(Element(QStringLiteral("<ReportBand type=\"MasterData\"/>")));
    QCOMPARE(band.type, ReportBand::MasterData);
    QCOMPARE(band.sName, QString());
    QCOMPARE(band.nHeight, 0);
    QCOMPARE(band.nWidth, 0);
    QCOMPARE(band.nBandNo, 1);
    QCOMPARE(band.sDataSourceName, QString());
    QCOMPARE(band.sGroupingField, QString());
    QCOMPARE(band.nGroupLevel, 0);
    QVERIFY(!band.bShowInGroup && !band.bStartNewNumeration && !band.bStartNewPage);
    QVERIFY(band.fields.isEmpty());

    ReportBand full;
    full.LoadFromElement(Element(QStringLiteral(
        "<ReportBand type=\"DataGroupHeader\" name=\"g\" height=\"30\" width=\"760\" left=\"1\" "
        "right=\"2\" bandNo=\"2\" dataSourceName=\"ds\" groupingField=\"[a]\" groupLevel=\"1\" "
        "showInGroup=\"1\" startNewNumeration=\"1\" startNewPage=\"1\">"
        "<a type=\"label\"/><b type=\"line\"/><c/></ReportBand>")));
    QCOMPARE(full.objectName(), QStringLiteral("g"));
    QCOMPARE(full.nHeight, 30);
    QCOMPARE(full.nLeft, 1);
    QCOMPARE(full.nRight, 2);
    QCOMPARE(full.nBandNo, 2);
    QCOMPARE(full.sDataSourceName, QStringLiteral("ds"));
    QCOMPARE(full.sGroupingField, QStringLiteral("[a]"));
    QCOMPARE(full.nGroupLevel, 1);
    QVERIFY(full.bShowInGroup && full.bStartNewNumeration && full.bStartNewPage);
    QCOMPARE(full.fields.size(), 3);
    QCOMPARE(full.fields.at(1)->type, ReportFieldObject::Line);
    QCOMPARE(full.fields.at(2)->type, ReportFieldObject::Text);
}

void tst_ReportTemplate::fieldKinds_data()
{
    QTest::addColumn<QString>("sElement");
    QTest::addColumn<int>("nKind");
    const QList<QPair<const char *, ReportFieldObject::FieldType>> kinds = {
        {"<f type=\"label\"/>", ReportFieldObject::Text},
        {"<f/>", ReportFieldObject::Text},
        {"<f type=\"labelImage\"/>", ReportFieldObject::TextImage},
        {"<f type=\"textRich\"/>", ReportFieldObject::TextRich},
        {"<f type=\"image\"/>", ReportFieldObject::Image},
        {"<f type=\"label\" picture=\"\"/>", ReportFieldObject::Image},
        {"<f type=\"label\" picture=\"text\"/>", ReportFieldObject::Text},
        {"<f type=\"diagram\"/>", ReportFieldObject::Diagram},
        {"<f type=\"reactangle\"/>", ReportFieldObject::Rectangle},
        {"<f type=\"rectangle\"/>", ReportFieldObject::Text},
        {"<f type=\"roundedReactangle\"/>", ReportFieldObject::RoundedRectangle},
        {"<f type=\"circle\"/>", ReportFieldObject::Circle},
        {"<f type=\"triangle\"/>", ReportFieldObject::Triangle},
        {"<f type=\"rhombus\"/>", ReportFieldObject::Rhombus},
        {"<anything type=\"line\"/>", ReportFieldObject::Line},
        {"<TContainerLine type=\"line\"/>", ReportFieldObject::Line},
        {"<f type=\"barcode\"/>", ReportFieldObject::Barcode},
        {"<f type=\"DatabaseImage\"/>", ReportFieldObject::DatabaseImage},
        {"<f type=\"crossTab\"/>", ReportFieldObject::CrossTab},
        {"<f type=\"Label\"/>", ReportFieldObject::Text},
    };
    for (const auto &kind : kinds)
        QTest::newRow(kind.first) << QString::fromLatin1(kind.first) << int(kind.second);
}

void tst_ReportTemplate::fieldKinds()
{
    QFETCH(QString, sElement);
    QFETCH(int, nKind);
    ReportFieldObject field;
    field.LoadFromElement(Element(sElement));
    QCOMPARE(int(field.type), nKind);
}

void tst_ReportTemplate::fieldDefaults()
{
    ReportFieldObject field;
    field.LoadFromElement(Element(QStringLiteral("<f/>")));
    QCOMPARE(field.sTypeName, QStringLiteral("label"));
    QCOMPARE(field.objectName(), QString());
    QCOMPARE(field.sValue, QString());
    QCOMPARE(field.rect, QRect(0, 0, 0, 0));
    QCOMPARE(int(field.alignment), 0);
    QCOMPARE(field.font.weight(), 50);
    QVERIFY(!field.font.italic() && !field.font.underline() && !field.font.strikeOut());
    QVERIFY(!field.backgroundColor.isValid());
    QVERIFY(!field.borderTop.isValid() && !field.borderBottom.isValid());
    QVERIFY(!field.borderLeft.isValid() && !field.borderRight.isValid());
    QCOMPARE(field.nBorderWidth, 1);
    QCOMPARE(field.borderStyle, Qt::SolidLine);
    QVERIFY(!field.bAutoHeight);
    QVERIFY(field.bTextWrap);
    QCOMPARE(field.nRotate, 0);
    QCOMPARE(field.sFormat, QString());
    QCOMPARE(field.sHighlighting, QString());
    QCOMPARE(field.sPrinting, QStringLiteral("1"));
    QCOMPARE(field.nRenderingMode, 0);
    QCOMPARE(field.sImgFormat, QStringLiteral("PNG"));
    QVERIFY(field.bIgnoreAspectRatio);
    QCOMPARE(field.nBarcodeType, 13);
    QCOMPARE(field.nBarcodeHeight, 50);
    QVERIFY(!field.bArrowStart && !field.bArrowEnd);
    QVERIFY(field.bVisible);
}

void tst_ReportTemplate::fieldAttributes()
{
    ReportFieldObject field;
    field.LoadFromElement(Element(QStringLiteral(
        "<TContainerField type=\"label\" name=\"field12\" value=\"  [DDE]\" left=\"232\" top=\"1\" "
        "width=\"527\" height=\"24\" aligmentH=\"hJustify\" aligmentV=\"vBottom\" "
        "fontFamily=\"DejaVu Serif\" fontSize=\"15\" fontBold=\"1\" fontItalic=\"1\" "
        "fontUnderline=\"1\" fontStrikeout=\"1\" fontColor=\"rgba(10,20,30,255)\" "
        "backgroundColor=\"rgba(213,213,213,255)\" borderTop=\"rgba(255,255,255,255)\" "
        "borderBottom=\"rgba(0,0,0,255)\" borderLeft=\"rgba(121,121,121,255)\" "
        "borderRight=\"rgba(0,0,0,128)\" borderStyle=\"dot-dot-dash\" autoHeight=\"1\" "
        "textWrap=\"0\" rotate=\"90\" format=\"N# ###.##2\" highlighting=\"bold=1\" "
        "printing=\"[x] == 1\" renderingMode=\"2\" imgFormat=\"JPG\" ignoreAspectRatio=\"0\" "
        "barcodeType=\"20\" barcodeHeight=\"30\" lineStartX=\"1\" lineStartY=\"2\" "
        "lineEndX=\"761\" lineEndY=\"87\" arrowStart=\"1\" arrowEnd=\"1\" ZValue=\"3\"/>")));
    QCOMPARE(field.objectName(), QStringLiteral("field12"));
    QCOMPARE(field.sValue, QStringLiteral("  [DDE]"));
    QCOMPARE(field.rect, QRect(232, 1, 527, 24));
    QCOMPARE(field.alignment, Qt::AlignJustify | Qt::AlignBottom);
    QCOMPARE(field.font.family(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(field.font.pointSize(), 15);
    QCOMPARE(field.font.weight(), 75);
    QVERIFY(field.font.italic() && field.font.underline() && field.font.strikeOut());
    QCOMPARE(field.fontColor, QColor(10, 20, 30));
    QCOMPARE(field.backgroundColor, QColor(213, 213, 213));
    QCOMPARE(field.borderTop, QColor(255, 255, 255));
    QCOMPARE(field.borderBottom, QColor(0, 0, 0));
    QCOMPARE(field.borderLeft, QColor(121, 121, 121));
    QCOMPARE(field.borderRight, QColor(0, 0, 0, 128));
    QCOMPARE(field.borderStyle, Qt::DashDotDotLine);
    QVERIFY(field.bAutoHeight);
    QVERIFY(!field.bTextWrap);
    QCOMPARE(field.nRotate, 90);
    QCOMPARE(field.sFormat, QStringLiteral("N# ###.##2"));
    QCOMPARE(field.sHighlighting, QStringLiteral("bold=1"));
    QCOMPARE(field.sPrinting, QStringLiteral("[x] == 1"));
    QCOMPARE(field.nRenderingMode, 2);
    QCOMPARE(field.sImgFormat, QStringLiteral("JPG"));
    QVERIFY(!field.bIgnoreAspectRatio);
    QCOMPARE(field.nBarcodeType, 20);
    QCOMPARE(field.nBarcodeHeight, 30);
    QCOMPARE(field.lineStart, QPointF(1, 2));
    QCOMPARE(field.lineEnd, QPointF(761, 87));
    QVERIFY(field.bArrowStart && field.bArrowEnd);

    const QList<QPair<QString, Qt::Alignment>> alignments = {
        {QStringLiteral("aligmentH=\"hLeft\""), Qt::AlignLeft},
        {QStringLiteral("aligmentH=\"hRight\""), Qt::AlignRight},
        {QStringLiteral("aligmentH=\"hCenter\" aligmentV=\"vCenter\""),
         Qt::AlignHCenter | Qt::AlignVCenter},
        {QStringLiteral("aligmentV=\"vTop\""), Qt::AlignTop},
        {QStringLiteral("alignmentH=\"hRight\""), Qt::Alignment()},
    };
    for (const auto &alignment : alignments) {
        ReportFieldObject aligned;
        aligned.LoadFromElement(Element(QStringLiteral("<f %1/>").arg(alignment.first)));
        QCOMPARE(aligned.alignment, alignment.second);
    }
}

void tst_ReportTemplate::borderWidthUnits_data()
{
    QTest::addColumn<QString>("sWidth");
    QTest::addColumn<int>("nWidth");
    QTest::newRow("2px") << "2px" << 2;
    QTest::newRow("2") << "2" << 2;
    QTest::newRow("blank and px") << " 3px " << 3;
    QTest::newRow("garbage") << "wide" << 1;
    QTest::newRow("empty") << "" << 1;
}

void tst_ReportTemplate::borderWidthUnits()
{
    QFETCH(QString, sWidth);
    QFETCH(int, nWidth);
    ReportFieldObject field;
    field.LoadFromElement(Element(QStringLiteral("<f borderWidth=\"%1\"/>").arg(sWidth)));
    QCOMPARE(field.nBorderWidth, nWidth);
}

void tst_ReportTemplate::colours_data()
{
    QTest::addColumn<QString>("sText");
    QTest::addColumn<QColor>("color");
    QTest::newRow("rgba") << "rgba(121,121,121,255)" << QColor(121, 121, 121, 255);
    QTest::newRow("blanks") << "rgba( 1, 2, 3, 4 )" << QColor(1, 2, 3, 4);
    QTest::newRow("transparent") << "rgba(255,255,255,0)" << QColor(255, 255, 255, 0);
    QTest::newRow("empty") << "" << QColor();
    QTest::newRow("not numbers") << "rgba(a,b,c,d)" << QColor();
    QTest::newRow("too few") << "rgba(1,2)" << QColor();
    QTest::newRow("no closing") << "rgba(1,2,3,4" << QColor();
    QTest::newRow("out of range") << "rgba(300,-5,0,999)" << QColor(255, 0, 0, 255);
    QTest::newRow("hex from a script") << "#ff0000" << QColor(255, 0, 0);
}

void tst_ReportTemplate::colours()
{
    QFETCH(QString, sText);
    QFETCH(QColor, color);
    const QColor parsed = ReportFieldObject::ParseColor(sText);
    QCOMPARE(parsed.isValid(), color.isValid());
    if (color.isValid())
        QCOMPARE(parsed.rgba(), color.rgba());
}

void tst_ReportTemplate::penStyles_data()
{
    QTest::addColumn<QString>("sStyle");
    QTest::addColumn<int>("nStyle");
    QTest::newRow("solid") << "solid" << int(Qt::SolidLine);
    QTest::newRow("dashed") << "dashed" << int(Qt::DashLine);
    QTest::newRow("dotted") << "dotted" << int(Qt::DotLine);
    QTest::newRow("dot-dash") << "dot-dash" << int(Qt::DashDotLine);
    QTest::newRow("dot-dot-dash") << "dot-dot-dash" << int(Qt::DashDotDotLine);
    QTest::newRow("other") << "groove" << int(Qt::SolidLine);
}

void tst_ReportTemplate::penStyles()
{
    QFETCH(QString, sStyle);
    QFETCH(int, nStyle);
    QCOMPARE(int(ReportFieldObject::ParsePenStyle(sStyle)), nStyle);
}

void tst_ReportTemplate::scriptableProperties()
{
    ReportFieldObject field;
    field.LoadFromElement(Element(QStringLiteral("<f left=\"1\" top=\"2\" width=\"3\" height=\"4\" "
                                                 "fontColor=\"rgba(1,2,3,255)\"/>")));
    QCOMPARE(field.property("left").toInt(), 1);
    QCOMPARE(field.property("top").toInt(), 2);
    QCOMPARE(field.property("width").toInt(), 3);
    QCOMPARE(field.property("height").toInt(), 4);
    QCOMPARE(field.property("fontColor").toString(), QStringLiteral("rgba(1,2,3,255)"));
    QVERIFY(field.setProperty("left", 50));
    QVERIFY(field.setProperty("width", 70));
    QVERIFY(field.setProperty("visible", false));
    QVERIFY(field.setProperty("rotate", 90));
    QVERIFY(field.setProperty("backgroundColor", QStringLiteral("rgba(9,8,7,255)")));
    QCOMPARE(field.rect, QRect(50, 2, 70, 4));
    QVERIFY(!field.getVisible());
    QCOMPARE(field.getRotate(), 90);
    QCOMPARE(field.backgroundColor, QColor(9, 8, 7));
}

void tst_ReportTemplate::crossTabAndDataSource()
{
    ReportFieldObject field;
    field.LoadFromElement(Element(QStringLiteral(
        "<f type=\"crossTab\" rowHeight=\"30\" colCount=\"4\" totalByColVisible=\"1\" "
        "totalByRowVisible=\"1\" subtotalIsVisible=\"1\" headerIsVisible=\"0\" "
        "totalBackgroundColor=\"rgba(1,1,1,255)\" dataSourceName=\"ds\" caption=\"Cap\" "
        "value=\"v\"/>")));
    QVERIFY(field.pCrossTab);
    QCOMPARE(field.pCrossTab->nRowHeight, 30);
    QCOMPARE(field.pCrossTab->nColCount, 4);
    QVERIFY(field.pCrossTab->bTotalByColVisible && field.pCrossTab->bTotalByRowVisible);
    QVERIFY(field.pCrossTab->bSubtotalIsVisible);
    QVERIFY(!field.pCrossTab->bHeaderIsVisible);
    QCOMPARE(field.pCrossTab->totalBackgroundColor, QColor(1, 1, 1));
    QCOMPARE(field.pCrossTab->headerBackgroundColor, QColor(255, 255, 255, 255));
    QCOMPARE(field.pCrossTab->sDataSourceName, QStringLiteral("ds"));
    QCOMPARE(field.pCrossTab->sCaption, QStringLiteral("Cap"));

    ReportPageObject page;
    page.LoadFromElement(Element(QStringLiteral(
        "<Report><DataSource type=\"SQL\" name=\"q\" dbType=\"QSQLITE\" dbName=\"db\" dbHost=\"h\" "
        "dbUser=\"u\" dbPassword=\"p\" dbCoding=\"c\" charsetCoding=\"cc\" dbPort=\"5\" "
        "dbConnectionName=\"conn\"/><DataSource type=\"plugin\" plugin=\"pl\" fileName=\"f.so\" "
        "name=\"pp\" dsAliasName=\"alias\"/></Report>")));
    QCOMPARE(page.dataSources.size(), 2);
    const ReportDataSource *pSql = page.FindDataSource(QStringLiteral("q"));
    QVERIFY(pSql);
    QCOMPARE(pSql->sType, QStringLiteral("SQL"));
    QCOMPARE(pSql->sDbType, QStringLiteral("QSQLITE"));
    QCOMPARE(pSql->sDbName, QStringLiteral("db"));
    QCOMPARE(pSql->sDbHost, QStringLiteral("h"));
    QCOMPARE(pSql->sDbUser, QStringLiteral("u"));
    QCOMPARE(pSql->sDbPassword, QStringLiteral("p"));
    QCOMPARE(pSql->sDbCoding, QStringLiteral("c"));
    QCOMPARE(pSql->sCharsetCoding, QStringLiteral("cc"));
    QCOMPARE(pSql->nDbPort, 5);
    QCOMPARE(pSql->sDbConnectionName, QStringLiteral("conn"));
    const ReportDataSource *pPlugin = page.FindDataSource(QStringLiteral("pp"));
    QVERIFY(pPlugin);
    QCOMPARE(pPlugin->sPlugin, QStringLiteral("pl"));
    QCOMPARE(pPlugin->sFileName, QStringLiteral("f.so"));
    QCOMPARE(pPlugin->sDsAliasName, QStringLiteral("alias"));
}

void tst_ReportTemplate::scriptSection()
{
    ReportEngine engine;
    QVERIFY(
        engine.loadTemplate(WriteFile(m_dir, QStringLiteral("script.xml"),
                                      Document(Page(QString()), QStringLiteral("var a = 1;")))));
    QCOMPARE(engine.ScriptText(), QStringLiteral("var a = 1;"));
    QVERIFY(engine.loadTemplate(
        WriteFile(m_dir, QStringLiteral("noscript.xml"),
                  QStringLiteral("<Reports><Script>plain</Script><Report/></Reports>"))));
    QCOMPARE(engine.ScriptText(), QString());
}

QTEST_MAIN(tst_ReportTemplate)
#include "tst_ReportTemplate.moc"
