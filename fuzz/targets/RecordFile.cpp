// Diagnostic record files from the device disk, read both ways: by the data
// list (data streams) and by the report (the other kinds).
#include "FuzzSupport.h"
#include "FuzzTargets.h"

#include "dataviewer/DataList.h"
#include "dataviewer/RecordFile.h"
#include "dataviewer/ReportData.h"

#include <QStringList>

int FuzzRecordFile(const uint8_t *pData, size_t nSize)
{
    EnsureFuzzApplication();
    const QByteArray baData = FuzzBytes(pData, nSize);

    int nTotal = 0;
    const QList<QByteArray> chunks = RecordFile::SplitChunks(baData);
    for (const QByteArray &baChunk : chunks) {
        nTotal += baChunk.size() + 4;
        (void)RecordFile::DataListText(baChunk);
        (void)RecordFile::ReportText(baChunk);
    }
    FUZZ_CHECK(nTotal <= baData.size());

    // The content and the frames are chunks the walk found, each once.
    const DataStreamRecord stream = RecordFile::ParseDataStream(baData);
    FUZZ_CHECK(stream.lstFrames.size() + (stream.bHasContent ? 1 : 0) <= chunks.size());

    ReportData report;
    report.Apply(RecordFile::ParseReport(baData));
    const int nRows = report.RecordCount();
    FUZZ_CHECK(nRows >= 0);
    static const QStringList slNames = {QStringLiteral("VehicleName"), QStringLiteral("TT"),
                                        QStringLiteral("LB"),          QStringLiteral("VA"),
                                        QStringLiteral("DID"),         QStringLiteral("UNT")};
    for (int nRow = -1; nRow <= qMin(nRows, 64); ++nRow) {
        for (const QString &sName : slNames)
            (void)report.Value(nRow, sName);
    }

    // The data list page as the user opens it: load, pick everything, show.
    const QString sPath = FuzzScratchDir() + QStringLiteral("/record.dat");
    if (!WriteFuzzFile(sPath, baData))
        return 0;
    static DataList *s_pList = new DataList;
    s_pList->Load(sPath);
    s_pList->SelectAll(true);
    s_pList->on_btnOK_clicked();
    s_pList->on_btnBack_2_clicked();
    return 0;
}
