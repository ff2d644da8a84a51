#include "update/PackageCheckPanel.h"

#include "update/PackageCheckTask.h"
#include "widgets/MessageBox.h"

#include <QBoxLayout>
#include <QBrush>
#include <QColor>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>

namespace
{

// Column ResultColumn keeps the outcome as data; its text is made from it in
// the language of the moment.
const int kOutcomeRole = Qt::UserRole;
const int kCountRole = Qt::UserRole + 1;    // files damaged, or not repaired
const int kPathsRole = Qt::UserRole + 2;    // "<kind>\t<path>" of each damaged file
const int kRevisionRole = Qt::UserRole + 3; // the server's revision
const int kRepairedRole = Qt::UserRole + 4; // files repaired

enum Outcome {
    Intact,
    Damaged,
    ManifestMissing,
    ManifestUnreadable,
    Repaired,
    PartlyRepaired,
    NotRepaired,
    UpdateAvailable,
    NotOnServer,
    BadReply,
    NotAPackage,
};

// Tooltips list at most this many files.
const int kMaxTipLines = 30;

} // namespace

PackageCheckPanel::PackageCheckPanel(QWidget *pMainWindow, QTableWidget *pInstalledTable,
                                     QBoxLayout *pOptions, QPushButton *pUninstallButton,
                                     std::function<DownloadRequest()> deviceSource,
                                     std::function<bool()> signedInSource)
    : QObject(pMainWindow), pWindow(pMainWindow), pTable(pInstalledTable),
      pUninstall(pUninstallButton), device(std::move(deviceSource)),
      signedIn(std::move(signedInSource))
{
    pbCheck = new QProgressBar(pWindow);
    pbCheck->setObjectName(QStringLiteral("pbCheck"));
    pbCheck->setRange(0, 1000);
    pbCheck->setTextVisible(false);
    pbCheck->setMinimumWidth(200);
    pbCheck->hide();
    btnCancelCheck = new QPushButton(pWindow);
    btnCancelCheck->setObjectName(QStringLiteral("btnCancelCheck"));
    btnCancelCheck->setMinimumSize(80, 28);
    btnCancelCheck->hide();
    btnCheck = new QPushButton(pWindow);
    btnCheck->setObjectName(QStringLiteral("btnCheck"));
    btnCheck->setMinimumSize(100, 28);
    btnRepair = new QPushButton(pWindow);
    btnRepair->setObjectName(QStringLiteral("btnRepair"));
    btnRepair->setMinimumSize(100, 28);

    // Progress on the left, the actions beside the uninstall button.
    pOptions->insertWidget(0, pbCheck);
    pOptions->insertWidget(1, btnCancelCheck);
    const int nUninstall = pOptions->indexOf(pUninstall);
    pOptions->insertWidget(nUninstall < 0 ? pOptions->count() : nUninstall, btnCheck);
    pOptions->insertWidget(pOptions->indexOf(btnCheck) + 1, btnRepair);

    pTable->setColumnCount(ResultColumn + 1);
    pTable->setHorizontalHeaderItem(ResultColumn, new QTableWidgetItem);
    // The folder column no longer stretches: it keeps a width of its own.
    pTable->setColumnWidth(ResultColumn - 1, 260);

    connect(btnCheck, &QPushButton::clicked, this, &PackageCheckPanel::StartCheck);
    connect(btnRepair, &QPushButton::clicked, this, &PackageCheckPanel::StartRepair);
    connect(btnCancelCheck, &QPushButton::clicked, this, &PackageCheckPanel::Cancel);
    Retranslate();
}

PackageCheckPanel::~PackageCheckPanel()
{
    if (!pThread)
        return;
    pTask->Cancel();
    pThread->wait();
    delete pThread;
    delete pTask;
}

void PackageCheckPanel::Retranslate()
{
    btnCheck->setText(tr("检查"));
    btnRepair->setText(tr("修复"));
    btnCancelCheck->setText(tr("取消"));
    EnableRepair(); // its tooltip
    if (QTableWidgetItem *pHeader = pTable->horizontalHeaderItem(ResultColumn))
        pHeader->setText(tr("检查结果"));
    for (int nRow = 0; nRow < pTable->rowCount(); ++nRow)
        RenderRow(nRow);
}

void PackageCheckPanel::StartCheck()
{
    Start(false);
}

void PackageCheckPanel::StartRepair()
{
    Start(true);
}

void PackageCheckPanel::RefreshSignedIn()
{
    EnableRepair();
}

void PackageCheckPanel::EnableRepair()
{
    const bool bSignedIn = signedIn && signedIn();
    btnRepair->setEnabled(!pThread && bSignedIn);
    // Says why it is not offered; a signed-in user needs no word.
    btnRepair->setToolTip(bSignedIn ? QString() : tr("修复要从服务器取回文件，请先登录。"));
}

void PackageCheckPanel::Cancel()
{
    if (pTask)
        pTask->Cancel();
}

QStringList PackageCheckPanel::ChosenFolders() const
{
    QStringList slChecked;
    QStringList slAll;
    for (int nRow = 0; nRow < pTable->rowCount(); ++nRow) {
        const QTableWidgetItem *pName = pTable->item(nRow, 0);
        const QString sFolder = pName ? pName->data(Qt::UserRole + 1).toString() : QString();
        if (sFolder.isEmpty())
            continue;
        slAll << sFolder;
        if (pName->checkState() == Qt::Checked)
            slChecked << sFolder;
    }
    return slChecked.isEmpty() ? slAll : slChecked;
}

int PackageCheckPanel::RowOfFolder(const QString &sFolder) const
{
    for (int nRow = 0; nRow < pTable->rowCount(); ++nRow) {
        const QTableWidgetItem *pName = pTable->item(nRow, 0);
        if (pName && pName->data(Qt::UserRole + 1).toString() == sFolder)
            return nRow;
    }
    return -1;
}

void PackageCheckPanel::Start(bool bRepair)
{
    if (pThread)
        return;
    // Nobody to ask the server for (the button may have been pressed just before a sign-out).
    if (bRepair && !(signedIn && signedIn())) {
        EnableRepair();
        return;
    }
    const DownloadRequest request = device();
    const QStringList slFolders = ChosenFolders();
    if (request.sDisk.isEmpty() || slFolders.isEmpty())
        return;
    sTaskDisk = request.sDisk;
    bTaskRepairs = bRepair;
    nRepaired = nNotRepaired = nUpdates = nNothingToRepair = 0;
    pTask = new PackageCheckTask(request, slFolders, bRepair);
    PackageCheckTask *pRunning = pTask;
    // The task lives here; its signals come from the worker, so they arrive queued.
    connect(pTask, &PackageCheckTask::Progress, pbCheck, &QProgressBar::setValue);
    connect(pTask, &PackageCheckTask::Checked, this, &PackageCheckPanel::OnChecked);
    connect(pTask, &PackageCheckTask::Repaired, this, &PackageCheckPanel::OnRepaired);
    pThread = QThread::create([pRunning] { pRunning->Run(); });
    connect(pThread, &QThread::finished, this, &PackageCheckPanel::OnThreadFinished);
    SetRunning(true);
    pThread->start();
}

void PackageCheckPanel::SetRunning(bool bRunning)
{
    pbCheck->setValue(0);
    pbCheck->setVisible(bRunning);
    btnCancelCheck->setVisible(bRunning);
    btnCheck->setEnabled(!bRunning);
    EnableRepair();
    // Removing a package while it is checked or repaired would leave half of it.
    if (pUninstall)
        pUninstall->setEnabled(!bRunning);
}

void PackageCheckPanel::OnChecked(const PackageCheckResult &result)
{
    // Results for a disk that is no longer the current one tell nothing about it.
    if (device().sDisk != sTaskDisk)
        return;
    const int nRow = RowOfFolder(result.sFolder);
    if (nRow < 0)
        return;
    QTableWidgetItem *pItem = pTable->item(nRow, ResultColumn);
    if (!pItem) {
        pItem = new QTableWidgetItem;
        pTable->setItem(nRow, ResultColumn, pItem);
    }
    QStringList slPaths;
    for (const FileFault &fault : result.faults)
        slPaths << QStringLiteral("%1\t%2").arg(int(fault.kind)).arg(fault.sPath);
    Outcome outcome = Intact;
    switch (result.state) {
    case PackageCheckResult::Damaged:
        outcome = Damaged;
        break;
    case PackageCheckResult::ManifestMissing:
        outcome = ManifestMissing;
        break;
    case PackageCheckResult::ManifestUnreadable:
        outcome = ManifestUnreadable;
        break;
    case PackageCheckResult::NotAPackage:
        outcome = NotAPackage;
        break;
    default:
        break;
    }
    if (bTaskRepairs && outcome != Damaged)
        ++nNothingToRepair;
    pItem->setData(kOutcomeRole, int(outcome));
    pItem->setData(kCountRole, result.faults.size());
    pItem->setData(kPathsRole, slPaths);
    pItem->setData(kRevisionRole, QString());
    pItem->setData(kRepairedRole, 0);
    RenderRow(nRow);
}

void PackageCheckPanel::OnRepaired(const QString &sFolder, const PackageRepairResult &result)
{
    if (device().sDisk != sTaskDisk)
        return;
    Outcome outcome = NotRepaired;
    switch (result.state) {
    case PackageRepairResult::Repaired:
        outcome = Repaired;
        ++nRepaired;
        break;
    case PackageRepairResult::PartlyRepaired:
        outcome = PartlyRepaired;
        ++nNotRepaired;
        break;
    case PackageRepairResult::UpdateAvailable:
        outcome = UpdateAvailable;
        ++nUpdates;
        break;
    case PackageRepairResult::NotOnServer:
        outcome = NotOnServer;
        ++nNotRepaired;
        break;
    case PackageRepairResult::BadReply:
        outcome = BadReply;
        ++nNotRepaired;
        break;
    case PackageRepairResult::Cancelled:
    case PackageRepairResult::NothingToRepair:
        return; // the check's outcome stays
    case PackageRepairResult::NotRepaired:
        ++nNotRepaired;
        break;
    }
    const int nRow = RowOfFolder(sFolder);
    QTableWidgetItem *pItem = nRow < 0 ? nullptr : pTable->item(nRow, ResultColumn);
    if (!pItem)
        return;
    pItem->setData(kOutcomeRole, int(outcome));
    pItem->setData(kCountRole, result.nFailed);
    pItem->setData(kRepairedRole, result.nRepaired);
    pItem->setData(kRevisionRole, result.sServerRev);
    RenderRow(nRow);
}

void PackageCheckPanel::OnThreadFinished()
{
    const bool bCancelled = pTask->IsCancelled();
    delete pTask;
    pTask = nullptr;
    pThread->deleteLater();
    pThread = nullptr;
    SetRunning(false);
    if (!bTaskRepairs || bCancelled || device().sDisk != sTaskDisk)
        return;
    QString sMsg;
    if (nRepaired + nNotRepaired + nUpdates == 0) {
        sMsg = tr("没有需要修复的软件包。");
    } else {
        sMsg = tr("修复完成：%1 个软件包已修复，%2 个未能修复，%3 个有新版本，请在下载页更新。")
                   .arg(nRepaired)
                   .arg(nNotRepaired)
                   .arg(nUpdates);
    }
    ShowMessage(pWindow, tr("提示"), sMsg);
}

void PackageCheckPanel::RenderRow(int nRow)
{
    QTableWidgetItem *pItem = pTable->item(nRow, ResultColumn);
    if (!pItem || !pItem->data(kOutcomeRole).isValid())
        return;
    const int nCount = pItem->data(kCountRole).toInt();
    const int nRepairedFiles = pItem->data(kRepairedRole).toInt();
    const QString sRevision = pItem->data(kRevisionRole).toString();
    QString sText;
    QColor color(0, 128, 0);
    bool bListFiles = false;
    switch (Outcome(pItem->data(kOutcomeRole).toInt())) {
    case Intact:
        sText = tr("完好");
        break;
    case Damaged:
        sText = tr("%1 个文件损坏或缺失").arg(nCount);
        color = QColor(255, 0, 0);
        bListFiles = true;
        break;
    case ManifestMissing:
        sText = tr("缺少安装清单 Update.json");
        color = QColor(255, 0, 0);
        break;
    case ManifestUnreadable:
        sText = tr("安装清单 Update.json 无法读取");
        color = QColor(255, 0, 0);
        break;
    case Repaired:
        sText = tr("已修复");
        break;
    case PartlyRepaired:
        sText = tr("已修复 %1 个文件，%2 个未能修复").arg(nRepairedFiles).arg(nCount);
        color = QColor(0, 0, 255);
        bListFiles = true;
        break;
    case NotRepaired:
        sText = tr("修复失败：%1 个文件未能修复").arg(nCount);
        color = QColor(255, 0, 0);
        bListFiles = true;
        break;
    case UpdateAvailable:
        sText = tr("有新版本 %1，请在下载页更新").arg(sRevision);
        color = QColor(0, 0, 255);
        bListFiles = true;
        break;
    case NotOnServer:
        sText = tr("服务器上没有此软件包");
        color = QColor(255, 0, 0);
        bListFiles = true;
        break;
    case BadReply:
        sText = tr("获取数据异常");
        color = QColor(255, 0, 0);
        bListFiles = true;
        break;
    case NotAPackage:
        sText = tr("设备自己的文件夹，不是软件包");
        color = QColor(255, 0, 0);
        break;
    }
    pItem->setText(sText);
    pItem->setForeground(QBrush(color));

    QStringList slTip;
    const QStringList slPaths = bListFiles ? pItem->data(kPathsRole).toStringList() : QStringList();
    for (const QString &sEntry : slPaths) {
        if (slTip.size() == kMaxTipLines) {
            slTip << tr("……另有 %1 个文件").arg(slPaths.size() - kMaxTipLines);
            break;
        }
        const QString sPath = sEntry.section(QLatin1Char('\t'), 1);
        switch (FileFault::Kind(sEntry.section(QLatin1Char('\t'), 0, 0).toInt())) {
        case FileFault::Missing:
            slTip << tr("缺失：%1").arg(sPath);
            break;
        case FileFault::SizeDiffers:
            slTip << tr("大小不符：%1").arg(sPath);
            break;
        case FileFault::DigestDiffers:
            slTip << tr("内容损坏：%1").arg(sPath);
            break;
        case FileFault::Refused:
            slTip << tr("路径不安全，未检查：%1").arg(sPath);
            break;
        }
    }
    pItem->setToolTip(slTip.join(QLatin1Char('\n')));
}
