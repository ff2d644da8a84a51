#include "report/ReportPreview.h"

#include "report/ReportEngine.h"

#include <QAction>
#include <QFileDialog>
#include <QIcon>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QToolBar>

ReportPreview::ReportPreview(ReportEngine *pEngine) : ReportDialogs(pEngine)
{
    pEngine->setDialogs(this);
}

void ReportPreview::Preview(ReportEngine *pEngine, QPrinter *pPrinter, bool bMaximized)
{
    QPrintPreviewDialog dialog(pPrinter);
    dialog.setObjectName(QStringLiteral("ReportPreviewDialog"));
    if (auto *pToolBar = dialog.findChild<QToolBar *>()) {
        pToolBar->addSeparator();
        QAction *pPdf = pToolBar->addAction(QIcon(QStringLiteral(":/pdf.png")), tr("Save as PDF"));
        pPdf->setObjectName(QStringLiteral("actExpToPdf"));
        connect(pPdf, &QAction::triggered, pEngine, &ReportEngine::exportTo);
        QAction *pHtml =
            pToolBar->addAction(QIcon(QStringLiteral(":/html.png")), tr("Save as HTML"));
        pHtml->setObjectName(QStringLiteral("actExpToHtml"));
        connect(pHtml, &QAction::triggered, pEngine, &ReportEngine::exportTo);
    }
    connect(&dialog, &QPrintPreviewDialog::paintRequested, pEngine, &ReportEngine::printPreview);
    if (bMaximized)
        dialog.showMaximized();
    dialog.exec();
}

QString ReportPreview::SaveFileName(QObject *pSender, const QString &sCaption,
                                    const QString &sFilter)
{
    // The dialog opens over the preview that asked.
    QWidget *pParent = qobject_cast<QWidget *>(pSender ? pSender->parent() : nullptr);
    return QFileDialog::getSaveFileName(pParent, sCaption, QString(), sFilter);
}
