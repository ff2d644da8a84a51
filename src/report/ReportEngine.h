#pragma once

#include "report/DataSetInfo.h"

#include <QDomDocument>
#include <QImage>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>
#include <memory>

class QPrinter;
class ReportDialogs;
class ReportFieldObject;
class ReportPageObject;
class ReportRenderer;

// Lays out banded reports from XML templates onto a printer, a PDF file or
// an HTML file. The engine holds no data: it asks the application for the
// record count of each data band (setDSInfo) and for each placeholder value
// (setValue), synchronously, while it renders. It shows no window itself: its
// print preview and save dialogs are those of the ReportDialogs it was given.
class ReportEngine : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int currentPage READ CurrentPage)
    Q_PROPERTY(int totalPages READ TotalPages)
public:
    enum OutputMode { PrintMode = 0, PdfMode = 1, HtmlMode = 2 };

    explicit ReportEngine(QObject *parent = nullptr);
    ~ReportEngine() override;

    // Reads a template (a resource path is allowed). False when the file
    // cannot be opened or is not well-formed XML.
    bool loadTemplate(const QString &fileName);

    // The dialogs of printReport() and exportTo(); without them a preview is
    // not shown and the export actions do nothing. Not owned.
    void setDialogs(ReportDialogs *pDialogs);

    // Adopts a printer for the next printReport(); false when one is
    // already adopted. The caller keeps ownership.
    bool setTargetPrinter(QPrinter *printer);
    // Prints on the adopted printer (or the engine's own), directly or
    // through the dialogs' print preview with "Save as PDF"/"Save as HTML".
    void printReport(bool maximized = false, bool direct = false,
                     const QString &printerName = QString());

    // Renders into a PDF file; true when the file was written. With open
    // set, the desktop's default application is asked to show it.
    bool exportToPdf(const QString &filePath, bool open = false);
    // Renders into one continuous HTML document; true when written.
    bool exportToHtml(const QString &filePath, bool open = false);

    const QList<ReportPageObject *> &Pages() const { return m_pages; }
    QString ScriptText() const { return m_sScript; }
    OutputMode Mode() const { return m_mode; }
    int CurrentPage() const;
    int TotalPages() const;
    // The DataSetInfo records gathered in the last rendering's first pass.
    QList<DataSetInfo> DataSets() const { return m_dataSets; }

    Q_INVOKABLE QObject *page(int nIndex) const;

public slots:
    // Renders the whole report onto the printer; a print preview widget's
    // paintRequested signal connects here.
    void printPreview(QPrinter *printer);
    // Export actions of the engine's print preview dialog: by the sending
    // action's name, asks the dialogs for a file and exports into it.
    void exportTo();

signals:
    void setDSInfo(DataSetInfo &dsInfo);
    void setValue(const int recNo, const QString paramName, QVariant &paramValue,
                  const int reportPage);
    void setValueImage(const int recNo, const QString paramName, QImage &paramValue,
                       const int reportPage);
    void setValueDiagram(const int recNo, const QString paramName, QVariantList &values,
                         const int reportPage);
    void setField(ReportFieldObject &fieldObject);
    void newPage(int page);
    void previewDestroyed();

private:
    friend class ReportRenderer;
    // Rebuilds the page objects from the stored document.
    void BuildObjects();
    void ClearPages();
    void OpenFile(const QString &filePath);
    bool Render(QPrinter *pPrinter);
    QPrinter *PdfPrinter();

    QDomDocument m_document;
    bool m_bLoaded = false;
    QList<ReportPageObject *> m_pages;
    QString m_sScript;
    OutputMode m_mode = PrintMode;
    QString m_sHtml;
    QList<DataSetInfo> m_dataSets;
    ReportRenderer *m_pRenderer = nullptr; // only while rendering
    int m_nLastTotalPages = 0;
    std::unique_ptr<QPrinter> m_pPdfPrinter;
    std::unique_ptr<QPrinter> m_pPrintPrinter;
    QPrinter *m_pTargetPrinter = nullptr;
    QPointer<ReportDialogs> m_pDialogs;
};
