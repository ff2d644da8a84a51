// Report templates: loaded and rendered once into a PDF kept in memory
// (the scratch folder lies on a memory file system).
#include "FuzzSupport.h"
#include "FuzzTargets.h"

#include "report/DataSetInfo.h"
#include "report/ReportEngine.h"

#include <QFile>

int FuzzReportTemplate(const uint8_t *pData, size_t nSize)
{
    EnsureFuzzApplication();
    const QString sTemplate = FuzzScratchDir() + QStringLiteral("/template.xml");
    if (!WriteFuzzFile(sTemplate, FuzzBytes(pData, nSize)))
        return 0;
    ReportEngine engine;
    if (!engine.loadTemplate(sTemplate))
        return 0;
    // Answer like the report page: a few records, a text for every field.
    QObject::connect(&engine, &ReportEngine::setDSInfo,
                     [](DataSetInfo &info) { info.recordCount = 3; });
    QObject::connect(&engine, &ReportEngine::setValue,
                     [](const int nRecNo, const QString sName, QVariant &value, const int) {
                         value = QStringLiteral("%1 %2").arg(sName).arg(nRecNo);
                     });
    const QString sPdf = FuzzScratchDir() + QStringLiteral("/report.pdf");
    QFile::remove(sPdf);
    if (engine.exportToPdf(sPdf)) {
        QFile pdf(sPdf);
        FUZZ_CHECK(pdf.open(QIODevice::ReadOnly));
        FUZZ_CHECK(pdf.read(5) == "%PDF-");
    }
    return 0;
}
