#include "dataviewer/DataList.h"
#include "ui_DataList.h"

#include "dataviewer/RecordFile.h"
#include "widgets/IconHelper.h"
#include "widgets/KXCheckBoxHeaderView.h"
#include "widgets/PromptDlg.h"
#include "widgets/TableUtils.h"

#include <QDebug>
#include <QFileInfo>
#include <QJsonDocument>

#include <atomic>
#include <memory>
#include <utility>

namespace
{
constexpr ushort kIconPlay = 0xF01D;
constexpr ushort kIconPause = 0xF28C;
constexpr int kIconSize = 15;
constexpr int kContentLogBytes = 4096;
constexpr int kProgressShowMs = 100;
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

    DataStreamRecord record;
    lastStatus = ReadRecord(sPath, record);
    bLastCut = lastStatus == RecordReadStatus::Read && record.bCut;
    nLastBytesLeft = bLastCut ? qMax<qint64>(0, record.nFileSize - record.nBytesTaken) : 0;
    if (lastStatus == RecordReadStatus::Stopped)
        return false;
    // A file that cannot be read or holds no content shows nothing: the
    // previous file's items would pass for this one's.
    const bool bShown = lastStatus == RecordReadStatus::Read;
    lstFrames = bShown ? std::move(record.lstFrames) : QList<QJsonArray>();
    joContent = bShown ? record.joContent : QJsonObject();
    nFrameIndex = 0;
    Show(joContent);
    ui->tbDetailList->setRowCount(0);
    ui->progressBar_2->setValue(0);
    ui->stackedWidget->setCurrentWidget(ui->listPage);
    return bShown;
}

RecordReadStatus DataList::ReadRecord(const QString &sPath, DataStreamRecord &record)
{
    const QFileInfo info(sPath);
    if (info.size() <= kReadInPlaceBytes)
        return RecordFile::ReadDataStream(sPath, record);

    // The worker keeps the job alive for as long as it runs: a stopped read
    // goes on until it next looks at the flag, after this call has returned.
    struct Job {
        std::atomic<qint64> nOffset{0};
        std::atomic<bool> bStop{false};
        RecordReadStatus status = RecordReadStatus::Unreadable;
        DataStreamRecord record;
    };
    auto pJob = std::make_shared<Job>();
    const qint64 nTotal = qMax<qint64>(1, qMin(info.size(), RecordLimits().nMaxBytes));
    PromptDlg prompt(this);
    prompt.SetCancellable(true);
    int nPercent = 0;
    const auto showProgress = [&] {
        // The reading starts over on a longer piece of the file now and then.
        nPercent = qMax(nPercent, int(qMin<qint64>(99, pJob->nOffset * 100 / nTotal)));
        prompt.ShowPrompt(tr("正在读取记录 %1……%2%").arg(info.fileName()).arg(nPercent));
    };
    showProgress();
    QTimer progress;
    progress.setInterval(kProgressShowMs);
    connect(&progress, &QTimer::timeout, &prompt, showProgress);
    progress.start();
    bool bStopped = false;
    connect(&prompt, &PromptDlg::CancelRequested, &prompt, [&bStopped, pJob] {
        bStopped = true;
        pJob->bStop = true;
    });
    const bool bRan = prompt.RunWhile([pJob, sPath] {
        pJob->status =
            RecordFile::ReadDataStream(sPath, pJob->record, RecordLimits(), [pJob](qint64 nOffset) {
                pJob->nOffset = nOffset;
                return !pJob->bStop;
            });
    });
    progress.stop();
    if (!bRan)
        return RecordFile::ReadDataStream(sPath, record);
    if (bStopped)
        return RecordReadStatus::Stopped;
    record = std::move(pJob->record);
    return pJob->status;
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
    // Once, and not whole: a long record's content written once per chosen
    // item would hold the window for minutes.
    qDebug().noquote()
        << QJsonDocument(joContent).toJson(QJsonDocument::Indented).left(kContentLogBytes);
    ui->tbDetailList->setRowCount(mapSelection.size());
    for (auto it = mapSelection.cbegin(); it != mapSelection.cend(); ++it) {
        const int nItem = it.key();
        const int nRow = it.value();
        qDebug() << nRow << nItem;
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
