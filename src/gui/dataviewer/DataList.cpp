#include "dataviewer/DataList.h"
#include "ui_DataList.h"

#include "dataviewer/RecordFile.h"
#include "widgets/IconHelper.h"
#include "widgets/KXCheckBoxHeaderView.h"
#include "widgets/TableUtils.h"

#include <QDebug>
#include <QJsonDocument>

namespace
{
constexpr ushort kIconPlay = 0xF01D;
constexpr ushort kIconPause = 0xF28C;
constexpr int kIconSize = 15;
} // namespace

DataList::DataList(QWidget *parent) : QWidget(parent), ui(new Ui::DataList)
{
    ui->setupUi(this);

    pHeader = new KXCheckBoxHeaderView(ui->tbDataList);
    ui->tbDataList->setHorizontalHeader(pHeader);
    pHeader->setStretchLastSection(true);
    ui->tbDataList->setColumnWidth(0, 580);
    connect(pHeader, &KXCheckBoxHeaderView::checkStausChange, this, &DataList::SelectAll);
    connect(ui->tbDataList, &QTableWidget::cellChanged, this, &DataList::OnCellChanged);

    tmReplay.setParent(this);
    tmReplay.setObjectName("tmReplay");
    tmReplay.setInterval(kReplayIntervalMs);
    connect(&tmReplay, &QTimer::timeout, this, &DataList::OnReplayTick);

    ShowPlayIcon(true);
    ui->btnOK->setEnabled(false);
}

DataList::~DataList()
{
    delete ui;
}

QJsonArray DataList::Items() const
{
    return joContent.value("DATA").toObject().value("IS").toArray();
}

bool DataList::Load(const QString &sPath)
{
    bPlaying = false;
    tmReplay.stop();
    ShowPlayIcon(true);
    lstFrames.clear();

    DataStreamRecord record;
    const bool bRead = RecordFile::ReadDataStream(sPath, record);
    lstFrames = record.lstFrames;
    // A file without a content chunk has no items, one that cannot be read
    // has nothing: showing the previous file's items would pass them off as
    // this one's.
    joContent = record.bHasContent ? record.joContent : QJsonObject();
    nFrameIndex = 0;
    Show(joContent);
    ui->tbDetailList->setRowCount(0);
    ui->progressBar_2->setValue(0);
    ui->stackedWidget->setCurrentWidget(ui->listPage);
    return bRead;
}

void DataList::Show(const QJsonObject &joData)
{
    qDebug() << "ShowDataList";
    pHeader->SetChecked(false);
    pHeader->viewport()->update();
    mapSelection.clear();
    ui->tbDataList->setRowCount(0);

    const QJsonArray jaItems = joData.value("DATA").toObject().value("IS").toArray();
    for (const QJsonValue &value : jaItems) {
        const int nRow = ui->tbDataList->rowCount();
        ui->tbDataList->insertRow(nRow);
        auto *pName = new QTableWidgetItem(value.toObject().value("LB").toString());
        pName->setCheckState(Qt::Unchecked);
        ui->tbDataList->setItem(nRow, 0, pName);
        auto *pOrder = new QTableWidgetItem();
        pOrder->setTextAlignment(Qt::AlignCenter);
        ui->tbDataList->setItem(nRow, 1, pOrder);
    }
    ui->btnOK->setEnabled(!mapSelection.isEmpty());
}

void DataList::OnCellChanged(int nRow, int nColumn)
{
    QTableWidgetItem *pItem = ui->tbDataList->item(nRow, nColumn);
    if (nColumn == 0 && pItem) {
        const bool bChecked = pItem->checkState() == Qt::Checked;
        if (!bChecked && mapSelection.contains(nRow)) {
            const int nRemoved = mapSelection.take(nRow);
            if (QTableWidgetItem *pOrder = ui->tbDataList->item(nRow, 1))
                pOrder->setText(QString());
            for (auto it = mapSelection.begin(); it != mapSelection.end(); ++it) {
                if (it.value() <= nRemoved)
                    continue;
                --it.value();
                if (QTableWidgetItem *pOrder = ui->tbDataList->item(it.key(), 1))
                    pOrder->setText(QString::number(it.value() + 1));
            }
        } else if (bChecked && !mapSelection.contains(nRow)) {
            const int nOrder = mapSelection.size();
            mapSelection.insert(nRow, nOrder);
            if (QTableWidgetItem *pOrder = ui->tbDataList->item(nRow, 1))
                pOrder->setText(QString::number(nOrder + 1));
        }
    }
    ui->btnOK->setEnabled(!mapSelection.isEmpty());
}

void DataList::SelectAll(bool bChecked)
{
    for (int nRow = 0; nRow < ui->tbDataList->rowCount(); ++nRow) {
        QTableWidgetItem *pName = ui->tbDataList->item(nRow, 0);
        if (!pName || !ui->tbDataList->item(nRow, 1))
            continue;
        if (bChecked && pName->checkState() != Qt::Checked)
            pName->setCheckState(Qt::Checked);
        else if (!bChecked)
            pName->setCheckState(Qt::Unchecked);
    }
}

void DataList::on_btnBack_clicked()
{
    emit back();
}

void DataList::on_btnOK_clicked()
{
    nFrameIndex = 0;
    ui->progressBar_2->setMaximum(qMax(1, lstFrames.size()));
    ui->progressBar_2->setValue(0);

    const QJsonArray jaItems = Items();
    ui->tbDetailList->setRowCount(mapSelection.size());
    for (auto it = mapSelection.cbegin(); it != mapSelection.cend(); ++it) {
        const int nItem = it.key();
        const int nRow = it.value();
        qDebug() << nRow << nItem << QJsonDocument(joContent).toJson(QJsonDocument::Indented);
        const QJsonObject joItem = jaItems.at(nItem).toObject();
        const char *const keys[] = {"LB", "RV", "VA", "UNT"};
        for (int nColumn = 0; nColumn < 4; ++nColumn)
            ui->tbDetailList->setItem(nRow, nColumn,
                                      new QTableWidgetItem(joItem.value(keys[nColumn]).toString()));
    }
    // Shown first, so that the share of the spare width is taken from the
    // table's real width.
    ui->stackedWidget->setCurrentWidget(ui->Detailpage);
    if (ui->Detailpage->layout())
        ui->Detailpage->layout()->activate();
    FitColumnsToContents(ui->tbDetailList);
}

void DataList::on_btnPlay_clicked()
{
    if (bPlaying) {
        PauseReplay();
        return;
    }
    bPlaying = true;
    if (nFrameIndex >= lstFrames.size())
        nFrameIndex = 0;
    ui->progressBar_2->setMaximum(qMax(1, lstFrames.size()));
    ui->progressBar_2->setValue(nFrameIndex);
    if (nFrameIndex >= lstFrames.size()) {
        // Nothing recorded: the replay ends at once.
        bPlaying = false;
        ShowPlayIcon(true);
        return;
    }
    ShowPlayIcon(false);
    ShowFrame(nFrameIndex);
    tmReplay.start();
}

void DataList::OnReplayTick()
{
    ++nFrameIndex;
    ui->progressBar_2->setValue(nFrameIndex);
    if (nFrameIndex >= lstFrames.size()) {
        bPlaying = false;
        tmReplay.stop();
        ShowPlayIcon(true);
        return;
    }
    ShowFrame(nFrameIndex);
}

void DataList::PauseReplay()
{
    if (!bPlaying)
        return;
    bPlaying = false;
    tmReplay.stop();
    ++nFrameIndex;
    ui->progressBar_2->setValue(nFrameIndex);
    ShowPlayIcon(true);
}

void DataList::ShowFrame(int nFrame)
{
    const QJsonArray &jaFrame = lstFrames.at(nFrame);
    for (auto it = mapSelection.cbegin(); it != mapSelection.cend(); ++it) {
        if (it.key() >= jaFrame.size() || it.value() >= ui->tbDetailList->rowCount())
            continue;
        QTableWidgetItem *pValue = ui->tbDetailList->item(it.value(), 2);
        if (!pValue) {
            pValue = new QTableWidgetItem();
            ui->tbDetailList->setItem(it.value(), 2, pValue);
        }
        pValue->setText(jaFrame.at(it.key()).toString());
    }
}

void DataList::on_btnBack_2_clicked()
{
    PauseReplay();
    ui->stackedWidget->setCurrentWidget(ui->listPage);
}

void DataList::ShowPlayIcon(bool bPlay)
{
    IconHelper::Instance()->SetIcon(ui->btnPlay, QChar(bPlay ? kIconPlay : kIconPause), kIconSize);
}

void DataList::Retranslate()
{
    ui->retranslateUi(this);
    ShowPlayIcon(!bPlaying);
}
