// The main window's update manager: the catalogue on the download page, the
// downloads it starts, and the installed packages on the uninstall page. The
// rules live in the core (UpdateCatalogue, DownloadRequest, DownloadBatch,
// InstalledManifest, InstalledPackages); this file ties them to the window's
// tables.
//
// Workers never touch a widget: what they need is read from the table on the
// GUI thread before they are queued, and what they report comes back on the
// GUI thread and finds its row by its handle (a row of a rebuilt table has a
// new handle, so late reports for a vanished row change nothing).

#include "ui_MainWindow.h"
#include "update/MainWindow.h"
#include "update/UpdateTable.h"

#include "accounts/LoginReply.h"
#include "app/Settings.h"
#include "app/WorkingFolder.h"
#include "base/Json.h"
#include "base/ThreadHelpers.h"
#include "device/DeviceDisks.h"
#include "device/FirmwareUpgradeTask.h"
#include "device/MainInstall.h"
#include "device/device.h"
#include "net/SecretMask.h"
#include "net/ServerProtocol.h"
#include "platform/SerialPortAccess.h"
#include "update/InstalledPackages.h"
#include "update/PackageNames.h"
#include "update/SafePath.h"
#include "update/UpdateCatalogue.h"
#include "widgets/MessageBox.h"
#include "widgets/PromptDlg.h"

#include <QApplication>
#include <QColor>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QTableWidgetItem>
#include <QThread>

using namespace UpdateTable;

namespace
{

// Branches the server uses; shown translated in front of a package's name
// (listed here so that their translations are kept).
[[maybe_unused]] const char *const kBranchNames[] = {QT_TRANSLATE_NOOP("MainWindow", "dash"),
                                                     QT_TRANSLATE_NOOP("MainWindow", "immo")};

QString BranchText(const QString &sBranch)
{
    if (sBranch.isEmpty())
        return QString();
    return QCoreApplication::translate("MainWindow", sBranch.toUtf8().constData());
}

} // namespace

// ---- catalogue -------------------------------------------------------------

QString MainWindow::ReadDeviceId()
{
    return device::ReadDeviceId();
}

QString MainWindow::DeviceFirmwareVersion()
{
    return device::ReadFirmwareVersion();
}

QByteArray MainWindow::FetchUpdateCatalogue(const QString &sDevID, const QString &sSN, bool bTest)
{
    const QJsonObject joData = CatalogueRequestData(sDevID, sSN, bTest);
    qDebug() << "devtype" << joData.value(QLatin1String("devtype")).toString() << "devid" << sDevID
             << "sn" << sSN << "test" << bTest;
    const CommandReply reply = SendSealedCommand(CommandCatalogue, joData);
    qDebug() << reply.nStatus << MaskSecrets(reply.baPlain);
    // The body decides, whatever the status: a server may send its catalogue
    // with another status, and an error page does not unseal to JSON.
    return reply.baPlain;
}

void MainWindow::StartCatalogueRefresh()
{
    if (sCurDisk.isEmpty()) {
        ui->tbUpdateList->setRowCount(0);
        SetEmptyReason(EmptyReason::NoDevice);
        ui->btnOneKeyUpdate->setEnabled(true);
        return;
    }
    if (pBatch->nTaskCount.load() >= 1)
        return; // the rows belong to the running downloads

    PromptDlg prompt(this);
    prompt.ShowPrompt(tr("请等候..."));
    if (!WaitForFirmwareInstall(prompt))
        return;
    if (sCurDisk.isEmpty() || pBatch->nTaskCount.load() >= 1)
        return; // the device went away meanwhile; its handling refreshes again
    // Nothing runs (any more): whatever an abandoned batch left disabled is usable.
    ui->btnOneKeyUpdate->setEnabled(true);

    // Everything that may wait (the device's serial port, the server, the
    // disk) happens on the catalogue thread, behind the prompt. Copies: the
    // device may change while the prompt's event loop runs.
    const QString sDisk = sCurDisk;
    const QString sSerial = sSN;
    const bool bTest = TestSetting();
    const quint64 nGeneration = ++nCatalogueGeneration;
    // A server that does not answer must not hold the window: the user may
    // stop waiting, and what comes late is dropped.
    prompt.SetCancellable(true);
    connect(&prompt, &PromptDlg::CancelRequested, this, [this, nGeneration] {
        if (nCatalogueGeneration == nGeneration)
            ++nCatalogueGeneration;
    });
    prompt.RunWhile([this, sDisk, sSerial, bTest, nGeneration]() {
        RefreshCatalogue(sDisk, sSerial, bTest, nGeneration);
    });
}

void MainWindow::PostCatalogueResult(quint64 nGeneration, std::function<void(MainWindow *)> f)
{
    PostIfAlive(QPointer<MainWindow>(this), [nGeneration, f](MainWindow *pMain) {
        if (nGeneration == 0 || pMain->nCatalogueGeneration == nGeneration)
            f(pMain);
    });
}

void MainWindow::SetEmptyReason(EmptyReason reason)
{
    emptyReason = reason;
    ShowEmptyReason();
}

void MainWindow::ShowEmptyReason()
{
    QString sText;
    if (ui->tbUpdateList->rowCount() == 0) {
        switch (emptyReason) {
        case EmptyReason::None:
            break;
        case EmptyReason::NoDevice:
            sText = tr("没有检测到设备。请用 USB 连接设备并开机。");
            break;
        case EmptyReason::NotSignedIn:
            sText = tr("尚未登录，无法获取升级信息。请先登录，然后点击“下载”刷新列表。");
            break;
        case EmptyReason::UpToDate:
            sText = tr("设备上的软件都是最新版本，无需更新。");
            break;
        case EmptyReason::CatalogueFailed:
            sText = tr("没有取得升级信息。请检查网络，然后点击“下载”刷新列表。");
            break;
        }
    }
    labEmptyReason->setText(sText);
    labEmptyReason->setVisible(!sText.isEmpty());
    labEmptyReason->setGeometry(ui->tbUpdateList->viewport()->rect());
}

void MainWindow::ReportDeniedPort()
{
    // A device whose port this user may not open would otherwise look absent.
    const QString sPort = device::DeniedPortPath(device::VendorId, device::ProductId);
    if (sPort.isEmpty())
        return;
    qDebug() << "no permission to open" << sPort;
    emit ShowMsgBox(QString::fromStdString(
        SerialPortAccessHint(sPort.toStdString(), ProgramFolder().toStdString())));
}

void MainWindow::RefreshCatalogue(const QString &sDisk, const QString &sSN, bool bTest,
                                  quint64 nGeneration)
{
    // Runs on the catalogue thread while the GUI thread sits in the wait
    // prompt; it talks to the window only through queued calls.
    const QString sId = ReadDeviceId();
    PostCatalogueResult(nGeneration, [sId](MainWindow *pMain) { pMain->sDevID = sId; });
    if (sId.isEmpty()) {
        qDebug() << "请插入设备";
        PostCatalogueResult(nGeneration, [](MainWindow *pMain) {
            pMain->ui->tbUpdateList->setRowCount(0);
            pMain->SetEmptyReason(EmptyReason::NoDevice);
        });
        ReportDeniedPort();
        return;
    }
    const QByteArray baReply = FetchUpdateCatalogue(sId, sSN, bTest);
    const bool bSignedIn = HasLoginReply();
    auto failed = [bSignedIn](MainWindow *pMain) {
        if (pMain->ui->tbUpdateList->rowCount() == 0)
            pMain->SetEmptyReason(bSignedIn ? EmptyReason::CatalogueFailed
                                            : EmptyReason::NotSignedIn);
    };
    PostCatalogueResult(nGeneration, [baReply](MainWindow *pMain) { pMain->baJson = baReply; });
    if (baReply.isEmpty()) {
        const QString sMsg = tr("获取升级信息失败,请检查网络是否正常!");
        PostCatalogueResult(nGeneration, [sMsg, failed](MainWindow *pMain) {
            failed(pMain);
            emit pMain->ShowMsgBox(sMsg);
        });
        return;
    }
    bool bOk = false;
    const QJsonObject joReply = ParseJsonObject(baReply, &bOk);
    if (!bOk) {
        PostCatalogueResult(nGeneration, failed);
        return;
    }
    if (joReply.value(QLatin1String("code")).toVariant().toString() != QLatin1String("000000")) {
        const QString sMsg = tr("获取升级信息失败!");
        PostCatalogueResult(nGeneration, [sMsg, failed](MainWindow *pMain) {
            failed(pMain);
            emit pMain->ShowMsgBox(sMsg);
        });
        return;
    }
    // The installed versions too: the device's firmware version over the
    // serial port, the others from the disk.
    const QString sLang = sPackageLang; // never assigned after construction
    const QList<CatalogueEntry> entries = ListedPackages(
        joReply, [] { return DeviceFirmwareVersion(); },
        [sDisk, sLang](const QJsonObject &joPackage) {
            return ::LocalVersionOf(sDisk, sLang, joPackage);
        });
    const QString sReplyRoot = joReply.value(QLatin1String("root")).toString();
    PostCatalogueResult(nGeneration, [sDisk, sReplyRoot, entries](MainWindow *pMain) {
        if (pMain->sCurDisk != sDisk)
            return; // another device by now: these rows are not its rows
        pMain->sRoot = sReplyRoot;
        pMain->FillUpdateTable(entries);
    });
}

QString MainWindow::LocalVersionOf(const QJsonObject &joPackage) const
{
    return ::LocalVersionOf(sCurDisk, sPackageLang, joPackage);
}

void MainWindow::ShowEnableDownload(QByteArray baJson)
{
    ui->tbUpdateList->setRowCount(0);
    bool bOk = false;
    const QJsonObject joReply = ParseJsonObject(baJson, &bOk);
    if (!bOk)
        return;
    sRoot = joReply.value(QLatin1String("root")).toString();
    FillUpdateTable(ListedPackages(
        joReply, [] { return DeviceFirmwareVersion(); },
        [this](const QJsonObject &joPackage) { return LocalVersionOf(joPackage); }));
}

void MainWindow::FillUpdateTable(const QList<CatalogueEntry> &entries)
{
    QTableWidget *pTable = ui->tbUpdateList;
    pTable->setRowCount(0);
    for (const CatalogueEntry &entry : entries) {
        qDebug() << entry.sName;
        auto *pName = new QTableWidgetItem(QIcon(QStringLiteral(":/images/Icon_373.ico")),
                                           UpdateRowName(entry));
        if (entry.bMandatory) {
            pName->setCheckState(Qt::Checked);
        } else {
            pName->setCheckState(Qt::Unchecked);
            pName->setData(RoleBranch, entry.sBranch);
        }
        pName->setData(RoleDir, entry.sDir);
        pName->setData(RoleRowHandle, nNextRowId++);

        auto *pServer = new QTableWidgetItem(entry.sServerVersion);
        pServer->setData(RoleServerRev, entry.sServerVersion);
        auto *pProgress = new QTableWidgetItem;
        pProgress->setData(RoleProgressMax, 100);

        const int nRow = pTable->rowCount();
        pTable->insertRow(nRow);
        pTable->setItem(nRow, ColName, pName);
        pTable->setItem(nRow, ColLocal, new QTableWidgetItem(entry.sLocalVersion));
        pTable->setItem(nRow, ColServer, pServer);
        pTable->setItem(nRow, ColSize, new QTableWidgetItem);
        pTable->setItem(nRow, ColProgress, pProgress);
        pTable->setItem(nRow, ColState, new QTableWidgetItem);
    }
    qDebug() << "**************Item Sum:" << pTable->rowCount();
    // An empty list says why: nothing differs, or the server would not tell.
    SetEmptyReason(HasLoginReply() ? EmptyReason::UpToDate : EmptyReason::NotSignedIn);
}

QString MainWindow::UpdateRowName(const CatalogueEntry &entry)
{
    if (entry.bMandatory)
        return entry.sName;
    return QStringLiteral("%1-%2").arg(BranchText(entry.sBranch), entry.sName);
}

void MainWindow::RetranslateUpdateRows()
{
    QTableWidget *pTable = ui->tbUpdateList;
    bool bOk = false;
    const QJsonObject joReply = ParseJsonObject(baJson, &bOk);
    if (bOk && pTable->rowCount() > 0) {
        // The names of the last catalogue in the language of the moment; no
        // version is asked for again (an empty one lists every named package).
        const QList<CatalogueEntry> entries = ListedPackages(
            joReply, [] { return QString(); }, [](const QJsonObject &) { return QString(); });
        for (int nRow = 0; nRow < pTable->rowCount(); ++nRow) {
            QTableWidgetItem *pName = pTable->item(nRow, ColName);
            if (!pName)
                continue;
            const QString sDir = pName->data(RoleDir).toString();
            const QString sBranch = pName->data(RoleBranch).toString();
            for (const CatalogueEntry &entry : entries) {
                if (entry.sDir == sDir && entry.sBranch == sBranch) {
                    pName->setText(UpdateRowName(entry));
                    break;
                }
            }
        }
    }
    for (int nRow = 0; nRow < pTable->rowCount(); ++nRow)
        ApplyRowTip(nRow);
    ShowEmptyReason();
}

// ---- downloads ---------------------------------------------------------------
// The batch rules are DownloadBatch's; the window reads rows into requests and
// shows what the batch reports about them.

DownloadRequest MainWindow::RowRequest(int nRow) const
{
    const QTableWidgetItem *pName = ui->tbUpdateList->item(nRow, ColName);
    DownloadRequest request = DeviceRequest();
    request.nRowId = pName->data(RoleRowHandle).toULongLong();
    request.sDir = pName->data(RoleDir).toString();
    request.sBranch = pName->data(RoleBranch).toString();
    return request;
}

DownloadRequest MainWindow::DeviceRequest() const
{
    DownloadRequest request;
    request.sDevID = sDevID;
    request.sSN = sSN;
    request.sLang = sPackageLang;
    request.sDisk = sCurDisk;
    request.bTest = TestSetting();
    return request;
}

int MainWindow::RowOfHandle(quint64 nRowId) const
{
    const QTableWidget *pTable = ui->tbUpdateList;
    for (int nRow = 0; nRow < pTable->rowCount(); ++nRow) {
        const QTableWidgetItem *pName = pTable->item(nRow, ColName);
        if (pName && pName->data(RoleRowHandle).toULongLong() == nRowId)
            return nRow;
    }
    return -1;
}

void MainWindow::SetRowState(int nRow, const QString &sState, const QColor &color)
{
    QTableWidgetItem *pState = ui->tbUpdateList->item(nRow, ColState);
    if (!pState)
        return;
    pState->setData(RoleState, sState);
    if (color.isValid())
        pState->setForeground(color);
}

void MainWindow::StartDownLoad(int nIndex)
{
    if (QThread::currentThread() != thread()) {
        // Table items are read on the GUI thread only.
        QMetaObject::invokeMethod(this, "StartDownLoad", Qt::QueuedConnection, Q_ARG(int, nIndex));
        return;
    }
    DownloadRequest request;
    if (!BeginRowRequest(nIndex, &request))
        return;
    pBatch->SendRequests({request});
}

bool MainWindow::BeginRowRequest(int nRow, DownloadRequest *pRequest)
{
    if (!ui->tbUpdateList->item(nRow, ColName) || !ui->tbUpdateList->item(nRow, ColState))
        return false;
    *pRequest = RowRequest(nRow);
    return pBatch->AddRequest(pRequest);
}

void MainWindow::OnRowChanged(const DownloadBatch::RowReport &report)
{
    // A row of a rebuilt table has a new handle: late reports change nothing.
    const int nRow = RowOfHandle(report.nRowId);
    if (nRow < 0)
        return;
    using State = DownloadBatch::RowState;
    switch (report.state) {
    case State::Ready:
        // Nothing of an earlier try stays: the row may be downloaded afresh.
        SetRowState(nRow, QString(), QColor());
        if (QTableWidgetItem *pProgress = ui->tbUpdateList->item(nRow, ColProgress))
            pProgress->setData(RoleProgress, QVariant());
        break;
    case State::Waiting:
        SetRowState(nRow, QString::fromUtf8(StateWaiting), QColor());
        break;
    case State::Downloading:
        if (QTableWidgetItem *pProgress = ui->tbUpdateList->item(nRow, ColProgress)) {
            pProgress->setData(RoleProgress, report.nPercent);
            pProgress->setData(RoleProgressMax, 100);
        }
        SetRowState(nRow, QString::fromUtf8(StateDownloading), QColor());
        break;
    case State::NoUpdate:
        SetRowState(nRow, QString::fromUtf8(StateNoUpdate), QColor());
        break;
    case State::PartlyFailed:
        SetRowState(nRow, QString::fromUtf8(StatePartly), QColor(0, 0, 255));
        break;
    case State::Failed:
        SetRowState(nRow, QString::fromUtf8(StateFailed), QColor(255, 0, 0));
        break;
    case State::Done:
        SetRowState(nRow, QString::fromUtf8(StateDone), QColor(0, 255, 0));
        if (QTableWidgetItem *pLocal = ui->tbUpdateList->item(nRow, ColLocal))
            pLocal->setText(report.sRev);
        break;
    case State::BadReply:
        SetRowState(nRow, QString::fromUtf8(StateBadReply), QColor());
        break;
    case State::FirmwareNotWritten:
        SetRowState(nRow, QString::fromUtf8(StateFirmwareNotWritten), QColor(255, 0, 0));
        break;
    case State::FirmwareWritten:
        break; // the row keeps its success; its tip names the version
    case State::Cancelled:
        SetRowState(nRow, QString::fromUtf8(StateCancelled), QColor());
        break;
    }
    QTableWidgetItem *pState = ui->tbUpdateList->item(nRow, ColState);
    if (!pState)
        return;
    const bool bFirmware =
        report.state == State::FirmwareNotWritten || report.state == State::FirmwareWritten;
    if (bFirmware) {
        pState->setData(RoleFirmwareOutcome, int(report.firmware));
        pState->setData(RoleFirmwareDetail, report.sFirmwareDetail);
    } else if (report.state != State::Downloading) {
        pState->setData(RoleFirmwareOutcome, QVariant());
        pState->setData(RoleFirmwareDetail, QVariant());
        // The reasons of the row's failed files, kept untranslated.
        QVariantMap failures;
        for (auto it = report.failures.cbegin(); it != report.failures.cend(); ++it)
            failures.insert(QString::number(int(it.key())), it.value());
        pState->setData(RoleFailures, failures.isEmpty() ? QVariant() : QVariant(failures));
    }
    ApplyRowTip(nRow);
}

void MainWindow::ApplyRowTip(int nRow)
{
    QTableWidgetItem *pState = ui->tbUpdateList->item(nRow, ColState);
    if (!pState)
        return;
    QStringList slTip;
    const QVariantMap failures = pState->data(RoleFailures).toMap();
    for (auto it = failures.cbegin(); it != failures.cend(); ++it)
        slTip << tr("%1（%2 个文件）")
                     .arg(FailureText(DiffDownload::Failure(it.key().toInt())))
                     .arg(it.value().toInt());
    const QVariant firmware = pState->data(RoleFirmwareOutcome);
    if (firmware.isValid())
        slTip << FirmwareOutcomeText(FirmwareUpgradeTask::Outcome(firmware.toInt()),
                                     pState->data(RoleFirmwareDetail).toString());
    pState->setToolTip(slTip.join(QLatin1Char('\n')));
}

QString MainWindow::FirmwareOutcomeText(FirmwareUpgradeTask::Outcome outcome,
                                        const QString &sDetail)
{
    using Outcome = FirmwareUpgradeTask::Outcome;
    switch (outcome) {
    case Outcome::Written:
        if (sDetail.isEmpty())
            return tr("固件已写入设备。");
        return tr("固件已写入设备，设备现在的版本：%1。").arg(sDetail);
    case Outcome::AlreadyCurrent:
        return tr("设备已在运行这个固件，无需写入。");
    case Outcome::NoPort:
        return tr("固件没有写入设备：找不到设备的串口。请确认设备已通过 USB 连接并已开机、"
                  "串口没有被其他程序占用，然后刷新列表，再次下载主程序。");
    case Outcome::PortDenied:
        return tr("固件没有写入设备。") + QLatin1Char('\n') +
               QString::fromStdString(
                   SerialPortAccessHint(sDetail.toStdString(), ProgramFolder().toStdString()));
    case Outcome::NoAnswer:
        return tr("固件没有写入设备：设备没有应答。请重新连接设备，然后刷新列表，再次下载主程序。");
    case Outcome::NoImage:
        return tr("固件没有写入设备：设备磁盘上找不到固件文件。请刷新列表，再次下载主程序。");
    case Outcome::Refused:
        return tr("固件没有写入设备：%1").arg(sDetail);
    case Outcome::BrokenOff:
        return tr("固件升级没有完成：设备没有应答或已断开。请重新连接设备后再次升级。");
    }
    return QString();
}

void MainWindow::OnFirmwareOutcome(FirmwareUpgradeTask::Outcome outcome, const QString &sDetail)
{
    using Outcome = FirmwareUpgradeTask::Outcome;
    // The device's own refusal and a broken-off flash have been told already.
    if (outcome == Outcome::Refused || outcome == Outcome::BrokenOff ||
        outcome == Outcome::AlreadyCurrent)
        return;
    emit ShowMsgBox(FirmwareOutcomeText(outcome, sDetail));
}

void MainWindow::OnBatchEnded()
{
    if (!pBatch->IsFirmwareInstalling())
        ui->btnOneKeyUpdate->setEnabled(true); // otherwise once the firmware is written
    UpdateCancelButton();
    pRate.reset();
    // The batch changed what is on the disk: its free space is read again.
    ui->statusBar->clearMessage();
    RefreshDiskTips();
}

QString MainWindow::FailureText(DiffDownload::Failure failure)
{
    using Failure = DiffDownload::Failure;
    switch (failure) {
    case Failure::DiskFull:
        return tr("设备磁盘空间不足：请卸载不用的软件或删除不需要的文件后重试");
    case Failure::DiskGone:
        return tr("设备磁盘已被移除：请重新连接设备后重试");
    case Failure::DiskWrite:
        return tr("无法写入设备磁盘：磁盘可能是只读的或已损坏");
    case Failure::ServerError:
        return tr("服务器返回了错误：请稍后重试");
    case Failure::Network:
        return tr("无法连接服务器或传输中断：请检查网络后重试");
    case Failure::DigestMismatch:
        return tr("下载的文件校验不符（与服务器的描述不一致）：请重试");
    case Failure::Refused:
        return tr("服务器给出的文件位置不安全，已拒绝写入");
    case Failure::Cancelled:
        return tr("下载已取消，原有文件保持不变");
    }
    return QString();
}

void MainWindow::OnFilesFailed(const DiffDownload::Failures &failures)
{
    // One message for the batch; a download the user stopped needs no word.
    QStringList slLines;
    int nFiles = 0;
    for (auto it = failures.cbegin(); it != failures.cend(); ++it) {
        if (it.key() == DiffDownload::Failure::Cancelled)
            continue;
        nFiles += it.value();
        slLines << tr("%1（%2 个文件）").arg(FailureText(it.key())).arg(it.value());
    }
    if (nFiles == 0)
        return;
    slLines.prepend(tr("有 %1 个文件没有下载成功：").arg(nFiles));
    emit ShowMsgBox(slLines.join(QLatin1Char('\n')));
}

void MainWindow::OnTransferred(qint64 nReceived, qint64 nTotal)
{
    if (!pRate) {
        pRate = std::make_unique<TransferRate>();
        batchClock.start();
    }
    pRate->Add(batchClock.elapsed(), nReceived);
    const qint64 nSpeed = pRate->BytesPerSecond();
    const qint64 nLeft = pRate->SecondsLeft(nTotal);
    QString sLeft = tr("正在估算");
    if (nLeft >= 0)
        sLeft = QStringLiteral("%1:%2:%3")
                    .arg(nLeft / 3600)
                    .arg((nLeft / 60) % 60, 2, 10, QLatin1Char('0'))
                    .arg(nLeft % 60, 2, 10, QLatin1Char('0'));
    ui->statusBar->showMessage(tr("已下载 %1 / %2\t 速度 %3/s\t 剩余时间 %4")
                                   .arg(FormatSize(quint64(nReceived)), FormatSize(quint64(nTotal)),
                                        FormatSize(quint64(nSpeed)), sLeft));
}

void MainWindow::UpdateCancelButton()
{
    btnCancelDownload->setVisible(pBatch->CanCancel());
}

void MainWindow::OnFirmwareDue(FirmwareUpgradeTask *pTask)
{
    auto *pWindow = new MainInstall(this);
    pWindow->setAttribute(Qt::WA_DeleteOnClose);
    pWindow->setWindowModality(Qt::ApplicationModal);
    CentreOverWindow(pWindow);
    pWindow->Listen(pTask);
    ReportBrokenOffFlash(pTask, this);
    pWindow->show();
    ui->btnOneKeyUpdate->setEnabled(false);
}

void MainWindow::OnFirmwareEnded()
{
    if (pBatch->nTaskCount.load() == 0)
        ui->btnOneKeyUpdate->setEnabled(true);
}

bool MainWindow::WaitForFirmwareInstall(PromptDlg &prompt)
{
    if (!pBatch->IsFirmwareInstalling())
        return true;
    // Connected after OnFirmwareEnded, so the state is clear when the prompt closes.
    const QMetaObject::Connection done =
        connect(pBatch, &DownloadBatch::FirmwareEnded, &prompt, &QWidget::close);
    prompt.exec();
    disconnect(done);
    return !pBatch->IsFirmwareInstalling();
}

int MainWindow::FirstWaitingHomeRow() const
{
    const QTableWidget *pTable = ui->tbUpdateList;
    for (int nRow = 0; nRow < pTable->rowCount(); ++nRow) {
        QTableWidgetItem *pName = pTable->item(nRow, ColName);
        QTableWidgetItem *pState = pTable->item(nRow, ColState);
        if (pName && pState && IsMainProgramRow(pName->text(), pName->data(RoleDir).toString()) &&
            pState->data(RoleState).toString().isEmpty())
            return nRow;
    }
    return -1;
}

void MainWindow::OnDownloadButtonClick(int nIndex)
{
    DownloadRequest clicked;
    if (!BeginRowRequest(nIndex, &clicked))
        return;
    // The main program comes along with any package, but the clicked row is
    // asked for first: one worker sends both requests, one after the other.
    QList<DownloadRequest> requests{clicked};
    DownloadRequest home;
    const int nHome = FirstWaitingHomeRow();
    if (nHome >= 0 && BeginRowRequest(nHome, &home))
        requests << home;
    pBatch->SendRequests(requests);
    UpdateCancelButton();
}

void MainWindow::on_btnOneKeyUpdate_clicked()
{
    if (pBatch->IsFirmwareInstalling())
        return;
    ui->btnOneKeyUpdate->setEnabled(false);
    bool bQueued = false;
    QTableWidget *pTable = ui->tbUpdateList;
    for (int nRow = 0; nRow < pTable->rowCount(); ++nRow) {
        QTableWidgetItem *pName = pTable->item(nRow, ColName);
        QTableWidgetItem *pState = pTable->item(nRow, ColState);
        if (!pName || !pState || !pState->data(RoleState).toString().isEmpty())
            continue;
        const bool bHome = IsHomeDir(pName->data(RoleDir).toString());
        if (pName->checkState() != Qt::Checked && !bHome)
            continue;
        StartDownLoad(nRow);
        bQueued = true;
    }
    if (!bQueued)
        ui->btnOneKeyUpdate->setEnabled(true);
    UpdateCancelButton();
    qDebug() << "------------------"
             << "on_btnOneKeyUpdate_clicked";
}

// ---- installed packages ----------------------------------------------------------

void MainWindow::StartInstalledScan()
{
    ui->tbUnistallList->setRowCount(0);
    // Rows of an earlier scan still on their way are dropped.
    const quint64 nScan = ++nScanGeneration;
    const QString sDisk = sCurDisk;
    const QString sNameKey = PackageNameKey();
    const QPointer<MainWindow> pWindow(this);
    RunOnNewThread([pWindow, sDisk, sNameKey, nScan]() {
        const bool bComplete = ScanInstalledPackages(sDisk, [&](const QString &sDir) {
            if (IsUninstallProtectedDir(sDir))
                return; // the main program cannot be uninstalled
            // Read and counted here: a large package or a slow disk must
            // not hold up the window.
            const InstalledPackage package = ReadInstalledPackage(sDir, sNameKey);
            const QString sSize = FormatSize(DirectorySize(sDir));
            PostIfAlive(pWindow, [sDir, package, sSize, nScan](MainWindow *pMain) {
                if (pMain->nScanGeneration == nScan)
                    pMain->AddUnistallRow(sDir, package, sSize);
            });
        });
        if (bComplete) {
            PostIfAlive(pWindow, [nScan](MainWindow *pMain) {
                if (pMain->nScanGeneration == nScan)
                    pMain->SortTbUnistall();
            });
        }
    });
}

void MainWindow::AddUnistallItem(QString sDir)
{
    if (IsUninstallProtectedDir(sDir))
        return; // the main program cannot be uninstalled
    if (IsDeviceOwnFolder(sCurDisk, sDir))
        return; // the device's records are no package
    AddUnistallRow(sDir, ReadInstalledPackage(sDir, PackageNameKey()),
                   FormatSize(DirectorySize(sDir)));
}

void MainWindow::AddUnistallRow(const QString &sDir, const InstalledPackage &package,
                                const QString &sSize)
{
    const QString sName = UnistallItemName(package);
    QTableWidget *pTable = ui->tbUnistallList;
    auto *pName = new QTableWidgetItem(QIcon(QStringLiteral(":/images/Icon_383.ico")), sName);
    pName->setCheckState(Qt::Unchecked);
    pName->setData(UnistallTable::RolePath, sDir);
    pTable->insertRow(0);
    pTable->setItem(0, UnistallTable::ColName, pName);
    pTable->setItem(0, UnistallTable::ColVersion, new QTableWidgetItem(package.sRev));
    pTable->setItem(0, UnistallTable::ColSize, new QTableWidgetItem(sSize));
    pTable->setItem(0, UnistallTable::ColPath, new QTableWidgetItem(sDir));
}

QString MainWindow::UnistallItemName(const InstalledPackage &package) const
{
    if (!package.bRead)
        return QString();
    return QStringLiteral("%1-%2").arg(BranchText(package.sBranch), package.sName);
}

void MainWindow::RetranslateUnistallNames()
{
    QTableWidget *pTable = ui->tbUnistallList;
    if (pTable->rowCount() == 0)
        return;
    const QString sKey = PackageNameKey();
    for (int nRow = 0; nRow < pTable->rowCount(); ++nRow) {
        QTableWidgetItem *pName = pTable->item(nRow, UnistallTable::ColName);
        if (!pName)
            continue;
        const QString sDir = pName->data(UnistallTable::RolePath).toString();
        pName->setText(UnistallItemName(ReadInstalledPackage(sDir, sKey)));
    }
    SortTbUnistall();
}

void MainWindow::SortTbUnistall()
{
    ui->tbUnistallList->sortItems(UnistallTable::ColName, Qt::AscendingOrder);
}

void MainWindow::on_btnOneKeyUnistall_clicked()
{
    QStringList slPaths;
    QStringList slNames;
    QTableWidget *pTable = ui->tbUnistallList;
    for (int nRow = 0; nRow < pTable->rowCount(); ++nRow) {
        const QTableWidgetItem *pName = pTable->item(nRow, UnistallTable::ColName);
        if (!pName || pName->checkState() != Qt::Checked || IsUninstallProtectedName(pName->text()))
            continue;
        const QString sPath = pName->data(UnistallTable::RolePath).toString();
        if (sPath.isEmpty() || !QFileInfo(sPath).isDir())
            continue;
        slPaths << sPath;
        // A package whose manifest could not be read has no name: its folder stands in.
        slNames << (pName->text().isEmpty() ? QDir::toNativeSeparators(sPath) : pName->text());
    }
    if (slPaths.isEmpty()) {
        ShowMessage(this, tr("提示"), tr("请先勾选要卸载的软件。"));
        StartInstalledScan(); // what is on the disk now
        return;
    }
    const QString sQuestion = tr("确定要卸载选中的 %1 个软件吗？").arg(slPaths.size()) +
                              QStringLiteral("\n\n") + slNames.join(QLatin1Char('\n'));
    const QPointer<MainWindow> pWindow(this);
    const QString sDisk = sCurDisk;
    AskQuestion(this, tr("提示"), sQuestion, [pWindow, sDisk, slPaths, slNames]() {
        if (pWindow)
            pWindow->UninstallPackages(sDisk, slPaths, slNames);
    });
}

void MainWindow::UninstallPackages(const QString &sDisk, const QStringList &slPaths,
                                   const QStringList &slNames)
{
    if (sDisk.isEmpty() || sDisk != sCurDisk) {
        // The device went (or another came) while the question was open.
        ShowMessage(this, tr("提示"), tr("设备已更换，未卸载任何软件。"));
        return;
    }
    QStringList slRemoved;
    PromptDlg prompt(this);
    prompt.ShowPrompt(tr("请等候..."));
    const auto removePackages = [&slRemoved, sDisk, slPaths]() {
        slRemoved = RemovePackages(sDisk, slPaths);
    };
    if (!prompt.RunWhile(removePackages))
        removePackages();
    RefreshDiskTips();
    on_btnUnistall_clicked(); // the list as the disk has it now

    QStringList slGone;
    QStringList slLeft;
    for (int i = 0; i < slPaths.size(); ++i)
        (slRemoved.contains(slPaths.at(i)) ? slGone : slLeft) << slNames.value(i);
    QStringList slReport;
    if (!slGone.isEmpty())
        slReport << tr("已卸载 %1 个软件：").arg(slGone.size()) + QLatin1Char('\n') +
                        slGone.join(QLatin1Char('\n'));
    if (!slLeft.isEmpty())
        slReport << tr("以下 %1 个软件未能完全删除，请检查设备磁盘是否可写：").arg(slLeft.size()) +
                        QLatin1Char('\n') + slLeft.join(QLatin1Char('\n'));
    ShowMessage(this, tr("提示"), slReport.join(QStringLiteral("\n\n")));
}
