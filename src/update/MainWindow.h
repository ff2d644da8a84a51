#pragma once

#include <QMainWindow>
#include <QModelIndex>
#include <QString>
#include <QStringList>

#include <atomic>

namespace Ui
{
class MainWindow;
}

class DataList;
class DataManage;
class DeviceDiskWatcher;
class KXButtonDelegate;
class KXCheckBoxHeaderView;
class KXProgressBarDelegate;
class QButtonGroup;
class QLabel;
class QListWidgetItem;
class QPushButton;
class QSoundEffect;
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
    // Package downloads in progress; the device removal resets it.
    std::atomic<int> nTaskCount{0};

signals:
    void ShowMsgBox(QString sMsg);
    void ShowLogin();
    void DevHasDisconnected();

public slots:
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

private:
    void RefreshDeviceState();
    void PlayClickSound();
    void PaintStatusMessage();
    static void ApplyColumnWidths(QTableWidget *pTable, const QString &sWidths);

    Ui::MainWindow *ui;
    DataManage *pDataManage = nullptr;
    DataList *pDataList = nullptr;
    KXCheckBoxHeaderView *pUpdateHeader = nullptr;
    KXCheckBoxHeaderView *pUnistallHeader = nullptr;
    KXProgressBarDelegate *pProgressDelegate = nullptr;
    // Column 5 of the update table; its OnButtonClick(int) starts a row's download.
    KXButtonDelegate *pButtonDelegate = nullptr;
    QButtonGroup *pDiskButtons = nullptr;
    // The two permanent status widgets: connection icon and device state.
    QLabel *labDeviceIcon = nullptr;
    QLabel *labDeviceState = nullptr;
    DeviceDiskWatcher *pDiskWatcher = nullptr;
    QSoundEffect *pClickSound = nullptr;
    void *pDeviceNotification = nullptr;
    bool bToolBarEffect = false;
    int nLastToolButton = 0;
};
