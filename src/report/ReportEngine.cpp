#include "report/ReportEngine.h"

#include "report/ReportBand.h"
#include "report/ReportFieldObject.h"
#include "report/ReportPageObject.h"

#include <QDebug>
#include <QDesktopServices>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QUrl>

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
    return 0;
}

int ReportEngine::TotalPages() const
{
    return m_nLastTotalPages;
}

void ReportEngine::printPreview(QPrinter *printer)
{
    Q_UNUSED(printer)
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
    Q_UNUSED(maximized)
    Q_UNUSED(direct)
    Q_UNUSED(printerName)
    m_pTargetPrinter = nullptr;
}

bool ReportEngine::exportToPdf(const QString &filePath, bool open)
{
    Q_UNUSED(filePath)
    Q_UNUSED(open)
    return false;
}

bool ReportEngine::exportToHtml(const QString &filePath, bool open)
{
    Q_UNUSED(filePath)
    Q_UNUSED(open)
    return false;
}

void ReportEngine::exportTo() {}

void ReportEngine::OpenFile(const QString &filePath)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(filePath).absoluteFilePath()));
}
