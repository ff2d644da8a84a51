#pragma once

#include "report/ReportEngine.h"
#include "report/ReportFieldPainter.h"
#include "report/ReportScriptEngine.h"
#include "report/ReportTextEvaluator.h"

#include <QHash>
#include <QPageLayout>
#include <QPainter>
#include <QTransform>
#include <QVector>

class QPrinter;
class ReportBand;
class ReportPageObject;

// One rendering of a report onto a printer: a counting pass that asks the
// application for record counts and counts pages, then a drawing pass.
class ReportRenderer
{
public:
    ReportRenderer(ReportEngine *pEngine, QPrinter *pPrinter, ReportEngine::OutputMode mode,
                   QString *pHtml);

    // False when the printer could not be painted on.
    bool Run();
    int CurrentPage() const { return m_nCurrentPage; }
    int TotalPages() const { return m_nTotalPages; }

    // Paper size, orientation and margins of a report page.
    static QPageLayout PageLayout(const ReportPageObject &page);
    // Sets up a printer's paper and margins for a report page.
    static void ApplyPageLayout(QPrinter *pPrinter, const ReportPageObject &page);
    // Maps a page's printable area onto a sheet of another size or
    // orientation (device pixels of the sheet's painter).
    static QTransform FitOnSheet(const QPageLayout &sheet, const QPageLayout &page,
                                 int nResolution);

private:
    struct FieldLayout {
        ReportFieldObject *pField = nullptr;
        QString sText;
        bool bPrint = true;
        ReportFieldStyle style;
    };
    struct BandLayout {
        ReportBand *pBand = nullptr;
        int nHeight = 0;
        QVector<FieldLayout> fields;
        QHash<QString, QVariantList> values;
        QVector<ReportFieldObject *> scripted; // fields whose BeforeData ran
    };

    // Builds the objects, loads the script and starts painting, the first
    // sheet in the paper of report page nFirstSheetPage (-1: the first
    // visible one).
    bool Begin(int nFirstSheetPage);
    // The counting pass: record counts, pages, the fields offered to the
    // application; nothing is drawn.
    void CountPages();
    // The report page the printer's first page to print belongs to, counted
    // ahead on a scratch printer; -1 when it is the first visible one.
    int ReportPageOfFirstSheet();
    void ProcessPage(int nPage, bool bFirst);
    void SetupPage(ReportPageObject *pPage);
    bool CanChangeSheet() const;
    void FitPageOnSheet();
    void DrawBackground();
    void NewPage(bool bWithTitle);
    void DrawHeaderBand(ReportBand *pBand);
    void DrawPageFooter();
    void ProcessDataBands();
    void RecordLoop(ReportBand *pData, ReportBand *pHeader, ReportBand *pFooter,
                    ReportBand *pGroupHeader, ReportBand *pGroupFooter);
    void DrawFitting(ReportBand *pBand, bool bRepeatHeader);
    int RecordCount(const ReportBand *pData) const;

    BandLayout LayoutBand(ReportBand *pBand);
    // Draws the laid-out band when bDraw is set, then runs the AfterData
    // functions: every layout is completed exactly once.
    void CompleteBand(const BandLayout &layout, bool bDraw);
    void DrawField(const BandLayout &layout, const FieldLayout &item);
    bool DrawingHere() const;
    bool InRange(int nPage) const;
    ReportTextContext Context() const;
    void ExposeFields(ReportPageObject *pPage);
    int BandHeight(const ReportBand *pBand) const;

    ReportEngine *m_pEngine;
    QPrinter *m_pPrinter;
    ReportEngine::OutputMode m_mode;
    QString *m_pHtml;
    QPainter m_painter;
    ReportScriptEngine m_script;
    ReportTextEvaluator m_evaluator;
    ReportFieldPainter m_fieldPainter;

    ReportPageObject *m_pPage = nullptr;
    int m_nReportPage = 0;
    int m_nCurrentPage = 1;
    int m_nTotalPages = 0;
    int m_nRecNo = 0;
    int m_nLineNo = 1;
    int m_nLineCount = 0;
    int m_nLineCounter = 0;
    int m_nFromPage = 0;
    int m_nToPage = 0;
    int m_nPageStart = 1;       // the sheet the report page being processed starts on
    QVector<int> m_sheetOwners; // counting pass: the report page of each sheet
    bool m_bDraw = false;
    bool m_bSheetUsed = false;
    double m_dY = 0;           // template units from the top of the printable area
    double m_dH = 0;           // usable page height
    double m_dW = 0;           // usable page width
    QPageLayout m_pageLayout;  // of the report page being processed
    QPageLayout m_sheetLayout; // of the sheet being drawn on
    QRectF m_paperRect;        // the page's paper in the painter's coordinates
    ReportBand *m_pRepeatHeader = nullptr;
    QHash<QString, QVariantList> m_bandValues;
    QHash<QString, QVariantList> m_groupValues;
};
