#pragma once
// The diagnostic report page: renders a saved record through the report
// engine into an embedded print preview, prints it and saves it as PDF.

#include "dataviewer/ReportData.h"
#include "report/DataSetInfo.h"

#include <QVariant>
#include <QWidget>
#include <memory>

namespace Ui
{
class Report;
}
class QPrintPreviewWidget;
class QPrinter;
class ReportEngine;

class Report : public QWidget
{
    Q_OBJECT
public:
    explicit Report(QWidget *parent = nullptr);
    ~Report() override;

    // Has the engine load the template (":/other/2.xml" .. ":/other/5.xml").
    void SetTemplate(const QString &sPath);
    QString TemplatePath() const { return sTemplatePath; }
    // Reads a record and refreshes the preview. A record that cannot be read
    // or holds no content empties the page (nothing of the previous record
    // stays) and gives false; LastStatus() tells which.
    bool Load(const QString &sPath);
    RecordReadStatus LastStatus() const { return lastStatus; }
    void Retranslate();

    // Renders the report onto a printer the user chose.
    void PrintOn(QPrinter *pPrinter);
    // Writes the report as PDF and opens it with the desktop's viewer; says
    // so when the file could not be written, and gives false then.
    bool SaveAs(const QString &sPath);

    const ReportData &Data() const { return data; }
    ReportEngine *Engine() const { return pEngine; }
    QPrintPreviewWidget *Preview() const { return pPreview; }

public slots:
    void setDSInfo(DataSetInfo &dsInfo);
    void setValue(const int recNo, const QString paramName, QVariant &paramValue,
                  const int reportPage);
    void on_btnPrint_clicked();
    void on_btnSave_clicked();
    void on_btnBack_clicked();

signals:
    void back();

private:
    Ui::Report *ui;
    ReportEngine *pEngine = nullptr;
    std::unique_ptr<QPrinter> pPreviewPrinter;
    QPrintPreviewWidget *pPreview = nullptr;
    QString sTemplatePath;
    ReportData data;
    RecordReadStatus lastStatus = RecordReadStatus::Unreadable;
};
