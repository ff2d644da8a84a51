#include "report/ReportRenderer.h"

#include "report/ReportBand.h"
#include "report/ReportDataSource.h"
#include "report/ReportFieldObject.h"
#include "report/ReportHtmlWriter.h"
#include "report/ReportPageObject.h"

#include <QPageLayout>
#include <QPaintEngine>
#include <QPrinter>
#include <QTemporaryDir>
#include <cmath>

namespace
{
// Paper limits in template units (quarter millimetres): 1 cm to 5 m.
constexpr int kMinPaper = 40;
constexpr int kMaxPaper = 20000;

struct PaperGeometry {
    int nWidth;
    int nHeight;
    int nLeft;
    int nRight;
    int nTop;
    int nBottom;
};

// Sizes and margins a printer can take, whatever the template says.
PaperGeometry Geometry(const ReportPageObject &page)
{
    PaperGeometry geometry{qBound(kMinPaper, page.nPageWidth, kMaxPaper),
                           qBound(kMinPaper, page.nPageHeight, kMaxPaper),
                           qMax(0, page.nMarginsLeft),
                           qMax(0, page.nMarginsRight),
                           qMax(0, page.nMarginsTop),
                           qMax(0, page.nMarginsBottom)};
    if (page.nOrientation == 1 && geometry.nWidth < geometry.nHeight)
        std::swap(geometry.nWidth, geometry.nHeight);
    if (geometry.nLeft + geometry.nRight >= geometry.nWidth - 4)
        geometry.nLeft = geometry.nRight = 0;
    if (geometry.nTop + geometry.nBottom >= geometry.nHeight - 4)
        geometry.nTop = geometry.nBottom = 0;
    return geometry;
}
} // namespace

ReportRenderer::ReportRenderer(ReportEngine *pEngine, QPrinter *pPrinter,
                               ReportEngine::OutputMode mode, QString *pHtml)
    : m_pEngine(pEngine), m_pPrinter(pPrinter), m_mode(mode), m_pHtml(pHtml),
      m_evaluator(pEngine, &m_script), m_fieldPainter(&m_painter)
{
}

QPageLayout ReportRenderer::PageLayout(const ReportPageObject &page)
{
    const PaperGeometry geometry = Geometry(page);
    const bool bLandscape = geometry.nWidth > geometry.nHeight;
    const QSizeF paper(qMin(geometry.nWidth, geometry.nHeight) / 4.0,
                       qMax(geometry.nWidth, geometry.nHeight) / 4.0);
    const QMarginsF margins(geometry.nLeft / 4.0 + 0.01, geometry.nTop / 4.0 + 0.01,
                            geometry.nRight / 4.0 + 0.01, geometry.nBottom / 4.0 + 0.01);
    return QPageLayout(QPageSize(paper, QPageSize::Millimeter, QString(), QPageSize::ExactMatch),
                       bLandscape ? QPageLayout::Landscape : QPageLayout::Portrait, margins,
                       QPageLayout::Millimeter);
}

void ReportRenderer::ApplyPageLayout(QPrinter *pPrinter, const ReportPageObject &page)
{
    pPrinter->setPageLayout(PageLayout(page));
}

bool ReportRenderer::Run()
{
    if (m_pEngine->m_pages.isEmpty())
        return true;
    // Before the objects are built: the look-ahead builds its own.
    const int nFirstSheetPage = ReportPageOfFirstSheet();
    if (!Begin(nFirstSheetPage))
        return false;
    const QList<ReportPageObject *> pages = m_pEngine->m_pages;
    CountPages();

    // Drawing pass.
    m_painter.resetTransform();
    m_bDraw = true;
    m_bSheetUsed = false;
    m_nCurrentPage = 1;
    m_nLineCounter = 0;
    m_nRecNo = 0;
    bool bFirst = true;
    for (int i = 0; i < pages.size(); ++i) {
        if (!pages.at(i)->isVisible())
            continue;
        m_nReportPage = i;
        ProcessPage(i, bFirst);
        bFirst = false;
    }
    m_painter.end();
    return true;
}

bool ReportRenderer::Begin(int nFirstSheetPage)
{
    m_pEngine->BuildObjects();
    const QList<ReportPageObject *> pages = m_pEngine->m_pages;
    m_script.SetReportEngine(m_pEngine);
    m_script.LoadScript(m_pEngine->m_sScript);
    m_script.SetAggregateValues(&m_bandValues);

    // The first sheet takes the size of the first page that prints: a sheet
    // cannot change once it is started.
    ReportPageObject *pFirst = pages.first();
    if (nFirstSheetPage >= 0 && nFirstSheetPage < pages.size()) {
        pFirst = pages.at(nFirstSheetPage);
    } else {
        for (ReportPageObject *pPage : pages) {
            if (pPage->isVisible()) {
                pFirst = pPage;
                break;
            }
        }
    }
    ApplyPageLayout(m_pPrinter, *pFirst);
    if (!m_painter.begin(m_pPrinter))
        return false;
    m_sheetLayout = m_pPrinter->pageLayout();
    m_nFromPage = m_pPrinter->fromPage();
    m_nToPage = m_pPrinter->toPage();
    return true;
}

void ReportRenderer::CountPages()
{
    const QList<ReportPageObject *> pages = m_pEngine->m_pages;
    m_pEngine->m_dataSets.clear();
    m_sheetOwners.clear();
    m_bDraw = false;
    m_nCurrentPage = 1;
    bool bFirst = true;
    for (int i = 0; i < pages.size(); ++i) {
        ReportPageObject *pPage = pages.at(i);
        // A hidden page is asked for its data like the others: a script may
        // show it again before it is drawn.
        for (ReportBand *pBand : pPage->BandsOfType(ReportBand::MasterData)) {
            DataSetInfo dsInfo;
            dsInfo.dataSetName = pBand->sDataSourceName;
            dsInfo.reportPage = i;
            dsInfo.dataBandNo = pBand->nBandNo;
            dsInfo.recordCount = 0;
            emit m_pEngine->setDSInfo(dsInfo);
            if (dsInfo.recordCount == 0) {
                if (ReportDataSource *pSource = pPage->FindDataSource(pBand->sDataSourceName)) {
                    pSource->Open();
                    dsInfo.recordCount = pSource->RowCount();
                }
            }
            m_pEngine->m_dataSets.append(dsInfo);
        }
        if (pPage->isVisible()) {
            m_nReportPage = i;
            ProcessPage(i, bFirst);
            bFirst = false;
        }
        for (ReportBand *pBand : pPage->bands) {
            for (ReportFieldObject *pField : pBand->fields)
                emit m_pEngine->setField(*pField);
        }
    }
    m_nTotalPages = bFirst ? 0 : m_nCurrentPage;
}

int ReportRenderer::ReportPageOfFirstSheet()
{
    // Only a page range that starts past the first page can start on
    // another report page than the first, and only pages of different
    // paper make that matter.
    const int nFrom = m_pPrinter->fromPage();
    if (nFrom <= 1 || m_mode == ReportEngine::HtmlMode)
        return -1;
    const QList<ReportPageObject *> pages = m_pEngine->m_pages;
    bool bOnePaper = true;
    for (const ReportPageObject *pPage : pages)
        bOnePaper = bOnePaper && PageLayout(*pPage).isEquivalentTo(PageLayout(*pages.first()));
    if (bOnePaper)
        return -1;
    // Counted on a printer of the same kind and resolution, so that the
    // pages break where they will break on this one.
    QTemporaryDir scratch;
    if (!scratch.isValid())
        return -1;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(scratch.filePath(QStringLiteral("count.pdf")));
    printer.setResolution(m_pPrinter->resolution());
    ReportRenderer counter(m_pEngine, &printer, m_mode, nullptr);
    if (!counter.Begin(-1))
        return -1;
    counter.CountPages();
    counter.m_painter.end();
    return nFrom <= counter.m_sheetOwners.size() ? counter.m_sheetOwners.at(nFrom - 1) : -1;
}

bool ReportRenderer::InRange(int nPage) const
{
    if (m_nFromPage > 0 && nPage < m_nFromPage)
        return false;
    return m_nToPage <= 0 || nPage <= m_nToPage;
}

bool ReportRenderer::DrawingHere() const
{
    return m_bDraw && InRange(m_nCurrentPage);
}

ReportTextContext ReportRenderer::Context() const
{
    ReportTextContext context;
    context.nReportPage = m_nReportPage;
    context.nRecNo = m_nRecNo;
    context.nPage = m_nCurrentPage;
    context.nTotalPages = m_nTotalPages;
    context.nLineNo = m_nLineNo;
    context.nLineCount = m_nLineCount;
    context.pPage = m_pPage;
    return context;
}

void ReportRenderer::ExposeFields(ReportPageObject *pPage)
{
    for (ReportBand *pBand : pPage->bands) {
        for (ReportFieldObject *pField : pBand->fields)
            m_script.SetObject(pField->objectName(), pField);
    }
}

bool ReportRenderer::CanChangeSheet() const
{
    // PDF output (and the printers that spool PDF) takes a new size and
    // orientation for each sheet; a preview or a native printer keeps the
    // sheet it started with.
    if (m_pPrinter->printerState() != QPrinter::Active)
        return true;
    const QPaintEngine *pEngine = m_pPrinter->paintEngine();
    return pEngine && pEngine->type() == QPaintEngine::Pdf;
}

void ReportRenderer::SetupPage(ReportPageObject *pPage)
{
    m_pPage = pPage;
    const PaperGeometry geometry = Geometry(*pPage);
    m_pageLayout = PageLayout(*pPage);
    // Takes effect with the next sheet.
    if (!m_pPrinter->pageLayout().isEquivalentTo(m_pageLayout) && CanChangeSheet())
        m_pPrinter->setPageLayout(m_pageLayout);
    m_dH = geometry.nHeight - geometry.nTop - geometry.nBottom;
    m_dW = geometry.nWidth - geometry.nLeft - geometry.nRight;
    FitPageOnSheet();
}

// The page is drawn in its own size and orientation: on its own sheet when
// the sheet could be made so, otherwise fitted onto the sheet in use.
void ReportRenderer::FitPageOnSheet()
{
    const int nResolution = m_pPrinter->resolution();
    const QRectF paint = m_pageLayout.paintRectPixels(nResolution);
    m_paperRect = QRectF(-paint.topLeft(), m_pageLayout.fullRectPixels(nResolution).size());
    m_fieldPainter.SetScale(paint.width() / m_dW, paint.height() / m_dH);
    const QTransform transform = m_sheetLayout.isEquivalentTo(m_pageLayout)
                                     ? QTransform()
                                     : FitOnSheet(m_sheetLayout, m_pageLayout, nResolution);
    // Only drawing needs it: the counting pass measures as on the page itself.
    if (m_bDraw && m_painter.isActive() && m_painter.worldTransform() != transform)
        m_painter.setWorldTransform(transform);
}

// Where a page goes on a sheet of another size or orientation: turned a
// quarter when the orientations differ, shrunk when it is larger, from the
// sheet's top left corner.
QTransform ReportRenderer::FitOnSheet(const QPageLayout &sheet, const QPageLayout &page,
                                      int nResolution)
{
    const QSizeF sheetSize = sheet.fullRectPixels(nResolution).size();
    const QPointF sheetPaint = sheet.paintRectPixels(nResolution).topLeft();
    const QSizeF pageSize = page.fullRectPixels(nResolution).size();
    const bool bTurn =
        (pageSize.width() > pageSize.height()) != (sheetSize.width() > sheetSize.height());
    const QSizeF fitted = bTurn ? pageSize.transposed() : pageSize;
    double dScale = 1;
    if (fitted.width() > 0 && fitted.height() > 0)
        dScale = qMin(
            1.0, qMin(sheetSize.width() / fitted.width(), sheetSize.height() / fitted.height()));
    QTransform transform;
    transform.translate(-sheetPaint.x(), -sheetPaint.y());
    if (bTurn) {
        transform.translate(sheetSize.width(), 0);
        transform.rotate(90);
    }
    transform.scale(dScale, dScale);
    const QPointF paint = page.paintRectPixels(nResolution).topLeft();
    transform.translate(paint.x(), paint.y());
    return transform;
}

void ReportRenderer::DrawBackground()
{
    if (!m_bDraw || m_mode == ReportEngine::HtmlMode || !m_pPage)
        return;
    m_painter.setBackgroundMode(Qt::TransparentMode);
    // The frame marks where a report page begins: its first sheet only.
    if (m_pPage->bBorder && m_nCurrentPage == m_nPageStart) {
        const QRectF paper = m_paperRect;
        m_painter.save();
        m_painter.setPen(
            QPen(m_pPage->borderColor, qMax(1, m_pPage->nBorderWidth) * 5, m_pPage->borderStyle));
        m_painter.setBrush(Qt::NoBrush);
        m_painter.drawRect(
            QRectF(paper.left() + 92, paper.top() + 92, paper.width() - 192, paper.height() - 192));
        m_painter.restore();
    }
    if (!m_pPage->bWatermark || m_pPage->watermarkPixmap.isNull())
        return;
    const PaperGeometry geometry = Geometry(*m_pPage);
    const QRectF target(0, 0, qMax(0, geometry.nWidth - 2 * geometry.nLeft) * m_fieldPainter.Kw(),
                        qMax(0, geometry.nHeight - 2 * geometry.nTop) * m_fieldPainter.Kh());
    m_painter.setOpacity(m_pPage->dWatermarkOpacity);
    m_painter.drawImage(target, m_pPage->watermarkPixmap);
    m_painter.setOpacity(1);
}

void ReportRenderer::ProcessPage(int nPage, bool bFirst)
{
    ReportPageObject *pPage = m_pEngine->m_pages.at(nPage);
    SetupPage(pPage);
    ExposeFields(pPage);
    // In HTML the sheet continues from the previous report page.
    if (m_mode != ReportEngine::HtmlMode || bFirst)
        m_dY = 0;
    m_nPageStart = bFirst ? m_nCurrentPage : m_nCurrentPage + 1;
    if (!m_bDraw && bFirst)
        m_sheetOwners.append(nPage);
    if (bFirst) {
        if (DrawingHere()) {
            m_bSheetUsed = true;
            DrawBackground();
        }
        DrawHeaderBand(pPage->FindBand(ReportBand::PageHeader));
        if (m_nCurrentPage == 1)
            DrawHeaderBand(pPage->FindBand(ReportBand::ReportTitle));
        DrawPageFooter();
    } else {
        NewPage(false);
    }
    ProcessDataBands();
    ReportBand *pSummary = pPage->FindBand(ReportBand::ReportSummary);
    if (pSummary) {
        m_script.SetAggregateValues(&m_bandValues);
        DrawFitting(pSummary, false);
    }
}

void ReportRenderer::NewPage(bool bWithTitle)
{
    if (m_bDraw && InRange(m_nCurrentPage + 1)) {
        if (m_bSheetUsed) {
            m_pPrinter->newPage();
            m_sheetLayout = m_pPrinter->pageLayout();
            FitPageOnSheet();
        }
        m_bSheetUsed = true;
        ++m_nCurrentPage;
        DrawBackground();
    } else {
        ++m_nCurrentPage;
    }
    if (!m_bDraw)
        m_sheetOwners.append(m_nReportPage);
    if (m_bDraw)
        emit m_pEngine->newPage(m_nCurrentPage);
    if (m_mode != ReportEngine::HtmlMode)
        m_dY = 0;
    DrawHeaderBand(m_pPage->FindBand(ReportBand::PageHeader));
    if (bWithTitle)
        DrawHeaderBand(m_pPage->FindBand(ReportBand::ReportTitle));
    DrawPageFooter();
}

int ReportRenderer::BandHeight(const ReportBand *pBand) const
{
    return pBand ? pBand->nHeight : 0;
}

void ReportRenderer::DrawHeaderBand(ReportBand *pBand)
{
    if (!pBand)
        return;
    if (m_mode == ReportEngine::HtmlMode &&
        (pBand->type == ReportBand::PageHeader || pBand->type == ReportBand::PageFooter))
        return;
    const BandLayout layout = LayoutBand(pBand);
    CompleteBand(layout, DrawingHere());
    m_dY += layout.nHeight;
}

void ReportRenderer::DrawPageFooter()
{
    ReportBand *pFooter = m_pPage->FindBand(ReportBand::PageFooter);
    if (!pFooter || m_mode == ReportEngine::HtmlMode)
        return;
    const double dSavedY = m_dY;
    m_dY = m_dH - pFooter->nHeight;
    const BandLayout layout = LayoutBand(pFooter);
    CompleteBand(layout, DrawingHere());
    m_dY = dSavedY;
}

void ReportRenderer::ProcessDataBands()
{
    for (int nBandNo : m_pPage->DataBandNumbers()) {
        ReportBand *pHeader = m_pPage->FindBand(ReportBand::MasterHeader, nBandNo);
        ReportBand *pData = m_pPage->FindBand(ReportBand::MasterData, nBandNo);
        ReportBand *pFooter = m_pPage->FindBand(ReportBand::MasterFooter, nBandNo);
        ReportBand *pGroupHeader = m_pPage->FindBand(ReportBand::DataGroupHeader, nBandNo);
        ReportBand *pGroupFooter = m_pPage->FindBand(ReportBand::DataGroupFooter, nBandNo);
        m_bandValues.clear();
        m_script.SetAggregateValues(&m_bandValues);
        m_nLineCount = pData ? RecordCount(pData) : 0;
        m_pRepeatHeader = pHeader;
        DrawHeaderBand(pHeader);
        if (pData)
            RecordLoop(pData, pHeader, pFooter, pGroupHeader, pGroupFooter);
        m_script.SetAggregateValues(&m_bandValues);
        DrawFitting(pFooter, false);
        m_pRepeatHeader = nullptr;
    }
}

int ReportRenderer::RecordCount(const ReportBand *pData) const
{
    int nCount = 0;
    for (const DataSetInfo &info : m_pEngine->m_dataSets) {
        if (info.reportPage != m_nReportPage)
            continue;
        const bool bMatch = pData->sDataSourceName.isEmpty()
                                ? info.dataBandNo == pData->nBandNo
                                : info.dataSetName == pData->sDataSourceName;
        if (bMatch)
            nCount = info.recordCount;
    }
    return qMax(0, nCount);
}

// A band that must not run into the page footer: a new page first when it
// does not fit above it (the data band's header repeated there when asked).
void ReportRenderer::DrawFitting(ReportBand *pBand, bool bRepeatHeader)
{
    if (!pBand)
        return;
    BandLayout layout = LayoutBand(pBand);
    ReportBand *pPageFooter = m_pPage->FindBand(ReportBand::PageFooter);
    if (m_mode != ReportEngine::HtmlMode &&
        m_dY + layout.nHeight > m_dH - BandHeight(pPageFooter)) {
        CompleteBand(layout, false);
        NewPage(false);
        if (bRepeatHeader && m_pRepeatHeader != pBand)
            DrawHeaderBand(m_pRepeatHeader);
        layout = LayoutBand(pBand);
    }
    CompleteBand(layout, DrawingHere());
    m_dY += layout.nHeight;
}

void ReportRenderer::RecordLoop(ReportBand *pData, ReportBand *pHeader, ReportBand *pFooter,
                                ReportBand *pGroupHeader, ReportBand *pGroupFooter)
{
    const int nCount = RecordCount(pData);
    if (nCount <= 0)
        return;
    const double dPageFooter = BandHeight(m_pPage->FindBand(ReportBand::PageFooter));
    const double dFooter = BandHeight(pFooter);
    const bool bGrouped = !pData->sGroupingField.trimmed().isEmpty();
    QString sGroupExpression = pData->sGroupingField.trimmed();
    if (bGrouped && !sGroupExpression.contains(QLatin1Char('[')))
        sGroupExpression = QLatin1Char('[') + sGroupExpression + QLatin1Char(']');
    const bool bRenumber =
        pData->bStartNewNumeration || (pGroupHeader && pGroupHeader->bStartNewNumeration);
    const bool bGroupNewPage =
        pData->bStartNewPage || (pGroupHeader && pGroupHeader->bStartNewPage);
    bool bInGroup = false;
    QString sGroup;
    int nGroupLine = 0;

    auto closeGroup = [&]() {
        m_script.SetAggregateValues(&m_groupValues);
        DrawFitting(pGroupFooter, true);
        m_script.SetAggregateValues(&m_bandValues);
    };

    for (int nRec = 0; nRec < nCount; ++nRec) {
        m_nRecNo = nRec;
        ++m_nLineCounter;
        if (bGrouped) {
            const QString sKey = m_evaluator.Evaluate(sGroupExpression, QString(), Context());
            if (!bInGroup || sKey != sGroup) {
                if (bInGroup) {
                    // The footer belongs to the group that ends: it is
                    // evaluated on that group's last record.
                    m_nRecNo = nRec - 1;
                    closeGroup();
                    m_nRecNo = nRec;
                    if (bGroupNewPage && m_mode != ReportEngine::HtmlMode) {
                        NewPage(false);
                        DrawHeaderBand(pHeader);
                    } else if (pHeader && pHeader->bShowInGroup) {
                        DrawFitting(pHeader, true);
                    }
                }
                bInGroup = true;
                sGroup = sKey;
                nGroupLine = 0;
                m_groupValues.clear();
                DrawFitting(pGroupHeader, true);
            }
        }
        ++nGroupLine;
        m_nLineNo = bGrouped && bRenumber ? nGroupLine : nRec + 1;

        BandLayout layout = LayoutBand(pData);
        if (m_mode != ReportEngine::HtmlMode &&
            m_dY + layout.nHeight > m_dH - dPageFooter - dFooter) {
            // One break per record: a band taller than a page is then drawn
            // overflowing, so that the rendering always ends.
            CompleteBand(layout, false);
            NewPage(false);
            DrawHeaderBand(pHeader);
            layout = LayoutBand(pData);
        }
        for (auto it = layout.values.cbegin(); it != layout.values.cend(); ++it) {
            m_bandValues[it.key()] += it.value();
            if (bGrouped)
                m_groupValues[it.key()] += it.value();
        }
        CompleteBand(layout, DrawingHere());
        m_dY += layout.nHeight;
    }
    if (bInGroup)
        closeGroup();
}

ReportRenderer::BandLayout ReportRenderer::LayoutBand(ReportBand *pBand)
{
    BandLayout layout;
    layout.pBand = pBand;
    layout.nHeight = pBand->nHeight;
    const ReportTextContext context = Context();
    for (ReportFieldObject *pField : pBand->fields) {
        const QString sBefore = pField->objectName() + QStringLiteral("BeforeData");
        if (pField->type != ReportFieldObject::Line && !pField->objectName().isEmpty() &&
            m_script.HasFunction(sBefore)) {
            m_script.CallFunction(sBefore);
            layout.scripted.append(pField);
        }
        if (!pField->bVisible)
            continue;
        FieldLayout item;
        item.pField = pField;
        if (pField->type == ReportFieldObject::Line) {
            layout.fields.append(item);
            continue;
        }
        item.bPrint = m_evaluator.ShouldPrint(pField->sPrinting, context);
        switch (pField->type) {
        case ReportFieldObject::Text:
        case ReportFieldObject::TextImage:
        case ReportFieldObject::TextRich:
        case ReportFieldObject::Barcode:
            item.sText =
                m_evaluator.Evaluate(pField->sValue, pField->sFormat, context, &layout.values);
            break;
        default:
            break;
        }
        item.style = m_evaluator.Highlight(*pField, context);
        if (item.bPrint && pField->bAutoHeight && !item.sText.isEmpty() &&
            (pField->type == ReportFieldObject::Text ||
             pField->type == ReportFieldObject::TextRich ||
             pField->type == ReportFieldObject::TextImage)) {
            const double dText = m_fieldPainter.MeasureText(*pField, item.sText, item.style);
            if (dText > pField->rect.height())
                layout.nHeight = qMax(layout.nHeight, pField->rect.top() + int(std::ceil(dText)));
        }
        layout.fields.append(item);
    }
    return layout;
}

void ReportRenderer::CompleteBand(const BandLayout &layout, bool bDraw)
{
    if (bDraw) {
        for (const FieldLayout &item : layout.fields)
            DrawField(layout, item);
    }
    for (ReportFieldObject *pField : layout.scripted) {
        const QString sAfter = pField->objectName() + QStringLiteral("AfterData");
        if (m_script.HasFunction(sAfter))
            m_script.CallFunction(sAfter);
    }
}

void ReportRenderer::DrawField(const BandLayout &layout, const FieldLayout &item)
{
    ReportFieldObject *pField = item.pField;
    if (!item.bPrint)
        return;
    const int nHeight = pField->bAutoHeight
                            ? qMax(pField->rect.height(), layout.nHeight - pField->rect.top())
                            : pField->rect.height();
    const bool bHtml = m_mode == ReportEngine::HtmlMode;
    const int nTop = qRound(m_dY) + pField->rect.top();
    switch (pField->type) {
    case ReportFieldObject::Line:
        if (!bHtml)
            m_fieldPainter.DrawLine(*pField, m_dY);
        break;
    case ReportFieldObject::Text:
    case ReportFieldObject::TextRich:
        if (bHtml)
            m_pHtml->append(ReportHtmlWriter::TextDivision(*pField, item.sText, item.style,
                                                           pField->rect.left(), nTop,
                                                           pField->rect.width(), nHeight));
        else
            m_fieldPainter.DrawText(*pField, item.sText, item.style, m_dY, nHeight);
        break;
    case ReportFieldObject::TextImage:
        if (bHtml) {
            m_pHtml->append(ReportHtmlWriter::PictureDivision(*pField, pField->picture,
                                                              pField->rect.left(), nTop,
                                                              pField->rect.width(), nHeight));
            m_pHtml->append(ReportHtmlWriter::TextDivision(*pField, item.sText, item.style,
                                                           pField->rect.left(), nTop,
                                                           pField->rect.width(), nHeight));
        } else {
            m_fieldPainter.DrawPicture(*pField, pField->picture, m_dY);
            m_fieldPainter.DrawText(*pField, item.sText, item.style, m_dY, nHeight);
        }
        break;
    case ReportFieldObject::Image:
    case ReportFieldObject::DatabaseImage: {
        QImage image = pField->picture;
        if (pField->type == ReportFieldObject::DatabaseImage) {
            QString sName = pField->sValue.trimmed();
            if (sName.startsWith(QLatin1Char('[')) && sName.endsWith(QLatin1Char(']')))
                sName = sName.mid(1, sName.size() - 2);
            image = QImage();
            emit m_pEngine->setValueImage(m_nRecNo, sName, image, m_nReportPage);
        }
        if (bHtml)
            m_pHtml->append(ReportHtmlWriter::PictureDivision(*pField, image, pField->rect.left(),
                                                              nTop, pField->rect.width(),
                                                              pField->rect.height()));
        else
            m_fieldPainter.DrawPicture(*pField, image, m_dY);
        break;
    }
    case ReportFieldObject::Diagram: {
        QVariantList values;
        emit m_pEngine->setValueDiagram(m_nRecNo, pField->objectName(), values, m_nReportPage);
        if (!bHtml)
            m_fieldPainter.DrawDiagram(*pField, values, m_dY);
        break;
    }
    case ReportFieldObject::Barcode:
        if (bHtml)
            m_pHtml->append(ReportHtmlWriter::TextDivision(*pField, item.sText, item.style,
                                                           pField->rect.left(), nTop,
                                                           pField->rect.width(), nHeight));
        else
            m_fieldPainter.DrawBarcode(*pField, item.sText, m_dY);
        break;
    case ReportFieldObject::CrossTab:
        if (!bHtml)
            m_fieldPainter.DrawCrossTab(*pField, m_dY);
        break;
    default:
        if (!bHtml)
            m_fieldPainter.DrawShape(*pField, item.style, m_dY);
        break;
    }
}
