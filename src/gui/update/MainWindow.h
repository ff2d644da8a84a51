#pragma once

#include <QMainWindow>
#include <QModelIndex>
#include <QPointer>
#include <QString>
#include <QStringList>

#include "device/FirmwareUpgradeTask.h"
#include "update/DownloadBatch.h"
#include "update/DownloadRequest.h"
#include "update/TransferRate.h"
#include "update/UpdateCatalogue.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QList>
#include <functional>
#include <memory>

namespace Ui
{
class MainWindow;
}

struct CatalogueEntry;
class DataList;
class DataManage;
class DeviceDiskWatcher;
class FirmwareUpgradeTask;
struct InstalledPackage;
class KXButtonDelegate;
class KXCheckBoxHeaderView;
class KXProgressBarDelegate;
class PackageCheckPanel;
class PromptDlg;
class QButtonGroup;
class QColor;
class QLabel;
class QListWidgetItem;
class QPushButton;
class ClickSound;
class QTableWidget;

// The application's main window: custom title bar, a tool bar of pages on the
// left, the pages, and a status bar with the device disks. It keeps the current
// device disk (sCurDisk) and its serial number (sSN).
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Right after show(): lists the device disks and, when there is one,
    // selects it, shows the status text, opens the download page and rounds
    // the window corners.
    void FirstShow();

    // "<model> Update Assist 1.00" after the serial number's first letter.
    QString TitleText() const;
    // "SN:..\t Disk:..\t Available:.." for a serial number, disk name and free bytes.
    static QString StatusText(const QString &sSerial, const QString &sDiskName, quint64 nFree);
    void RefreshStatusText();
    void RefreshDiskButtons(const QStringList &slDisks);
    void RefreshDiskTips();
    void CheckAllUpdates(bool on);
    void CheckAllInstalled(bool on);
    void ScaleFonts();

    // The current device disk ("E:" on Windows, the mount path elsewhere) and
    // the serial number read from its "/sn.txt"; both empty without a device.
    QString sCurDisk;
    QString sSN;

    // The downloads of the update table, their busy count (nTaskCount) and
    // the firmware installation that ends a batch.
    DownloadBatch &Batch() { return *pBatch; }

    // Update manager: catalogue, downloads, installed packages.
    QString sDevID;       // device identifier read over the serial port
    QString sPackageLang; // catalogue language code; nothing sets it
    QString sRoot;        // "root" of the last catalogue reply
    QByteArray baJson;    // the last catalogue reply

    static QString ReadDeviceId();
    static QString DeviceFirmwareVersion();
    // Command 1042; the unsealed reply, empty when the transfer failed. The
    // HTTP status is not examined.
    static QByteArray FetchUpdateCatalogue(const QString &sDevID, const QString &sSN, bool bTest);
    // The catalogue thread's body: the device identifier, the catalogue of
    // the device on sDisk and the installed versions of its packages. Its
    // results reach the window only while nGeneration is still the latest
    // refresh (a cancelled one is not); 0 always reaches it.
    void RefreshCatalogue(const QString &sDisk, const QString &sSN, bool bTest,
                          quint64 nGeneration = 0);

    // Why the download list is empty; told over the empty list.
    enum class EmptyReason { None, NoDevice, NotSignedIn, UpToDate, CatalogueFailed };
    EmptyReason EmptyListReason() const { return emptyReason; }
    // The words for why a file did not arrive, in the language of the moment.
    static QString FailureText(DiffDownload::Failure failure);
    QString LocalVersionOf(const QJsonObject &joPackage) const;
    // The words for what became of a firmware image, in the language of the moment.
    static QString FirmwareOutcomeText(FirmwareUpgradeTask::Outcome outcome,
                                       const QString &sDetail);

signals:
    void ShowMsgBox(QString sMsg);
    void ShowLogin();
    void DevHasDisconnected();

public slots:
    void ShowEnableDownload(QByteArray baJson);
    void StartDownLoad(int nIndex);
    void AddUnistallItem(QString sDir);
    void SortTbUnistall();
    void on_btnOneKeyUnistall_clicked();
    void on_btnOneKeyUpdate_clicked();
    void onToolBarButtonClick();
    void on_btnDownload_clicked();
    void on_btnSetting_clicked();
    void on_btnUnistall_clicked();
    void on_tbUpdateList_clicked(QModelIndex index);
    void SwichSD(QString sDisk);
    void on_btnHelp_clicked();
    void on_btnManage_clicked();
    void on_cbAll_clicked();

    // A device volume arrived or went away: follow it (rebuild the disk
    // buttons, keep or replace the current disk, reload the catalogue).
    void OnDeviceChange();
    // Reloads the translation stored by the settings dialog and retranslates.
    void SwitchLanguage(QString sLanguage);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool nativeEvent(const QByteArray &eventType, void *message, long *result) override;

private slots:
    void ToggleMaximized();
    void OpenHelpDocument(QListWidgetItem *pItem);
    void OpenProxySetting();
    void OpenLoginWindow();
    void ShowMessageBox(QString sMsg);
    void OnDiskButtonClicked();
    // The download button of a row of the update table.
    void OnDownloadButtonClick(int nIndex);

private:
    void RefreshDeviceState();
    void PlayClickSound();
    void PaintStatusMessage();
    void CentreOverWindow(QWidget *pWindow) const;
    static void ApplyColumnWidths(QTableWidget *pTable, const QString &sWidths);

    // Update manager (MainWindowUpdate.cpp).
    void StartCatalogueRefresh();
    void FillUpdateTable(const QList<CatalogueEntry> &entries);
    // Tells the user when the device's port is there but may not be opened.
    void ReportDeniedPort();
    // Posts f to the GUI thread for the catalogue refresh nGeneration; dropped
    // when a later refresh began or this one was cancelled meanwhile.
    void PostCatalogueResult(quint64 nGeneration, std::function<void(MainWindow *)> f);
    void SetEmptyReason(EmptyReason reason);
    // The text over the empty download list, in the language of the moment.
    void ShowEmptyReason();
    // "branch-name" of a listed package (the name alone for mandatory ones).
    static QString UpdateRowName(const CatalogueEntry &entry);
    // Renames the listed packages after a language switch.
    void RetranslateUpdateRows();
    void OnFilesFailed(const DiffDownload::Failures &failures);
    void OnTransferred(qint64 nReceived, qint64 nTotal);
    void UpdateCancelButton();
    // The signed-in account beside the title, and the sign-out button.
    void RefreshAccount();
    void SignOut();
    void StartInstalledScan();
    // A row of the uninstall table, from what the scan read and counted.
    void AddUnistallRow(const QString &sDir, const InstalledPackage &package, const QString &sSize);
    // "branch-name" of an installed package; empty when its manifest was unreadable.
    QString UnistallItemName(const InstalledPackage &package) const;
    // Removes the packages (folders slPaths, named slNames) from sDisk behind
    // the wait prompt, lists the disk again and says what went.
    void UninstallPackages(const QString &sDisk, const QStringList &slPaths,
                           const QStringList &slNames);
    // Renames the listed packages after a language switch (check marks stay).
    void RetranslateUnistallNames();
    DownloadRequest RowRequest(int nRow) const;
    // What every request for this device carries: identifier, serial number,
    // language, disk and the test flag.
    DownloadRequest DeviceRequest() const;
    // Counts the row's request into the batch, which shows it waiting; false
    // when the row is incomplete or the batch refuses.
    bool BeginRowRequest(int nRow, DownloadRequest *pRequest);
    // The first mandatory row without a state (per-row download), or -1.
    int FirstWaitingHomeRow() const;
    int RowOfHandle(quint64 nRowId) const;
    void SetRowState(int nRow, const QString &sState, const QColor &color);
    void OnRowChanged(const DownloadBatch::RowReport &report);
    void OnBatchEnded();
    void OnFirmwareDue(FirmwareUpgradeTask *pTask);
    void OnFirmwareEnded();
    void OnFirmwareOutcome(FirmwareUpgradeTask::Outcome outcome, const QString &sDetail);
    // The tool tip of a row's state, from what its roles keep.
    void ApplyRowTip(int nRow);
    // Runs the wait prompt until the firmware installation has ended; false
    // when it still runs (the prompt was closed otherwise).
    bool WaitForFirmwareInstall(PromptDlg &prompt);

    Ui::MainWindow *ui;
    DataManage *pDataManage = nullptr;
    DataList *pDataList = nullptr;
    KXCheckBoxHeaderView *pUpdateHeader = nullptr;
    KXCheckBoxHeaderView *pUnistallHeader = nullptr;
    KXProgressBarDelegate *pProgressDelegate = nullptr;
    PackageCheckPanel *pCheckPanel = nullptr;
    // Column 5 of the update table; its OnButtonClick(int) starts a row's download.
    KXButtonDelegate *pButtonDelegate = nullptr;
    QButtonGroup *pDiskButtons = nullptr;
    // The two permanent status widgets: connection icon and device state.
    QLabel *labDeviceIcon = nullptr;
    QLabel *labDeviceState = nullptr;
    DeviceDiskWatcher *pDiskWatcher = nullptr;
    std::unique_ptr<ClickSound> pClickSound;
    void *pDeviceNotification = nullptr;
    bool bToolBarEffect = false;
    int nLastToolButton = 0;
    quint64 nNextRowId = 1;           // handles of update table rows
    quint64 nScanGeneration = 0;      // the latest installed-package scan
    quint64 nCatalogueGeneration = 0; // the latest catalogue refresh
    EmptyReason emptyReason = EmptyReason::None;
    QLabel *labEmptyReason = nullptr; // over the empty download list
    QPushButton *btnCancelDownload = nullptr;
    QLabel *labAccount = nullptr;
    QPushButton *btnSignOut = nullptr;
    std::unique_ptr<TransferRate> pRate; // of the running batch
    QElapsedTimer batchClock;            // since the running batch's first bytes
    DownloadBatch *pBatch = nullptr;
};
