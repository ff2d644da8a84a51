#pragma once
// The report engine's dialogs: its print preview, whose tool bar adds "Save as
// PDF" and "Save as HTML", and the save-file dialog of those exports.

#include "report/ReportDialogs.h"

class ReportPreview : public ReportDialogs
{
    Q_OBJECT
public:
    // Becomes pEngine's dialogs, as its child: it goes when the engine goes.
    explicit ReportPreview(ReportEngine *pEngine);

    void Preview(ReportEngine *pEngine, QPrinter *pPrinter, bool bMaximized) override;
    QString SaveFileName(QObject *pSender, const QString &sCaption,
                         const QString &sFilter) override;
};
