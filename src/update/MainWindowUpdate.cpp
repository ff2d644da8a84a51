// The main window's update manager: the catalogue on the download page, the
// downloads it starts, and the installed packages on the uninstall page. The
// rules live in plain classes (UpdateCatalogue, DownloadRequest, DiffDownload,
// InstalledManifest, InstalledPackages, TaskCounter); this file ties them to
// the window's tables and threads.
//
// Workers never touch a widget: what they need is read from the table on the
// GUI thread before they are queued, and what they report comes back through
// queued calls that find their row by its handle (a row of a rebuilt table
// has a new handle, so late reports for a vanished row change nothing).

#include "ui_MainWindow.h"
#include "update/MainWindow.h"

#include "app/Json.h"
#include "app/Settings.h"
#include "app/ThreadPool.h"
#include "app/WorkingFolder.h"
#include "device/DeviceDisks.h"
#include "device/MainInstall.h"
#include "device/device.h"
#include "net/SecretMask.h"
#include "net/ServerProtocol.h"
#include "platform/SerialPortAccess.h"
#include "update/DiffDownload.h"
#include "update/InstalledManifest.h"
#include "update/InstalledPackages.h"
#include "update/UpdateCatalogue.h"
#include "widgets/MessageBox.h"
#include "widgets/PromptDlg.h"

#include <QApplication>
#include <QColor>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QIcon>
#include <QJsonDocument>
#include <QTableWidgetItem>
#include <QThread>

namespace
{

// Column 0 of the update table: the row's handle.
const int kRowHandleRole = Qt::UserRole + 10;

enum UpdateColumn { ColName, ColLocal, ColServer, ColSize, ColProgress, ColState };

// Row states, stored untranslated in column 5 and translated when drawn.
const char *const kStateWaiting = QT_TRANSLATE_NOOP("MainWindow", "等待下载");
const char *const kStateDownloading = QT_TRANSLATE_NOOP("MainWindow", "正在下载");
const char *const kStateNoUpdate = QT_TRANSLATE_NOOP("MainWindow", "无需更新");
const char *const kStatePartly = QT_TRANSLATE_NOOP("MainWindow", "部分下载失败");
const char *const kStateFailed = QT_TRANSLATE_NOOP("MainWindow", "下载失败");
const char *const kStateDone = QT_TRANSLATE_NOOP("MainWindow", "下载成功");
const char *const kStateBadReply = QT_TRANSLATE_NOOP("MainWindow", "获取数据异常");

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

// Runs f on the GUI thread, later, if the window still exists by then. Safe
// from any thread, even while the window is being destroyed.
template <class F> void PostToWindow(const QPointer<MainWindow> &pWindow, F f)
{
    QMetaObject::invokeMethod(
        qApp,
        [pWindow, f]() {
            if (pWindow)
                f(pWindow.data());
        },
        Qt::QueuedConnection);
}

bool IsHomeRow(QTableWidgetItem *pItem)
{
    const QString sName = pItem->text();
    return sName.compare(QLatin1String("main"), Qt::CaseInsensitive) == 0 ||
           sName.compare(QLatin1String("home"), Qt::CaseInsensitive) == 0 ||
           pItem->data(Qt::UserRole + 1)
                   .toString()
                   .compare(QLatin1String("home"), Qt::CaseInsensitive) == 0;
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
        ui->btnOneKeyUpdate->setEnabled(true);
        return;
    }
    if (nTaskCount.load() >= 1)
        return; // the rows belong to the running downloads

    PromptDlg prompt(this);
    prompt.ShowPrompt(tr("请等候..."));
    if (!WaitForFirmwareInstall(prompt))
        return;
    if (sCurDisk.isEmpty() || nTaskCount.load() >= 1)
        return; // the device went away meanwhile; its handling refreshes again
    // Nothing runs (any more): whatever an abandoned batch left disabled is usable.
    ui->btnOneKeyUpdate->setEnabled(true);

    // Everything that may wait (the device's serial port, the server, the
    // disk) happens on the catalogue thread, behind the prompt. Copies: the
    // device may change while the prompt's event loop runs.
    const QString sDisk = sCurDisk;
    const QString sSerial = sSN;
    const bool bTest = TestSetting();
    prompt.RunWhile([this, sDisk, sSerial, bTest]() { RefreshCatalogue(sDisk, sSerial, bTest); });
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

void MainWindow::RefreshCatalogue(const QString &sDisk, const QString &sSN, bool bTest)
{
    // Runs on the catalogue thread while the GUI thread sits in the wait
    // prompt; it talks to the window only through queued calls.
    const QPointer<MainWindow> pWindow(this);
    const QString sId = ReadDeviceId();
    PostToWindow(pWindow, [sId](MainWindow *pMain) { pMain->sDevID = sId; });
    if (sId.isEmpty()) {
        qDebug() << "请插入设备";
        ReportDeniedPort();
        return;
    }
    const QByteArray baReply = FetchUpdateCatalogue(sId, sSN, bTest);
    PostToWindow(pWindow, [baReply](MainWindow *pMain) { pMain->baJson = baReply; });
    if (baReply.isEmpty()) {
        emit ShowMsgBox(tr("获取升级信息失败,请检查网络是否正常!"));
        return;
    }
    bool bOk = false;
    const QJsonObject joReply = ParseJsonObject(baReply, &bOk);
    if (!bOk)
        return;
    if (joReply.value(QLatin1String("code")).toVariant().toString() != QLatin1String("000000")) {
        emit ShowMsgBox(tr("获取升级信息失败!"));
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
    PostToWindow(pWindow, [sDisk, sReplyRoot, entries](MainWindow *pMain) {
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
        auto *pName =
            new QTableWidgetItem(QIcon(QStringLiteral(":/images/Icon_373.ico")), entry.sName);
        if (entry.bMandatory) {
            pName->setCheckState(Qt::Checked);
        } else {
            pName->setCheckState(Qt::Unchecked);
            pName->setText(QStringLiteral("%1-%2").arg(BranchText(entry.sBranch), entry.sName));
            pName->setData(Qt::UserRole + 2, entry.sBranch);
        }
        pName->setData(Qt::UserRole + 1, entry.sDir);
        pName->setData(kRowHandleRole, nNextRowId++);

        auto *pServer = new QTableWidgetItem(entry.sServerVersion);
        pServer->setData(Qt::UserRole + 1, entry.sServerVersion);
        auto *pProgress = new QTableWidgetItem;
        pProgress->setData(Qt::UserRole + 2, 100);

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
}

// ---- downloads ---------------------------------------------------------------

DownloadRequest MainWindow::RowRequest(int nRow) const
{
    const QTableWidgetItem *pName = ui->tbUpdateList->item(nRow, ColName);
    DownloadRequest request;
    request.nRowId = pName->data(kRowHandleRole).toULongLong();
    request.sDir = pName->data(Qt::UserRole + 1).toString();
    request.sBranch = pName->data(Qt::UserRole + 2).toString();
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
        if (pName && pName->data(kRowHandleRole).toULongLong() == nRowId)
            return nRow;
    }
    return -1;
}

void MainWindow::SetRowState(int nRow, const QString &sState, const QColor &color)
{
    QTableWidgetItem *pState = ui->tbUpdateList->item(nRow, ColState);
    if (!pState)
        return;
    pState->setData(Qt::UserRole, sState);
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
    const QPointer<MainWindow> pWindow(this);
    AppThreadPool().enqueue([pWindow, request]() { RequestDownloadList(pWindow, request); });
}

bool MainWindow::BeginRowRequest(int nRow, DownloadRequest *pRequest)
{
    if (bFirmwareInstalling)
        return false; // a download could replace the image being written
    if (!ui->tbUpdateList->item(nRow, ColName) || !ui->tbUpdateList->item(nRow, ColState))
        return false;
    *pRequest = RowRequest(nRow);
    bool bNewBatch = false;
    pRequest->nGeneration = nTaskCount.Add(&bNewBatch);
    if (bNewBatch)
        bInstallPending = false;
    // Shown at once, so the row cannot be queued twice while its request runs.
    SetRowState(nRow, QString::fromUtf8(kStateWaiting), QColor());
    return true;
}

void MainWindow::RequestDownloadList(QPointer<MainWindow> pWindow, DownloadRequest request)
{
    const QJsonObject joData = DownloadRequestData(request);
    qDebug() << MaskSecrets(QJsonDocument(joData).toJson(QJsonDocument::Compact));
    const CommandReply reply = SendSealedCommand(CommandDownloadList, joData);
    qDebug() << "*************************" << MaskSecrets(reply.baPlain);
    bool bUsable = false;
    const QList<QJsonObject> packages =
        MatchingPackages(reply.joReply, reply.bParsed, request, &bUsable);
    PostToWindow(pWindow, [request, packages, bUsable](MainWindow *pMain) {
        pMain->OnDownloadList(request, packages, bUsable);
    });
}

void MainWindow::OnDownloadList(const DownloadRequest &request, const QList<QJsonObject> &packages,
                                bool bUsable)
{
    const int nRow = RowOfHandle(request.nRowId);
    if (!nTaskCount.IsCurrent(request.nGeneration)) {
        // The device went away meanwhile: nothing of this batch goes ahead.
        if (nRow >= 0)
            SetRowState(nRow, QString(), QColor());
        return;
    }
    if (!bUsable) {
        if (nRow >= 0)
            SetRowState(nRow, QString::fromUtf8(kStateBadReply), QColor());
    } else if (packages.isEmpty()) {
        if (nRow >= 0)
            SetRowState(nRow, QString(), QColor()); // nothing for this row: it can be tried again
    }
    const QPointer<MainWindow> pWindow(this);
    for (const QJsonObject &joPackage : packages) {
        if (!nTaskCount.AddTo(request.nGeneration))
            break;
        const TaskCounter::Ticket ticket = nTaskCount.TicketFor(request.nGeneration);
        const quint64 nRowId = request.nRowId;
        const QString sDisk = request.sDisk;
        AppThreadPool().enqueue([pWindow, ticket, nRowId, joPackage, sDisk]() {
            DownloadPackage(pWindow, ticket, nRowId, joPackage, sDisk);
        });
    }
    EndBatchWork(request.nGeneration);
}

void MainWindow::DownloadPackage(QPointer<MainWindow> pWindow, TaskCounter::Ticket ticket,
                                 quint64 nRowId, QJsonObject joPackage, QString sDisk)
{
    if (!ticket.IsCurrent())
        return; // abandoned while it waited in the queue
    const quint64 nGeneration = ticket.Generation();
    // Owned by this worker and destroyed here once StartDownload has returned;
    // the receivers get copies of everything they need.
    DiffDownload downloader;
    connect(
        &downloader, &DiffDownload::Progress, qApp,
        [pWindow, nRowId](int nPercent) {
            if (pWindow)
                pWindow->OnPackageProgress(nRowId, nPercent);
        },
        Qt::QueuedConnection);
    connect(
        &downloader, &DiffDownload::DownloadFinish, qApp,
        [pWindow, nRowId, nGeneration, joPackage, sDisk](int nSuccess, int nErr,
                                                         bool bNeedInstall) {
            if (pWindow)
                pWindow->OnPackageDownloadFinished(nRowId, nGeneration, joPackage, sDisk, nSuccess,
                                                   nErr, bNeedInstall);
        },
        Qt::QueuedConnection);
    downloader.SetSavePath(sDisk);
    downloader.SetPackageJson(joPackage);
    downloader.StartDownload();
}

void MainWindow::OnPackageProgress(quint64 nRowId, int nPercent)
{
    const int nRow = RowOfHandle(nRowId);
    if (nRow < 0)
        return;
    if (QTableWidgetItem *pProgress = ui->tbUpdateList->item(nRow, ColProgress)) {
        pProgress->setData(Qt::UserRole + 1, nPercent);
        pProgress->setData(Qt::UserRole + 2, 100);
    }
    SetRowState(nRow, QString::fromUtf8(kStateDownloading), QColor());
}

void MainWindow::OnPackageDownloadFinished(quint64 nRowId, quint64 nGeneration,
                                           const QJsonObject &joPackage, const QString &sDisk,
                                           int nSuccess, int nErr, bool bNeedInstall)
{
    // A report of an abandoned batch may still show in its row, but it records
    // nothing on the (possibly different) disk now present.
    const bool bCurrent = nTaskCount.IsCurrent(nGeneration);
    const int nRow = RowOfHandle(nRowId);
    const bool bComplete = nSuccess != -1 && nErr == 0;
    if (bComplete && bCurrent) {
        SaveInstalledManifest(joPackage, sDisk);
        if (bNeedInstall)
            bInstallPending = true;
    }
    if (nRow >= 0) {
        if (nSuccess == -1) {
            SetRowState(nRow, QString::fromUtf8(kStateNoUpdate), QColor());
        } else if (nErr != 0 && nSuccess >= 1) {
            SetRowState(nRow, QString::fromUtf8(kStatePartly), QColor(0, 0, 255));
        } else if (nErr != 0) {
            SetRowState(nRow, QString::fromUtf8(kStateFailed), QColor(255, 0, 0));
        } else {
            SetRowState(nRow, QString::fromUtf8(kStateDone), QColor(0, 255, 0));
            if (QTableWidgetItem *pLocal = ui->tbUpdateList->item(nRow, ColLocal))
                pLocal->setText(joPackage.value(QLatin1String("rev")).toString());
        }
    }
    qDebug() << QStringLiteral("DownFinsh: %1 Success %2 Fail").arg(nSuccess).arg(nErr);
    EndBatchWork(nGeneration);
}

void MainWindow::EndBatchWork(quint64 nGeneration)
{
    if (!nTaskCount.Done(nGeneration))
        return;
    StartFirmwareInstall(bInstallPending);
    if (!bFirmwareInstalling)
        ui->btnOneKeyUpdate->setEnabled(true); // otherwise once the firmware is written
}

bool MainWindow::SaveInstalledManifest(const QJsonObject &joPackage, const QString &sDisk)
{
    return InstalledManifest::Save(sDisk, joPackage, sPackageLang);
}

void MainWindow::StartFirmwareInstall(bool bNeedInstall)
{
    if (!bNeedInstall || bFirmwareInstalling)
        return;
    auto *pWindow = new MainInstall(this);
    pWindow->setAttribute(Qt::WA_DeleteOnClose);
    pWindow->setWindowModality(Qt::ApplicationModal);
    CentreOverWindow(pWindow);
    pWindow->show();
    // Until the task has let go of the device's port, nothing else opens it:
    // no catalogue refresh and no download (the image must stay as it is).
    bFirmwareInstalling = true;
    ui->btnOneKeyUpdate->setEnabled(false);
    if (pFirmwareTask == nullptr) {
        pFirmwareTask = new QFutureWatcher<void>(this);
        connect(pFirmwareTask, &QFutureWatcherBase::finished, this,
                &MainWindow::OnFirmwareInstallFinished);
    }
    pFirmwareTask->setFuture(StartFirmwareUpgrade(pWindow, sCurDisk, sSN));
}

void MainWindow::OnFirmwareInstallFinished()
{
    bFirmwareInstalling = false;
    if (nTaskCount.load() == 0)
        ui->btnOneKeyUpdate->setEnabled(true);
}

bool MainWindow::IsFirmwareInstalling() const
{
    return bFirmwareInstalling;
}

bool MainWindow::WaitForFirmwareInstall(PromptDlg &prompt)
{
    if (!bFirmwareInstalling)
        return true;
    // Connected after OnFirmwareInstallFinished, so the state is clear when
    // the prompt closes.
    const QMetaObject::Connection done =
        connect(pFirmwareTask, &QFutureWatcherBase::finished, &prompt, &QWidget::close);
    prompt.exec();
    disconnect(done);
    return !bFirmwareInstalling;
}

int MainWindow::FirstWaitingHomeRow() const
{
    const QTableWidget *pTable = ui->tbUpdateList;
    for (int nRow = 0; nRow < pTable->rowCount(); ++nRow) {
        QTableWidgetItem *pName = pTable->item(nRow, ColName);
        QTableWidgetItem *pState = pTable->item(nRow, ColState);
        if (pName && pState && IsHomeRow(pName) && pState->data(Qt::UserRole).toString().isEmpty())
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
    const QPointer<MainWindow> pWindow(this);
    AppThreadPool().enqueue([pWindow, requests]() {
        for (const DownloadRequest &request : requests)
            RequestDownloadList(pWindow, request);
    });
}

void MainWindow::on_btnOneKeyUpdate_clicked()
{
    if (bFirmwareInstalling)
        return;
    ui->btnOneKeyUpdate->setEnabled(false);
    bool bQueued = false;
    QTableWidget *pTable = ui->tbUpdateList;
    for (int nRow = 0; nRow < pTable->rowCount(); ++nRow) {
        QTableWidgetItem *pName = pTable->item(nRow, ColName);
        QTableWidgetItem *pState = pTable->item(nRow, ColState);
        if (!pName || !pState || !pState->data(Qt::UserRole).toString().isEmpty())
            continue;
        const bool bHome = pName->data(Qt::UserRole + 1)
                               .toString()
                               .compare(QLatin1String("home"), Qt::CaseInsensitive) == 0;
        if (pName->checkState() != Qt::Checked && !bHome)
            continue;
        StartDownLoad(nRow);
        bQueued = true;
    }
    if (!bQueued)
        ui->btnOneKeyUpdate->setEnabled(true);
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
    auto *pThread = new QThread;
    connect(
        pThread, &QThread::started, pThread,
        [pWindow, sDisk, sNameKey, nScan]() {
            const bool bComplete = ScanInstalledPackages(sDisk, [&](const QString &sDir) {
                if (IsHomeFolder(sDir))
                    return; // the main program cannot be uninstalled
                // Read and counted here: a large package or a slow disk must
                // not hold up the window.
                const InstalledPackage package = ReadInstalledPackage(sDir, sNameKey);
                const QString sSize = FormatSize(DirectorySize(sDir));
                PostToWindow(pWindow, [sDir, package, sSize, nScan](MainWindow *pMain) {
                    if (pMain->nScanGeneration == nScan)
                        pMain->AddUnistallRow(sDir, package, sSize);
                });
            });
            if (bComplete) {
                PostToWindow(pWindow, [nScan](MainWindow *pMain) {
                    if (pMain->nScanGeneration == nScan)
                        pMain->SortTbUnistall();
                });
            }
        },
        Qt::DirectConnection);
    connect(pThread, &QThread::finished, pThread, &QObject::deleteLater);
    pThread->start();
    pThread->exit(0);
}

void MainWindow::AddUnistallItem(QString sDir)
{
    if (IsHomeFolder(sDir))
        return; // the main program cannot be uninstalled
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
    pName->setData(Qt::UserRole + 1, sDir);
    pTable->insertRow(0);
    pTable->setItem(0, 0, pName);
    pTable->setItem(0, 1, new QTableWidgetItem(package.sRev));
    pTable->setItem(0, 2, new QTableWidgetItem(sSize));
    pTable->setItem(0, 3, new QTableWidgetItem(sDir));
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
        QTableWidgetItem *pName = pTable->item(nRow, 0);
        if (!pName)
            continue;
        const QString sDir = pName->data(Qt::UserRole + 1).toString();
        pName->setText(UnistallItemName(ReadInstalledPackage(sDir, sKey)));
    }
    SortTbUnistall();
}

void MainWindow::SortTbUnistall()
{
    ui->tbUnistallList->sortItems(0, Qt::AscendingOrder);
}

void MainWindow::on_btnOneKeyUnistall_clicked()
{
    QStringList slPaths;
    QStringList slNames;
    QTableWidget *pTable = ui->tbUnistallList;
    for (int nRow = 0; nRow < pTable->rowCount(); ++nRow) {
        const QTableWidgetItem *pName = pTable->item(nRow, 0);
        if (!pName || pName->checkState() != Qt::Checked ||
            pName->text().compare(QLatin1String("main"), Qt::CaseInsensitive) == 0)
            continue;
        const QString sPath = pName->data(Qt::UserRole + 1).toString();
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
