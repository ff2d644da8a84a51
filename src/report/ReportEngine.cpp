#include "report/ReportEngine.h"

#include "report/ReportBand.h"
#include "report/ReportFieldObject.h"
#include "report/ReportPageObject.h"

#include "report/ReportDialogs.h"
#include "report/ReportHtmlWriter.h"
#include "report/ReportRenderer.h"

#include <QDebug>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QUrl>

namespace
{
// The PDF writer reports no write errors: a file cut short (a full disk, a
// pulled stick) lacks the end-of-file marker it writes last.
bool IsCompletePdf(const QString &sPath)
{
    QFile file(sPath);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 16)
        return false;
    file.seek(file.size() - 16);
    return file.read(16).contains("%%EOF");
}
} // namespace

ReportEngine::ReportEngine(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<DataSetInfo>("DataSetInfo");
}

ReportEngine::~ReportEngine()
{
    ClearPages();
}

void ReportEngine::ClearPages()
{
    qDeleteAll(m_pages);
    m_pages.clear();
}

bool ReportEngine::loadTemplate(const QString &fileName)
{
    // Not while rendering: the renderer walks the current page objects.
    if (m_pRenderer)
        return false;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    ClearPages();
    m_dataSets.clear();
    m_sScript.clear();
    m_bLoaded = false;
    QDomDocument document;
    if (!document.setContent(&file)) {
        qWarning() << "Report file not found";
        m_document = QDomDocument();
        return false;
    }
    m_document = document;
    m_bLoaded = true;
    BuildObjects();
    return true;
}

void ReportEngine::BuildObjects()
{
    ClearPages();
    m_sScript.clear();
    if (!m_bLoaded)
        return;
    const QDomElement root = m_document.documentElement();
    for (QDomElement child = root.firstChildElement(); !child.isNull();
         child = child.nextSiblingElement()) {
        if (child.tagName() == QLatin1String("Report")) {
            auto *pPage = new ReportPageObject(this);
            pPage->LoadFromElement(child);
            m_pages.append(pPage);
        } else if (child.tagName() == QLatin1String("Script")) {
            const QDomNode first = child.firstChild();
            if (first.isCDATASection())
                m_sScript = first.toCDATASection().data();
        }
    }
}

QObject *ReportEngine::page(int nIndex) const
{
    return nIndex >= 0 && nIndex < m_pages.size() ? m_pages.at(nIndex) : nullptr;
}

int ReportEngine::CurrentPage() const
{
    return m_pRenderer ? m_pRenderer->CurrentPage() : 0;
}

int ReportEngine::TotalPages() const
{
    return m_pRenderer ? m_pRenderer->TotalPages() : m_nLastTotalPages;
}

void ReportEngine::printPreview(QPrinter *printer)
{
    Render(printer);
}

bool ReportEngine::Render(QPrinter *pPrinter)
{
    if (!pPrinter || m_pRenderer)
        return false;
    if (m_pages.isEmpty())
        return false;
    ReportRenderer renderer(this, pPrinter, m_mode, &m_sHtml);
    m_pRenderer = &renderer;
    const bool bOk = renderer.Run();
    m_nLastTotalPages = renderer.TotalPages();
    m_pRenderer = nullptr;
    return bOk;
}

void ReportEngine::setDialogs(ReportDialogs *pDialogs)
{
    m_pDialogs = pDialogs;
}

bool ReportEngine::setTargetPrinter(QPrinter *printer)
{
    if (m_pTargetPrinter)
        return false;
    m_pTargetPrinter = printer;
    return true;
}

void ReportEngine::printReport(bool maximized, bool direct, const QString &printerName)
{
    if (m_pRenderer)
        return;
    QPrinter *pPrinter = m_pTargetPrinter;
    if (!pPrinter) {
        if (!m_pPrintPrinter)
            m_pPrintPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
        pPrinter = m_pPrintPrinter.get();
    }
    if (!printerName.isEmpty()) {
        pPrinter->setPrinterName(printerName);
        if (!pPrinter->isValid())
            pPrinter->setPrinterName(QPrinterInfo::defaultPrinter().printerName());
    }
    m_mode = PrintMode;
    if (direct) {
        Render(pPrinter);
    } else if (m_pDialogs) {
        // The preview repaints through printPreview(); exports in between
        // leave the mode at PrintMode again.
        m_pDialogs->Preview(this, pPrinter, maximized);
        emit previewDestroyed();
    } else {
        qWarning() << "report: no dialogs to preview in";
    }
    m_pTargetPrinter = nullptr;
}

QPrinter *ReportEngine::PdfPrinter()
{
    if (!m_pPdfPrinter)
        m_pPdfPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return m_pPdfPrinter.get();
}

bool ReportEngine::exportToPdf(const QString &filePath, bool open)
{
    if (filePath.isEmpty() || m_pages.isEmpty() || m_pRenderer)
        return false;
    QPrinter *pPrinter = PdfPrinter();
    pPrinter->setOutputFormat(QPrinter::PdfFormat);
    pPrinter->setOutputFileName(filePath);
    pPrinter->setFromTo(0, 0);
    m_mode = PdfMode;
    const bool bOk = Render(pPrinter);
    m_mode = PrintMode;
    // Without a painter nothing was opened, so a file there is not ours.
    if (!bOk)
        return false;
    if (!IsCompletePdf(filePath)) {
        QFile::remove(filePath);
        return false;
    }
    if (open)
        OpenFile(filePath);
    return true;
}

bool ReportEngine::exportToHtml(const QString &filePath, bool open)
{
    if (filePath.isEmpty() || m_pages.isEmpty() || m_pRenderer)
        return false;
    QFile file(filePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Truncate))
        return false;
    // The layout needs a printer to measure on; a scratch one keeps any
    // earlier PDF export untouched.
    QTemporaryDir scratch;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(scratch.filePath(QStringLiteral("measure.pdf")));
    m_mode = HtmlMode;
    m_sHtml = ReportHtmlWriter::Prefix();
    const bool bOk = Render(&printer);
    m_mode = PrintMode;
    m_sHtml += ReportHtmlWriter::Suffix();
    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    stream << m_sHtml;
    stream.flush();
    file.close();
    m_sHtml.clear();
    if (!bOk || file.error() != QFile::NoError)
        return false;
    if (open)
        OpenFile(filePath);
    return true;
}

void ReportEngine::exportTo()
{
    if (!m_pDialogs)
        return;
    QObject *pSender = sender();
    const QString sAction = pSender ? pSender->objectName() : QString();
    if (sAction == QLatin1String("actExpToPdf")) {
        const QString sFile =
            m_pDialogs->SaveFileName(pSender, tr("Save File"), QStringLiteral("PDF Files (*.pdf)"));
        if (!sFile.isEmpty())
            exportToPdf(sFile, false);
    } else if (sAction == QLatin1String("actExpToHtml")) {
        const QString sFile = m_pDialogs->SaveFileName(pSender, tr("Save File"),
                                                       QStringLiteral("HTML Files (*.html)"));
        if (!sFile.isEmpty())
            exportToHtml(sFile, true);
    }
}

void ReportEngine::OpenFile(const QString &filePath)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(filePath).absoluteFilePath()));
}
