#pragma once
// What the report engine asks of a user: a print preview to look at and a
// file to save into. The engine renders and exports; a window-side class
// (ReportPreview) shows the dialogs and is handed over to through this.

#include <QObject>
#include <QString>

class QPrinter;
class ReportEngine;

class ReportDialogs : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // Shows pPrinter's pages in a print preview that repaints through
    // pEngine->printPreview() and offers the engine's exports (exportTo());
    // returns when it is closed.
    virtual void Preview(ReportEngine *pEngine, QPrinter *pPrinter, bool bMaximized) = 0;
    // Asks where to save; sCaption and sFilter as the save dialog shows them.
    // pSender is what the request came from (an action of the preview); the
    // empty text when the user cancelled.
    virtual QString SaveFileName(QObject *pSender, const QString &sCaption,
                                 const QString &sFilter) = 0;
};
