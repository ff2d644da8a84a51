#include "update/MainWindow.h"
#include "ui_MainWindow.h"
#include "update/UpdateTable.h"

#include "accounts/AutoUserLogin.h"
#include "accounts/LoginReply.h"
#include "accounts/SignInWatch.h"
#include "accounts/SignOut.h"
#include "accounts/UserManage.h"
#include "app/Language.h"
#include "app/SettingDlg.h"
#include "app/Settings.h"
#include "app/WorkingFolder.h"
#include "base/ScreenScale.h"
#include "base/ThreadHelpers.h"
#include "dataviewer/DataList.h"
#include "dataviewer/DataManage.h"
#include "device/DeviceDiskWatcher.h"
#include "device/DeviceDisks.h"
#include "device/DeviceState.h"
#include "net/ProxySetting.h"
#include "platform/ClickSound.h"
#include "platform/DeviceNotification.h"
#include "update/PackageCheckPanel.h"
#include "update/TransferStopFlag.h"
#include "widgets/IconHelper.h"
#include "widgets/KXButtonDelegate.h"
#include "widgets/KXCheckBoxHeaderView.h"
#include "widgets/KXProgressBarDelegate.h"
#include "widgets/MessageBox.h"
#include "widgets/WindowUtils.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCursor>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFileIconProvider>
#include <QHBoxLayout>
#include <QHoverEvent>
#include <QLabel>
#include <QListWidgetItem>
#include <QPainter>
#include <QPushButton>
#include <QQueue>
#include <QSpacerItem>
#include <QStatusBar>
#include <QStyleOption>
#include <QThread>
#include <QToolButton>
#include <QToolTip>
#include <QUrl>

#include <memory>

namespace
{

const QChar kIconHome(0xF015);
const QChar kIconClose(0xF00D);
const QChar kIconMaximize(0xF2D0);
const QChar kIconRestore(0xF2D2);
const QChar kIconMinimize(0xF068);
const QChar kIconSettings(0xF013);
const QChar kIconDisk(0xF1E6);
const QChar kIconUsb(0xF287);
// Where the status message starts: the bar's left padding.
const int kStatusTextLeft = 100;

// A tool-bar icon drawn from the icon font.
QIcon GlyphIcon(QChar cGlyph, const QColor &color)
{
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QFont font = IconHelper::Instance()->IconFont(10);
    font.setPixelSize(44);
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, QString(cGlyph));
    painter.end();
    return QIcon(pixmap);
}

// Stands in for the window on the login thread. The thread may outlive the
// window (its login request can still be running when the program closes); the
// relay outlives both, and once the window is gone its connection is too.
class LoginRelay : public QObject
{
    Q_OBJECT
signals:
    void ShowLogin();
};

} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    setProperty("Form", true);
    setProperty("CanMove", true);
    setProperty("MAX", false);
    installEventFilter(this);
    ui->lab_Ico->installEventFilter(this);
    ui->widget_title->installEventFilter(this);

    setWindowTitle(TitleText());
    ui->lab_Title->setText(TitleText());

    IconHelper::Instance()->SetIcon(ui->lab_Ico, kIconHome, 13);
    IconHelper::Instance()->SetIcon(ui->btnClose, kIconClose, 12);
    IconHelper::Instance()->SetIcon(ui->btnMax, kIconMaximize, 10);
    IconHelper::Instance()->SetIcon(ui->btnMin, kIconMinimize, 12);
    IconHelper::Instance()->SetIcon(ui->btnProxySetting, kIconSettings, 12);
    const QColor toolColor(0xdf, 0xe6, 0xf0);
    ui->btnDownload->setIcon(GlyphIcon(QChar(0xF019), toolColor));
    ui->btnUnistall->setIcon(GlyphIcon(QChar(0xF1F8), toolColor));
    ui->btnManage->setIcon(GlyphIcon(QChar(0xF080), toolColor));
    ui->btnHelp->setIcon(GlyphIcon(QChar(0xF02D), toolColor));
    ui->btnSetting->setIcon(GlyphIcon(kIconSettings, toolColor));

    // The data pages' tool button is shown only where "config.ini" asks for it.
    ui->btnManage->setVisible(DataPagesSetting());

    // Data pages: created here with the window as parent and added to the
    // stacked widget; their DeleteFinish() refreshes the disk information.
    pDataManage = new DataManage(this);
    pDataManage->SetDiskSource([this] { return sCurDisk; });
    pDataList = new DataList(this);
    ui->stackedWidget->addWidget(pDataManage);
    ui->stackedWidget->addWidget(pDataList);
    connect(pDataManage, &DataManage::DeleteFinish, this, &MainWindow::RefreshDiskTips);

    pUpdateHeader = new KXCheckBoxHeaderView(ui->tbUpdateList);
    ui->tbUpdateList->setHorizontalHeader(pUpdateHeader);
    pUpdateHeader->setStretchLastSection(true);
    pUnistallHeader = new KXCheckBoxHeaderView(ui->tbUnistallList);
    ui->tbUnistallList->setHorizontalHeader(pUnistallHeader);
    pUnistallHeader->setStretchLastSection(true);

    ui->tbUpdateList->setMouseTracking(true);
    pProgressDelegate = new KXProgressBarDelegate(ui->tbUpdateList);
    pButtonDelegate = new KXButtonDelegate(ui->tbUpdateList);
    ui->tbUpdateList->setItemDelegateForColumn(UpdateTable::ColProgress, pProgressDelegate);
    ui->tbUpdateList->setItemDelegateForColumn(UpdateTable::ColState, pButtonDelegate);
    ApplyColumnWidths(ui->tbUpdateList, QStringLiteral("200,90,100,65,168"));
    ApplyColumnWidths(ui->tbUnistallList, QStringLiteral("250,150,100"));
    ui->tbUpdateList->hideColumn(UpdateTable::ColSize);

    setWindowFlags(Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint);

    connect(ui->btnClose, &QPushButton::clicked, this, &MainWindow::close);
    connect(ui->btnMin, &QPushButton::clicked, this, &MainWindow::showMinimized);
    connect(ui->btnMax, &QPushButton::clicked, this, &MainWindow::ToggleMaximized);
    connect(ui->lstHelp, &QListWidget::itemDoubleClicked, this, &MainWindow::OpenHelpDocument);
    connect(ui->btnProxySetting, &QPushButton::clicked, this, &MainWindow::OpenProxySetting);
    connect(pUpdateHeader, &KXCheckBoxHeaderView::checkStausChange, this,
            &MainWindow::CheckAllUpdates);
    connect(pUnistallHeader, &KXCheckBoxHeaderView::checkStausChange, this,
            &MainWindow::CheckAllInstalled);
    connect(pButtonDelegate, &KXButtonDelegate::OnButtonClick, this,
            &MainWindow::OnDownloadButtonClick);

    pBatch = new DownloadBatch(this);
    pBatch->SetDeviceSource([this] { return DownloadBatch::Device{sCurDisk, sSN}; });
    connect(pBatch, &DownloadBatch::RowChanged, this, &MainWindow::OnRowChanged);
    connect(pBatch, &DownloadBatch::BatchEnded, this, &MainWindow::OnBatchEnded);
    connect(pBatch, &DownloadBatch::FirmwareDue, this, &MainWindow::OnFirmwareDue);
    connect(pBatch, &DownloadBatch::FirmwareEnded, this, &MainWindow::OnFirmwareEnded);
    connect(pBatch, &DownloadBatch::FirmwareOutcome, this, &MainWindow::OnFirmwareOutcome);
    connect(pBatch, &DownloadBatch::FilesFailed, this, &MainWindow::OnFilesFailed);
    connect(pBatch, &DownloadBatch::Transferred, this, &MainWindow::OnTransferred);

    // A running download may be stopped; the button shows while it may.
    btnCancelDownload = new QPushButton(tr("取消下载"), ui->wgOptions);
    btnCancelDownload->setObjectName(QStringLiteral("btnCancelDownload"));
    btnCancelDownload->setVisible(false);
    if (auto *pOptions = qobject_cast<QBoxLayout *>(ui->wgOptions->layout()))
        pOptions->insertWidget(pOptions->indexOf(ui->btnOneKeyUpdate) + 1, btnCancelDownload);
    connect(btnCancelDownload, &QPushButton::clicked, this, [this] {
        pBatch->Cancel();
        UpdateCancelButton();
    });

    // Over the download list while it is empty: why it is.
    labEmptyReason = new QLabel(ui->tbUpdateList->viewport());
    labEmptyReason->setObjectName(QStringLiteral("labEmptyReason"));
    labEmptyReason->setAlignment(Qt::AlignCenter);
    labEmptyReason->setWordWrap(true);
    labEmptyReason->setMargin(20);
    labEmptyReason->setAttribute(Qt::WA_TransparentForMouseEvents);
    labEmptyReason->setVisible(false);
    ui->tbUpdateList->viewport()->installEventFilter(this);

    // The signed-in account and signing out, in the title bar.
    labAccount = new QLabel(ui->widget_menu);
    labAccount->setObjectName(QStringLiteral("labAccount"));
    labAccount->setStyleSheet(QStringLiteral("color:#ffffff;padding-right:6px;"));
    btnSignOut = new QPushButton(ui->widget_menu);
    btnSignOut->setObjectName(QStringLiteral("btnSignOut"));
    btnSignOut->setFocusPolicy(Qt::NoFocus);
    btnSignOut->setFlat(true);
    btnSignOut->setMinimumHeight(28);
    ui->hLayoutMenu->insertWidget(0, labAccount);
    ui->hLayoutMenu->insertWidget(1, btnSignOut);
    connect(btnSignOut, &QPushButton::clicked, this, &MainWindow::SignOut);
    // Every sign-in and sign-out, whichever window or thread made it.
    connect(SignInWatch::Instance(), &SignInWatch::SignedInChanged, this,
            [this] { RefreshAccount(); });
    connect(this, &MainWindow::ShowMsgBox, this, &MainWindow::ShowMessageBox);
    connect(this, &MainWindow::ShowLogin, this, &MainWindow::OpenLoginWindow);

    // Check and repair of the installed packages, beside the uninstall button.
    pCheckPanel = new PackageCheckPanel(
        this, ui->tbUnistallList, ui->hLayoutUnistallOptions, ui->btnOneKeyUnistall,
        [this] { return DeviceRequest(); }, [] { return HasLoginReply(); });
    connect(this, &MainWindow::DevHasDisconnected, pCheckPanel, &PackageCheckPanel::Cancel);

    pDeviceNotification = RegisterDeviceNotifications(static_cast<std::uintptr_t>(winId()));
    pDiskWatcher = new DeviceDiskWatcher(this);
    // Queued, so the watcher is out of its own handler before the pause and the
    // catalogue's modal prompt run.
    connect(pDiskWatcher, &DeviceDiskWatcher::VolumesChanged, this, &MainWindow::OnDeviceChange,
            Qt::QueuedConnection);

    ScaleFonts();
    // Every page button up to the first "fixed" one (settings) takes part in the
    // tool-bar effect.
    const QList<QToolButton *> toolButtons =
        ui->wgToolBar->findChildren<QToolButton *>(QString(), Qt::FindDirectChildrenOnly);
    for (QToolButton *pButton : toolButtons) {
        if (pButton->property("fixed").toBool())
            break;
        connect(pButton, &QToolButton::clicked, this, &MainWindow::onToolBarButtonClick);
    }

    qDebug() << "主线程ID：" << static_cast<void *>(QThread::currentThread());
    labDeviceIcon = new QLabel(this);
    labDeviceState = new QLabel(this);
    // Keep the device state off the window's right edge.
    labDeviceState->setContentsMargins(0, 0, 10, 0);
    ui->statusBar->addPermanentWidget(labDeviceIcon);
    ui->statusBar->addPermanentWidget(labDeviceState);
    ui->statusBar->setSizeGripEnabled(false);
    ui->statusBar->installEventFilter(this);
    auto *pStatusLayout = new QHBoxLayout(ui->wgStatus);
    pStatusLayout->setContentsMargins(0, 0, 0, 0);
    pStatusLayout->addWidget(ui->statusBar);
    qDebug() << "atmoic" << pBatch->nTaskCount.load();
    RefreshDeviceState();
    RefreshAccount();
}

void MainWindow::RefreshAccount()
{
    const QString sAccount = LoginAccount();
    const bool bSignedIn = HasLoginReply();
    labAccount->setText(bSignedIn ? tr("已登录：%1").arg(sAccount.isEmpty() ? tr("用户") : sAccount)
                                  : tr("未登录"));
    btnSignOut->setText(bSignedIn ? tr("退出登录") : tr("登录"));
    btnSignOut->setMinimumWidth(btnSignOut->fontMetrics().horizontalAdvance(btnSignOut->text()) +
                                16);
    // A repair asks the server as the signed-in user.
    if (pCheckPanel)
        pCheckPanel->RefreshSignedIn();
}

void MainWindow::SignOut()
{
    if (!HasLoginReply()) {
        emit ShowLogin();
        return;
    }
    ::SignOut();
    ui->tbUpdateList->setRowCount(0);
    SetEmptyReason(EmptyReason::NotSignedIn);
}

MainWindow::~MainWindow()
{
    // Transfers still running on worker threads must not outlive the window's disk.
    TransferStopFlag = 1;
    UnregisterDeviceNotifications(pDeviceNotification);
    delete ui;
}

void MainWindow::FirstShow()
{
    const QStringList slDisks = ListDeviceDisks();
    RefreshDiskButtons(slDisks);
    if (slDisks.isEmpty())
        return;
    SwichSD(slDisks.first());
    RefreshStatusText();
    qDebug() << sCurDisk;
    ui->btnDownload->click();
    SetRoundCorners(this);
}

QString MainWindow::TitleText() const
{
    const QString sSerial = CurrentSerialNumber();
    const QString sFormat = QStringLiteral("%1 Update Assist 1.00");
    if (sSerial.isEmpty())
        return sFormat.arg(QString()).trimmed();
    const QChar cModel = sSerial.at(0).toUpper();
    QString sModel = QStringLiteral("KX410");
    if (cModel == QLatin1Char('D'))
        sModel = QStringLiteral("KX520");
    else if (cModel == QLatin1Char('G'))
        sModel = QStringLiteral("KXW-B7");
    return sFormat.arg(sModel);
}

QString MainWindow::StatusText(const QString &sSerial, const QString &sDiskName, quint64 nFree)
{
    return QStringLiteral("SN:%1\t %4:%2\t %5:%3")
        .arg(sSerial, sDiskName, FormatSize(nFree), tr("磁盘"), tr("可用"));
}

void MainWindow::RefreshStatusText()
{
    if (sSN.isEmpty() || sCurDisk.isEmpty())
        return;
    ui->statusBar->showMessage(
        StatusText(sSN, DiskDisplayName(sCurDisk), DiskAvailableBytes(sCurDisk)));
}

void MainWindow::RefreshDiskButtons(const QStringList &slDisks)
{
    if (pDiskButtons == nullptr)
        pDiskButtons = new QButtonGroup(this);
    const QList<QPushButton *> oldButtons = ui->statusBar->findChildren<QPushButton *>();
    for (QPushButton *pButton : oldButtons) {
        pDiskButtons->removeButton(pButton);
        ui->statusBar->removeWidget(pButton);
        delete pButton;
    }
    int nPosition = 0;
    for (const QString &sDisk : slDisks) {
        auto *pButton = new QPushButton;
        pButton->installEventFilter(this);
        pButton->setProperty("disk", sDisk);
        pButton->setProperty("tip", DiskTipHtml(sDisk));
        pButton->setCheckable(true);
        pButton->setFixedSize(20, 20);
        IconHelper::Instance()->SetIcon(pButton, kIconDisk, 11);
        connect(pButton, &QPushButton::clicked, this, &MainWindow::OnDiskButtonClicked);
        pDiskButtons->addButton(pButton);
        // Permanent, in list order before the device state: the status message
        // hides normal status widgets and is drawn over the place they take.
        ui->statusBar->insertPermanentWidget(nPosition++, pButton);
        pButton->show();
        if (IsSameDisk(sDisk, sCurDisk))
            pButton->setChecked(true);
    }
}

void MainWindow::RefreshDiskTips()
{
    RefreshStatusText();
    const QList<QPushButton *> buttons = ui->statusBar->findChildren<QPushButton *>();
    for (QPushButton *pButton : buttons) {
        const QString sDisk = pButton->property("disk").toString();
        if (!sDisk.isEmpty() && sDisk == sCurDisk)
            pButton->setProperty("tip", DiskTipHtml(sCurDisk));
    }
}

void MainWindow::OnDiskButtonClicked()
{
    auto *pButton = qobject_cast<QPushButton *>(sender());
    if (pButton == nullptr)
        return;
    const QString sDisk = pButton->property("disk").toString();
    const bool bChanged = sDisk != sCurDisk;
    SwichSD(sDisk);
    RefreshStatusText();
    pButton->setChecked(true);
    // The list on the download page belongs to the device it was fetched for;
    // another device needs its own catalogue before anything is downloaded.
    if (bChanged)
        ui->btnDownload->click();
}

void MainWindow::SwichSD(QString sDisk)
{
    sCurDisk = sDisk;
    bool bOk = false;
    const QString sSerial = ReadSerialNumber(sDisk, &bOk);
    if (bOk) {
        sSN = sSerial;
        SetCurrentSerialNumber(sSerial);
        setWindowTitle(TitleText());
        ui->lab_Title->setText(TitleText());
    }
    if (pDiskButtons != nullptr) {
        const QList<QAbstractButton *> buttons = pDiskButtons->buttons();
        for (QAbstractButton *pButton : buttons) {
            if (IsSameDisk(pButton->property("disk").toString(), sCurDisk))
                pButton->setChecked(true);
        }
    }
    RefreshDeviceState();
    // Sign in automatically once a device is known and nobody is signed in yet.
    if (!CurrentSerialNumber().isEmpty() && !HasLoginReply()) {
        auto *pRelay = new LoginRelay;
        connect(pRelay, &LoginRelay::ShowLogin, this, &MainWindow::ShowLogin);
        // Deleted on this thread, after any request it has queued.
        const std::shared_ptr<LoginRelay> relay(pRelay, [](LoginRelay *p) { p->deleteLater(); });
        RunOnNewThread([relay]() { AutoUserLogin(relay.get()); });
    }
}

void MainWindow::OnDeviceChange()
{
    const QStringList slDisks = ListDeviceDisks();
    RefreshDiskButtons(slDisks);
    if (!sCurDisk.isEmpty() && slDisks.contains(sCurDisk)) {
        SwichSD(sCurDisk);
        RefreshStatusText();
        return;
    }
    // No device before and none now: nothing went away, nothing to abort.
    if (sCurDisk.isEmpty() && slDisks.isEmpty())
        return;

    TransferStopFlag = 1;
    // Its late reports bring its rows back to Ready, and nothing else.
    pBatch->Abandon();
    UpdateCancelButton();
    if (slDisks.isEmpty()) {
        sCurDisk.clear();
        sSN.clear();
        SetCurrentSerialNumber(QString());
        ui->statusBar->clearMessage();
        setWindowTitle(TitleText());
        ui->lab_Title->setText(TitleText());
        RefreshDeviceState();
        emit DevHasDisconnected();
    } else {
        SwichSD(slDisks.first());
        RefreshStatusText();
    }
    // Long enough for running transfers to see the flag and give up.
    QThread::msleep(300);
    TransferStopFlag = 0;
    ui->btnDownload->click();
    RefreshDiskTips();
}

bool MainWindow::nativeEvent(const QByteArray &eventType, void *message, long *result)
{
    if (eventType.startsWith("windows_")) {
        switch (ClassifyDeviceChange(message)) {
        case DeviceChangeKind::NotDeviceChange:
            break;
        case DeviceChangeKind::Ignored:
            *result = 1;
            return true;
        case DeviceChangeKind::VolumeChanged:
            OnDeviceChange();
            *result = 1;
            return true;
        }
    }
    return QMainWindow::nativeEvent(eventType, message, result);
}

void MainWindow::RefreshDeviceState()
{
    const bool bConnected = !sCurDisk.isEmpty();
    IconHelper::Instance()->SetIcon(labDeviceIcon, kIconUsb, 11);
    labDeviceIcon->setStyleSheet(bConnected ? QStringLiteral("color:#7CFC00;")
                                            : QStringLiteral("color:#c0c0c0;"));
    labDeviceState->setText(bConnected ? tr("设备已连接") : tr("设备未连接"));
}

void MainWindow::onToolBarButtonClick()
{
    if (!bToolBarEffect)
        return;
    auto *pButton = qobject_cast<QWidget *>(sender());
    if (pButton == nullptr)
        return;
    QBoxLayout *pLayout = ui->vLayoutToolBar;
    const int i = pLayout->indexOf(pButton);
    if (i < 0 || i == nLastToolButton)
        return;
    auto *pSpacer = new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding);
    pLayout->insertItem(i + 1, pSpacer);
    PlayClickSound();
    for (int n = pLayout->count() - 1; n >= 0; --n) {
        QLayoutItem *pItem = pLayout->itemAt(n);
        if (pItem != pSpacer && pItem->widget() == nullptr)
            delete pLayout->takeAt(n);
    }
    nLastToolButton = i;
}

void MainWindow::PlayClickSound()
{
    // Loaded once from the resource and kept in memory for every later click.
    if (!pClickSound)
        pClickSound = std::make_unique<ClickSound>(QStringLiteral(":/other/sound.wav"), this);
    pClickSound->Play();
}

void MainWindow::on_btnDownload_clicked()
{
    ui->stackedWidget->setCurrentWidget(ui->page);
    StartCatalogueRefresh();
}

void MainWindow::on_btnUnistall_clicked()
{
    ui->stackedWidget->setCurrentWidget(ui->pageUnistall);
    pCheckPanel->RefreshSignedIn();
    StartInstalledScan();
}

void MainWindow::on_btnSetting_clicked()
{
    SettingDlg dlg(this);
    connect(&dlg, &SettingDlg::SetLanguage, this, &MainWindow::SwitchLanguage);
    // Placed at its final size: Qt's own placement goes by the size before the layout.
    CentreOverWindow(&dlg);
    dlg.exec();
}

void MainWindow::on_tbUpdateList_clicked(QModelIndex index)
{
    Q_UNUSED(index);
}

void MainWindow::on_btnHelp_clicked()
{
    ui->stackedWidget->setCurrentWidget(ui->pageHelp);
    ui->lstHelp->clear();
    const QDir helpDir(ProgramFolder() + QStringLiteral("/help"));
    const QFileInfoList files =
        helpDir.entryInfoList(QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    QFileIconProvider iconProvider;
    for (const QFileInfo &info : files)
        new QListWidgetItem(iconProvider.icon(info), info.fileName(), ui->lstHelp);
}

void MainWindow::OpenHelpDocument(QListWidgetItem *pItem)
{
    if (pItem == nullptr)
        return;
    // A local-file URL stays valid for any folder and any character in the name.
    QDesktopServices::openUrl(QUrl::fromLocalFile(QCoreApplication::applicationDirPath() +
                                                  QStringLiteral("/help/") + pItem->text()));
}

void MainWindow::on_btnManage_clicked()
{
    pDataManage->Refresh();
    ui->stackedWidget->setCurrentWidget(pDataManage);
}

void MainWindow::on_cbAll_clicked()
{
    CheckAllUpdates(ui->cbAll->isChecked());
}

void MainWindow::CheckAllUpdates(bool on)
{
    const Qt::CheckState state = on ? Qt::Checked : Qt::Unchecked;
    for (int nRow = 0; nRow < ui->tbUpdateList->rowCount(); ++nRow) {
        if (QTableWidgetItem *pItem = ui->tbUpdateList->item(nRow, UpdateTable::ColName))
            pItem->setCheckState(state);
    }
    pUpdateHeader->SetChecked(on);
    ui->cbAll->setChecked(on);
    pUpdateHeader->viewport()->update();
}

void MainWindow::CheckAllInstalled(bool on)
{
    const Qt::CheckState state = on ? Qt::Checked : Qt::Unchecked;
    for (int nRow = 0; nRow < ui->tbUnistallList->rowCount(); ++nRow) {
        if (QTableWidgetItem *pItem = ui->tbUnistallList->item(nRow, UnistallTable::ColName))
            pItem->setCheckState(state);
    }
}

void MainWindow::ScaleFonts()
{
    const int nPixels = ScaledSize(10);
    if (nPixels == 10)
        return;
    QQueue<QWidget *> queue;
    queue.enqueue(this);
    while (!queue.isEmpty()) {
        QWidget *pWidget = queue.dequeue();
        const QList<QWidget *> children =
            pWidget->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
        for (QWidget *pChild : children) {
            QFont font = pChild->font();
            font.setPixelSize(nPixels);
            pChild->setFont(font);
            queue.enqueue(pChild);
        }
    }
}

void MainWindow::SwitchLanguage(QString sLanguage)
{
    qDebug() << "SetLanguage" << sLanguage;
    ApplyStoredLanguage();
    ui->retranslateUi(this);
    pDataManage->Retranslate();
    pDataList->Retranslate();
    setWindowTitle(TitleText());
    ui->lab_Title->setText(TitleText());
    for (int nRow = 0; nRow < ui->tbUpdateList->rowCount(); ++nRow) {
        if (QWidget *pCell = ui->tbUpdateList->cellWidget(nRow, UpdateTable::ColState)) {
            const QList<QAbstractButton *> buttons = pCell->findChildren<QAbstractButton *>();
            for (QAbstractButton *pButton : buttons)
                pButton->setText(tr("下载"));
        }
    }
    // Listed and installed packages are named in the language of the moment.
    RetranslateUpdateRows();
    RetranslateUnistallNames();
    btnCancelDownload->setText(tr("取消下载"));
    RefreshAccount();
    pCheckPanel->Retranslate();
    for (int nRow = 0; nRow < ui->tbUnistallList->rowCount(); ++nRow) {
        if (QWidget *pCell = ui->tbUnistallList->cellWidget(nRow, UnistallTable::ColSize)) {
            const QList<QAbstractButton *> buttons = pCell->findChildren<QAbstractButton *>();
            for (QAbstractButton *pButton : buttons)
                pButton->setText(tr("卸载"));
        }
    }
    RefreshDeviceState();
    RefreshStatusText();
    RefreshDiskButtons(ListDeviceDisks());
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Enter) {
        if (auto *pButton = qobject_cast<QPushButton *>(watched)) {
            const QString sTip = pButton->property("tip").toString();
            if (!sTip.isEmpty())
                QToolTip::showText(QCursor::pos(), sTip, pButton);
        }
    }
    if (labEmptyReason && watched == ui->tbUpdateList->viewport() &&
        event->type() == QEvent::Resize)
        labEmptyReason->setGeometry(ui->tbUpdateList->viewport()->rect());
    if (watched == ui->lab_Ico && event->type() == QEvent::MouseButtonDblClick)
        bToolBarEffect = true;
    if (watched == ui->statusBar && event->type() == QEvent::Paint &&
        !ui->statusBar->currentMessage().isEmpty()) {
        PaintStatusMessage();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::PaintStatusMessage()
{
    // QStatusBar draws its message at its very left edge, over the emblem of its
    // background; the message starts after the bar's 100-pixel left padding instead.
    QStatusBar *pBar = ui->statusBar;
    QPainter painter(pBar);
    QStyleOption option;
    option.initFrom(pBar);
    pBar->style()->drawPrimitive(QStyle::PE_PanelStatusBar, &option, &painter, pBar);
    QRect rect = pBar->rect();
    rect.setLeft(kStatusTextLeft);
    const QList<QWidget *> children =
        pBar->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget *pChild : children) {
        if (pChild->isVisible() && pChild->x() > kStatusTextLeft)
            rect.setRight(qMin(rect.right(), pChild->x() - 4));
    }
    painter.setPen(pBar->palette().windowText().color());
    painter.drawText(rect, Qt::AlignLeading | Qt::AlignVCenter | Qt::TextSingleLine,
                     pBar->currentMessage());
}

void MainWindow::ToggleMaximized()
{
    // The button moves away under the cursor; drop its hover look first.
    ui->btnMax->setAttribute(Qt::WA_UnderMouse, false);
    QHoverEvent leave(QEvent::HoverLeave, QPoint(-1, -1), QPoint(-1, -1));
    QCoreApplication::sendEvent(ui->btnMax, &leave);
    const bool bWasMax = property("MAX").toBool();
    if (bWasMax)
        showNormal();
    else
        showMaximized();
    setProperty("MAX", !bWasMax);
    IconHelper::Instance()->SetIcon(ui->btnMax, bWasMax ? kIconMaximize : kIconRestore, 10);
}

void MainWindow::CentreOverWindow(QWidget *pWindow) const
{
    // Parentless windows would otherwise open wherever the system puts them,
    // which without a window manager is over this window's title bar.
    if (!isVisible())
        return;
    pWindow->adjustSize();
    QRect rect = pWindow->frameGeometry();
    rect.moveCenter(frameGeometry().center());
    pWindow->move(rect.topLeft());
}

void MainWindow::OpenProxySetting()
{
    auto *pWindow = new ProxySetting;
    pWindow->setAttribute(Qt::WA_DeleteOnClose);
    pWindow->setWindowModality(Qt::ApplicationModal);
    CentreOverWindow(pWindow);
    pWindow->show();
}

void MainWindow::OpenLoginWindow()
{
    const QWidgetList topLevels = QApplication::topLevelWidgets();
    for (QWidget *pWidget : topLevels) {
        if (pWidget->objectName() == QLatin1String("UserManage"))
            return;
    }
    auto *pWindow = new UserManage;
    pWindow->setAttribute(Qt::WA_DeleteOnClose);
    pWindow->setWindowModality(Qt::ApplicationModal);
    CentreOverWindow(pWindow);
    pWindow->show();
}

void MainWindow::ShowMessageBox(QString sMsg)
{
    ShowMessage(nullptr, QObject::tr("提示"), sMsg);
}

void MainWindow::ApplyColumnWidths(QTableWidget *pTable, const QString &sWidths)
{
    const QStringList slWidths = sWidths.split(QLatin1Char(','));
    const int nCount = qMin(slWidths.size(), pTable->columnCount());
    for (int i = 0; i < nCount; ++i)
        pTable->setColumnWidth(i, slWidths.at(i).trimmed().toInt());
}

#include "MainWindow.moc"
