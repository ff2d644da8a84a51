#include "dataviewer/DataManage.h"
#include "ui_DataManage.h"

#include "dataviewer/DataCategory.h"
#include "dataviewer/DataList.h"
#include "dataviewer/EditDelegate.h"
#include "dataviewer/Report.h"
#include "device/DeviceDisks.h"
#include "widgets/KXButtonDelegate.h"
#include "widgets/KXCheckBoxHeaderView.h"
#include "widgets/MessageBox.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace
{
// The report button's caption, stored untranslated; the button delegate
// translates it when drawing.
const char *const kReportCaption = QT_TRANSLATE_NOOP("KXButtonDelegate", "报告");
} // namespace

DataManage::DataManage(QWidget *parent) : QWidget(parent), ui(new Ui::DataManage)
{
    ui->setupUi(this);

    pDataList = new DataList(this);
    pReport = new Report(this);
    ui->stackedWidget->addWidget(pDataList);
    ui->stackedWidget->addWidget(pReport);
    connect(pDataList, &DataList::back, this, [this] { ui->stackedWidget->setCurrentIndex(0); });
    connect(pReport, &Report::back, this, [this] { ui->stackedWidget->setCurrentIndex(0); });

    ui->tbDataList->setMouseTracking(true);
    pButtonDelegate = new KXButtonDelegate(ui->tbDataList);
    ui->tbDataList->setItemDelegateForColumn(3, pButtonDelegate);
    ui->tbDataList->setItemDelegateForColumn(1, new EditDelegate(ui->tbDataList));
    connect(pButtonDelegate, &KXButtonDelegate::OnButtonClick, this, &DataManage::Open);

    pHeader = new KXCheckBoxHeaderView(ui->tbDataList);
    ui->tbDataList->setHorizontalHeader(pHeader);
    pHeader->setStretchLastSection(true);
    ui->tbDataList->setColumnWidth(0, 280);
    ui->tbDataList->setColumnWidth(1, 160);
    connect(pHeader, &KXCheckBoxHeaderView::checkStausChange, this, &DataManage::SelectAll);
}

DataManage::~DataManage()
{
    delete ui;
}

void DataManage::SetDiskSource(std::function<QString()> fnDisk)
{
    fnDiskSource = std::move(fnDisk);
}

void DataManage::Refresh()
{
    pHeader->SetChecked(false);
    pHeader->viewport()->update();
    ui->tbDataList->setRowCount(0);

    const QString sDisk = fnDiskSource ? fnDiskSource() : QString();
    if (sDisk.isEmpty())
        return;
    for (const DataCategory &category : DataCategories(SaveFolder(sDisk))) {
        const QFileInfoList lstFiles =
            QDir(category.sFolder).entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase);
        for (const QFileInfo &info : lstFiles) {
            AppendFileRow(info.filePath(), info.fileName(), quint64(info.size()), category.nNumber,
                          category.sTitle);
            qDebug() << info.filePath();
        }
    }
}

void DataManage::AppendFileRow(const QString &sPath, const QString &sName, quint64 nSize,
                               int nCategory, const QString &sTitle)
{
    QTableWidget *pTable = ui->tbDataList;
    const int nRow = pTable->rowCount();
    pTable->insertRow(nRow);

    auto *pName = new QTableWidgetItem(sName);
    pName->setCheckState(Qt::Unchecked);
    pName->setData(kRolePath, sPath);
    pName->setData(kRoleCategory, nCategory);
    pTable->setItem(nRow, 0, pName);
    pTable->setItem(nRow, 1, new QTableWidgetItem(sTitle));
    pTable->setItem(nRow, 2, new QTableWidgetItem(FormatSize(nSize)));

    auto *pButton = new QTableWidgetItem();
    pButton->setData(KXButtonDelegate::CaptionRole, QString::fromUtf8(kReportCaption));
    pButton->setForeground(QColor(0, 0, 255));
    pTable->setItem(nRow, 3, pButton);
}

void DataManage::SelectAll(bool bChecked)
{
    for (int nRow = 0; nRow < ui->tbDataList->rowCount(); ++nRow) {
        if (QTableWidgetItem *pItem = ui->tbDataList->item(nRow, 0))
            pItem->setCheckState(bChecked ? Qt::Checked : Qt::Unchecked);
    }
}

void DataManage::Open(int nRow)
{
    qDebug() << QString("Row %1 clicked").arg(nRow);
    const QTableWidgetItem *pItem = ui->tbDataList->item(nRow, 0);
    if (!pItem)
        return;
    const QString sPath = pItem->data(kRolePath).toString();
    const int nCategory = pItem->data(kRoleCategory).toInt();
    if (nCategory >= CategoryTroubleCode && nCategory <= CategoryVehicleVersion) {
        pReport->SetTemplate(QString(":/other/%1.xml").arg(nCategory));
        if (pReport->Load(sPath))
            ui->stackedWidget->setCurrentWidget(pReport);
        else
            NotShown(sPath, pReport->LastStatus());
        return;
    }
    if (!pDataList->Load(sPath)) {
        NotShown(sPath, pDataList->LastStatus());
        return;
    }
    ui->stackedWidget->setCurrentWidget(pDataList);
    if (pDataList->LastCut())
        ShowMessage(this, tr("提示"),
                    tr("记录 %1 太大，只读取了前 %L2 帧；文件其余的 %3 没有读取。")
                        .arg(QFileInfo(sPath).fileName())
                        .arg(pDataList->FrameCount())
                        .arg(FormatSize(quint64(pDataList->LastBytesLeft()))));
}

// The pages were emptied (or, for a read the user stopped, left alone): the
// list is shown again, and the user told why unless they chose it.
void DataManage::NotShown(const QString &sPath, RecordReadStatus status)
{
    ui->stackedWidget->setCurrentIndex(0);
    const QString sName = QFileInfo(sPath).fileName();
    switch (status) {
    case RecordReadStatus::Stopped:
    case RecordReadStatus::Read:
        return;
    case RecordReadStatus::Empty:
        ShowMessage(this, tr("提示"), tr("记录 %1 是空的或不完整，没有可显示的内容。").arg(sName));
        return;
    case RecordReadStatus::Unreadable:
        // The file went away (device pulled, deleted elsewhere) or cannot be read.
        ShowMessage(this, tr("提示"),
                    tr("无法打开记录 %1，它可能已被删除或设备已拔出。").arg(sName));
        return;
    }
}

void DataManage::on_btnDelete_clicked()
{
    QList<QTableWidgetItem *> lstChecked;
    for (int nRow = 0; nRow < ui->tbDataList->rowCount(); ++nRow) {
        QTableWidgetItem *pItem = ui->tbDataList->item(nRow, 0);
        if (pItem && pItem->checkState() == Qt::Checked)
            lstChecked.append(pItem);
    }
    for (QTableWidgetItem *pItem : qAsConst(lstChecked)) {
        const QString sPath = pItem->data(kRolePath).toString();
        if (QFile::exists(sPath) && !QFile::remove(sPath))
            qDebug() << "cannot delete" << sPath;
        ui->tbDataList->removeRow(ui->tbDataList->row(pItem));
    }
    emit DeleteFinish();
}

void DataManage::Retranslate()
{
    ui->retranslateUi(this);
    pReport->Retranslate();
    pDataList->Retranslate();
    ui->tbDataList->viewport()->update();
}
