#include "dataviewer/Report.h"
#include "ui_Report.h"

#include "report/ReportEngine.h"
#include "report/ReportPreview.h"
#include "widgets/MessageBox.h"

#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QScrollBar>
#include <QVBoxLayout>

Report::Report(QWidget *parent) : QWidget(parent), ui(new Ui::Report)
{
    ui->setupUi(this);

    pEngine = new ReportEngine(this);
    new ReportPreview(pEngine);
    connect(pEngine, &ReportEngine::setValue, this, &Report::setValue);
    connect(pEngine, &ReportEngine::setDSInfo, this, &Report::setDSInfo);

    pPreviewPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    pPreviewPrinter->setOutputFormat(QPrinter::PdfFormat);
    pPreviewPrinter->setPageOrientation(QPageLayout::Portrait);
    pPreviewPrinter->setPageSize(QPageSize(QPageSize::A4));

    pPreview = new QPrintPreviewWidget(pPreviewPrinter.get(), ui->widget);
    auto *pLayout = new QVBoxLayout(ui->widget);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(pPreview);
    connect(pPreview, &QPrintPreviewWidget::paintRequested, pEngine, &ReportEngine::printPreview);
    pPreview->show();
    pPreview->fitToWidth();
}

Report::~Report()
{
    // The preview refers to the printer: let it go first.
    delete pPreview;
    delete ui;
}

void Report::SetTemplate(const QString &sPath)
{
    sTemplatePath = sPath;
    pEngine->loadTemplate(sPath);
}

bool Report::Load(const QString &sPath)
{
    // Nothing of the record shown before stays, not even its vehicle name or
    // title: a record without them must not pass for that one.
    data.Clear();
    ReportRecord record;
    lastStatus = RecordFile::ReadReport(sPath, record);
    if (lastStatus == RecordReadStatus::Read)
        data.Apply(record);

    for (QScrollBar *pBar : findChildren<QScrollBar *>()) {
        if (pBar->orientation() == Qt::Vertical)
            pBar->setValue(pBar->minimum());
    }
    pPreview->updatePreview();
    return lastStatus == RecordReadStatus::Read;
}

void Report::setDSInfo(DataSetInfo &dsInfo)
{
    dsInfo.recordCount = data.RecordCount();
}

void Report::setValue(const int recNo, const QString paramName, QVariant &paramValue,
                      const int reportPage)
{
    Q_UNUSED(reportPage);
    paramValue = data.Value(recNo, paramName);
}

void Report::PrintOn(QPrinter *pPrinter)
{
    qDebug() << pPrinter->printerName();
    if (!pEngine->setTargetPrinter(pPrinter)) {
        qDebug() << "the report engine is busy with another printer";
        return;
    }
    pEngine->printReport(true, true, QString());
}

void Report::on_btnPrint_clicked()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    PrintOn(&printer);
}

bool Report::SaveAs(const QString &sPath)
{
    if (pEngine->exportToPdf(sPath, true))
        return true;
    ShowMessage(this, tr("提示"),
                tr("报告未能保存到 %1。请检查该位置是否可写、空间是否足够。")
                    .arg(QDir::toNativeSeparators(sPath)));
    return false;
}

void Report::on_btnSave_clicked()
{
    QString sPath = QFileDialog::getSaveFileName(this, tr("保存"), QString(), "PDF Files (*.pdf)");
    if (sPath.isEmpty())
        return;
    if (QFileInfo(sPath).suffix().isEmpty())
        sPath += ".pdf";
    SaveAs(sPath);
}

void Report::on_btnBack_clicked()
{
    emit back();
}

void Report::Retranslate()
{
    ui->retranslateUi(this);
    // The report's own headings are translated while it renders.
    if (!sTemplatePath.isEmpty())
        pPreview->updatePreview();
}
