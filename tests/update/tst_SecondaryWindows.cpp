// The windows besides the main window: each has a real title for the task bar,
// in the interface language, and opens centred over the main window.

#include "TestWidgets.h"
#include "accounts/UserManage.h"
#include "accounts/UserReg.h"
#include "app/Language.h"
#include "app/SettingDlg.h"
#include "app/Settings.h"
#include "device/DeviceDisks.h"
#include "device/MainInstall.h"
#include "device/device.h"
#include "net/ProxySetting.h"
#include "update/MainWindow.h"
#include "widgets/MessageBox.h"
#include "widgets/PromptDlg.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

using namespace TestWidgets;

namespace
{
QWidget *ShownWindow(const char *pClass)
{
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *pWidget : widgets) {
        if (pWidget->isVisible() && pWidget->inherits(pClass))
            return pWidget;
    }
    return nullptr;
}

std::unique_ptr<QWidget> NewWindow(const QString &sClass)
{
    if (sClass == QLatin1String("UserManage"))
        return std::make_unique<UserManage>();
    if (sClass == QLatin1String("UserReg"))
        return std::make_unique<UserReg>();
    if (sClass == QLatin1String("SettingDlg"))
        return std::make_unique<SettingDlg>();
    if (sClass == QLatin1String("ProxySetting"))
        return std::make_unique<ProxySetting>();
    if (sClass == QLatin1String("MainInstall"))
        return std::make_unique<MainInstall>();
    if (sClass == QLatin1String("PromptDlg"))
        return std::make_unique<PromptDlg>();
    if (sClass == QLatin1String("MainWindow"))
        return std::make_unique<MainWindow>();
    return nullptr;
}
} // namespace

class tst_SecondaryWindows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void titles_data();
    void titles();
    void openCentredOverMainWindow_data();
    void openCentredOverMainWindow();

private:
    QTemporaryDir dir;
    std::unique_ptr<MainWindow> pMain;
};

void tst_SecondaryWindows::initTestCase()
{
    QVERIFY(dir.isValid());
    QVERIFY(QDir::setCurrent(dir.path()));
    // No device: nothing is fetched, no login asked for.
    SetDeviceDiskFolders({});
    device::SetSerialOverride(dir.filePath("no-such-port"));
}

void tst_SecondaryWindows::cleanup()
{
    TakeMessages();
    DeleteTopLevelsOf<UserManage, UserReg, ProxySetting, SettingDlg>();
    pMain.reset();
    StoreLanguageSetting(3);
    ApplyStoredLanguage();
}

void tst_SecondaryWindows::titles_data()
{
    QTest::addColumn<QString>("sClass");
    QTest::addColumn<int>("nLanguage");
    QTest::addColumn<QString>("sTitle");
    const QList<std::array<const char *, 3>> titles = {
        {"MainWindow", "Update Assist 1.00", "Update Assist 1.00"},
        {"UserManage", "用户登录", "User login"},
        {"UserReg", "注册账号", "Register an account"},
        {"SettingDlg", "设置", "Setting"},
        {"ProxySetting", "代理设置", "Proxy settings"},
        {"MainInstall", "固件升级", "Firmware upgrade"},
        {"PromptDlg", "请稍候", "Please wait"}};
    for (const auto &title : titles) {
        QTest::addRow("%s, Chinese", title[0]) << title[0] << 0 << QString::fromUtf8(title[1]);
        QTest::addRow("%s, English", title[0]) << title[0] << 2 << QString::fromUtf8(title[2]);
    }
}

void tst_SecondaryWindows::titles()
{
    QFETCH(QString, sClass);
    QFETCH(int, nLanguage);
    QFETCH(QString, sTitle);
    StoreLanguageSetting(nLanguage);
    ApplyStoredLanguage();
    const std::unique_ptr<QWidget> pWindow = NewWindow(sClass);
    QVERIFY(pWindow);
    QCOMPARE(pWindow->windowTitle(), sTitle);
}

void tst_SecondaryWindows::openCentredOverMainWindow_data()
{
    QTest::addColumn<QString>("sWindow");
    QTest::newRow("proxy settings") << "ProxySetting";
    QTest::newRow("login") << "UserManage";
    QTest::newRow("registration") << "UserReg";
    QTest::newRow("settings") << "SettingDlg";
    QTest::newRow("message") << "QMessageBox";
}

void tst_SecondaryWindows::openCentredOverMainWindow()
{
    QFETCH(QString, sWindow);
    pMain = std::make_unique<MainWindow>();
    // Away from the middle of the (800 x 600) screen.
    pMain->setGeometry(25, 20, pMain->minimumWidth(), pMain->minimumHeight());
    pMain->show();
    QVERIFY(QTest::qWaitForWindowExposed(pMain.get()));
    pMain->FirstShow();
    const QPoint centre = pMain->frameGeometry().center();

    QPoint shownAt;
    const QByteArray baClass = sWindow.toLatin1();
    if (sWindow == QLatin1String("SettingDlg")) {
        // Run modally: looked at from inside, then closed.
        QTimer::singleShot(0, this, [&shownAt, baClass]() {
            if (QWidget *pDialog = ShownWindow(baClass.constData())) {
                shownAt = pDialog->frameGeometry().center();
                pDialog->close();
            }
        });
        pMain->findChild<QAbstractButton *>("btnSetting")->click();
    } else {
        if (sWindow == QLatin1String("ProxySetting"))
            pMain->findChild<QAbstractButton *>("btnProxySetting")->click();
        else if (sWindow == QLatin1String("QMessageBox"))
            emit pMain->ShowMsgBox(QStringLiteral("x"));
        else
            emit pMain->ShowLogin();
        if (sWindow == QLatin1String("UserReg")) {
            QWidget *pLogin = ShownWindow("UserManage");
            QVERIFY(pLogin);
            pLogin->findChild<QPushButton *>("btnReg")->click();
        }
        QWidget *pWindow = ShownWindow(baClass.constData());
        QVERIFY(pWindow);
        shownAt = pWindow->frameGeometry().center();
    }
    const QPoint offset = shownAt - centre;
    QVERIFY2(offset.manhattanLength() <= 2,
             qPrintable(QStringLiteral("%1,%2 off the centre").arg(offset.x()).arg(offset.y())));
}

QTEST_MAIN(tst_SecondaryWindows)
#include "tst_SecondaryWindows.moc"
