#pragma once
// The data manager page: lists the diagnostic records saved on the device
// disk, deletes them and opens them in the data list or the report page.

#include "dataviewer/RecordFile.h"

#include <QWidget>
#include <functional>

namespace Ui
{
class DataManage;
}
class DataList;
class KXButtonDelegate;
class KXCheckBoxHeaderView;
class Report;

class DataManage : public QWidget
{
    Q_OBJECT
public:
    // Roles of the column-0 item of a row.
    static constexpr int kRolePath = Qt::UserRole + 1;
    static constexpr int kRoleCategory = Qt::UserRole + 2;

    explicit DataManage(QWidget *parent = nullptr);
    ~DataManage() override;

    // Where the page asks for the current device disk (the main window's sCurDisk).
    void SetDiskSource(std::function<QString()> fnDisk);

    // Rebuilds the table from the device disk.
    void Refresh();
    void Retranslate();

    DataList *ListPage() const { return pDataList; }
    Report *ReportPage() const { return pReport; }

public slots:
    void SelectAll(bool bChecked);
    void Open(int nRow);
    void on_btnDelete_clicked();

signals:
    void DeleteFinish();

private:
    void NotShown(const QString &sPath, RecordReadStatus status);
    void AppendFileRow(const QString &sPath, const QString &sName, quint64 nSize, int nCategory,
                       const QString &sTitle);

    Ui::DataManage *ui;
    DataList *pDataList = nullptr;
    Report *pReport = nullptr;
    KXCheckBoxHeaderView *pHeader = nullptr;
    KXButtonDelegate *pButtonDelegate = nullptr;
    std::function<QString()> fnDiskSource;
};
