// The login window against the stand-in server on 127.0.2.30.

#include "AccountServer.h"
#include "AccountWindow.h"
#include "FormContract.h"
#include "TestWidgets.h"
#include "WaitWatch.h"
#include "accounts/LoginReply.h"
#include "accounts/PasswordDigest.h"
#include "accounts/StoredCredentials.h"
#include "accounts/UserManage.h"
#include "accounts/UserReg.h"
#include "net/HttpPost.h"
#include "net/ServerProtocol.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace TestWidgets;

class tst_UserManage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void formContract_data();
    void formContract();
    void failureMessages_data();
    void failureMessages();
    void rememberedPasswordIsSentAsStored();
    void autoWithoutRememberShowsNoPassword();
    void neitherBoxKeepsNoPassword();
    void editedStarsAreHashed();
    void enterInPasswordLogsIn();
    void registerButtonOpensRegistration();
    void successfulLogin();
    void accountMadeOnWindowsWithChinesePassword();
    void secretsStayOutOfDebugOutput();
    void silentServerLeavesProgramResponsive();

private:
    QString SentPassword();

    AccountServer m_server{QStringLiteral("127.0.2.30")};
    QTemporaryDir m_dir;
    AccountWindow<UserManage> m_window;
};

void tst_UserManage::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // "./User.bin" lives in the working directory.
    QVERIFY(QDir::setCurrent(m_dir.path()));
    // An account made with the Windows client: its digest is that of the
    // password's GBK bytes.
    QFile accounts(m_dir.filePath(QStringLiteral("accounts.json")));
    QVERIFY(accounts.open(QIODevice::WriteOnly));
    accounts.write(R"({"accounts": [{"name": "wang",
                       "password": "BA56B9D955F9FFFDA9365270FFAAF459"}]})");
    accounts.close();
    m_server.SetAccountsFile(accounts.fileName());
    QVERIFY2(m_server.StartForProgram(), qPrintable(m_server.Output()));
}

void tst_UserManage::init()
{
    QFile::remove(UserFilePath());
    SetServerAddress(m_server.Address());
    QVERIFY(m_server.Reset());
}

void tst_UserManage::cleanup()
{
    m_window.Clear();
}

QString tst_UserManage::SentPassword()
{
    const QJsonArray jaLogins = m_server.Requests(QStringLiteral("login"));
    if (jaLogins.size() != 1)
        return QStringLiteral("<%1 login requests>").arg(jaLogins.size());
    return jaLogins.at(0)
        .toObject()
        .value(QStringLiteral("data"))
        .toObject()
        .value(QStringLiteral("password"))
        .toString();
}

void tst_UserManage::formContract_data()
{
    using FormContract::Row;
    using FormContract::Shown;
    FormContract::AddColumn();
    FormContract::AddRows({
        Row("UserManage", "UserManage")
            .Flags(Qt::FramelessWindowHint)
            .Properties({{"CanMove", true}, {"Form", true}}),
        Row("edtUserName", "QLineEdit").Text(""),
        Row("edtPassword", "QLineEdit")
            .Properties({{"echoMode", QVariant::fromValue(QLineEdit::Password)}}),
        Row("lbRegSuccess", "QLabel").Is(Shown::Invisible),
        Row("btnFindBack", "QPushButton").Is(Shown::Invisible),
        Row("cbAutoLogin", "QCheckBox").Properties({{"checked", false}}),
    });
}

void tst_UserManage::formContract()
{
    QFETCH(FormContract::Row, row);
    FormContract::Verify(m_window.Open(), row);
}

void tst_UserManage::failureMessages_data()
{
    QTest::addColumn<QJsonObject>("joFault");
    QTest::addColumn<QString>("sPassword");
    QTest::addColumn<bool>("bServerDown");
    QTest::addColumn<QString>("sMessage");
    const QString sNetwork = QStringLiteral("网络可能不通,请捡查网络是否正常。");
    const QString sUnknown = QStringLiteral("发生未知错误,请偿试重新提交。");
    const QString sService = QStringLiteral("服务异常,请偿试重新登录。");
    QTest::newRow("wrong password")
        << QJsonObject() << "wrong" << false << QStringLiteral("账号或密码错误");
    QTest::newRow("status 500") << QJsonObject{{"status", 500}} << "secret123" << false << sNetwork;
    QTest::newRow("no server") << QJsonObject() << "secret123" << true << sNetwork;
    QTest::newRow("not JSON") << QJsonObject{{"notjson", true}} << "secret123" << false << sUnknown;
    QTest::newRow("empty body") << QJsonObject{{"empty", true}} << "secret123" << false << sUnknown;
    QTest::newRow("code 10003") << QJsonObject{{"code", "10003"}} << "secret123" << false
                                << sService;
    QTest::newRow("unknown code") << QJsonObject{{"code", "999999"}} << "secret123" << false
                                  << sService;
    QTest::newRow("JSON array reply")
        << QJsonObject{{"body", "[]"}} << "secret123" << false << sService;
}

void tst_UserManage::failureMessages()
{
    QFETCH(QJsonObject, joFault);
    QFETCH(QString, sPassword);
    QFETCH(bool, bServerDown);
    QFETCH(QString, sMessage);
    QVERIFY(m_server.SetFault(joFault));
    if (bServerDown)
        SetServerAddress(QStringLiteral("127.0.2.31"));

    UserManage *pWindow = m_window.Open();
    QSignalSpy spySuccess(pWindow, &UserManage::LoginSuccess);
    QTest::keyClicks(pWindow->findChild<QLineEdit *>("edtUserName"), QStringLiteral(" alice "));
    QTest::keyClicks(pWindow->findChild<QLineEdit *>("edtPassword"), sPassword);
    pWindow->findChild<QCheckBox *>("cbRememberPsw")->setChecked(true);
    QTest::mouseClick(pWindow->findChild<QPushButton *>("btnLogin"), Qt::LeftButton);

    QCOMPARE(TakeMessage(), sMessage);
    QVERIFY(m_window.Shown());
    QCOMPARE(spySuccess.count(), 0);
    // The attempt is remembered all the same, with the trimmed account.
    StoredCredentials stored;
    QVERIFY(ReadStoredCredentials(&stored));
    QCOMPARE(stored.sUserName, QStringLiteral("alice"));
    QCOMPARE(stored.sPassword, PasswordDigest(sPassword));
    QVERIFY(stored.bRemember);
    QVERIFY(!stored.bAuto);
}

void tst_UserManage::rememberedPasswordIsSentAsStored()
{
    const QString sDigest = PasswordDigest(QStringLiteral("not-this-one"));
    QVERIFY(WriteStoredCredentials({QStringLiteral("alice"), sDigest, false, true}));
    UserManage *pWindow = m_window.Open();
    auto *pPassword = pWindow->findChild<QLineEdit *>("edtPassword");
    QCOMPARE(pWindow->findChild<QLineEdit *>("edtUserName")->text(), QStringLiteral("alice"));
    QCOMPARE(pPassword->text(), QStringLiteral("********"));
    QCOMPARE(pPassword->property("password").toString(), sDigest);
    QVERIFY(pWindow->findChild<QCheckBox *>("cbRememberPsw")->isChecked());
    QVERIFY(!pWindow->findChild<QCheckBox *>("cbAutoLogin")->isChecked());

    QTest::mouseClick(pWindow->findChild<QPushButton *>("btnLogin"), Qt::LeftButton);
    QCOMPARE(SentPassword(), sDigest);
    QCOMPARE(TakeMessage(), QStringLiteral("账号或密码错误"));
}

void tst_UserManage::autoWithoutRememberShowsNoPassword()
{
    QVERIFY(WriteStoredCredentials(
        {QStringLiteral("alice"), PasswordDigest(QStringLiteral("secret123")), true, false}));
    UserManage *pWindow = m_window.Open();
    auto *pPassword = pWindow->findChild<QLineEdit *>("edtPassword");
    QVERIFY(pPassword->text().isEmpty());
    QVERIFY(pPassword->property("password").toString().isEmpty());
    QVERIFY(pWindow->findChild<QCheckBox *>("cbAutoLogin")->isChecked());
}

void tst_UserManage::neitherBoxKeepsNoPassword()
{
    QVERIFY(WriteStoredCredentials(
        {QStringLiteral("alice"), PasswordDigest(QStringLiteral("wrong")), true, true}));
    UserManage *pWindow = m_window.Open();
    pWindow->findChild<QCheckBox *>("cbAutoLogin")->setChecked(false);
    pWindow->findChild<QCheckBox *>("cbRememberPsw")->setChecked(false);
    QTest::mouseClick(pWindow->findChild<QPushButton *>("btnLogin"), Qt::LeftButton);
    QCOMPARE(TakeMessage(), QStringLiteral("账号或密码错误"));
    StoredCredentials stored;
    QVERIFY(ReadStoredCredentials(&stored));
    QCOMPARE(stored.sUserName, QStringLiteral("alice"));
    QCOMPARE(stored.sPassword, QString());
    QVERIFY(!stored.bAuto);
    QVERIFY(!stored.bRemember);
}

void tst_UserManage::editedStarsAreHashed()
{
    QVERIFY(WriteStoredCredentials(
        {QStringLiteral("alice"), PasswordDigest(QStringLiteral("secret123")), false, true}));
    UserManage *pWindow = m_window.Open();
    auto *pPassword = pWindow->findChild<QLineEdit *>("edtPassword");
    pPassword->setFocus();
    pPassword->end(false);
    QTest::keyClick(pPassword, Qt::Key_Backspace);
    QCOMPARE(pPassword->text(), QStringLiteral("*******"));
    QTest::mouseClick(pWindow->findChild<QPushButton *>("btnLogin"), Qt::LeftButton);
    QCOMPARE(SentPassword(), PasswordDigest(QStringLiteral("*******")));
    QCOMPARE(TakeMessage(), QStringLiteral("账号或密码错误"));
}

void tst_UserManage::enterInPasswordLogsIn()
{
    UserManage *pWindow = m_window.Open();
    QTest::keyClicks(pWindow->findChild<QLineEdit *>("edtUserName"), QStringLiteral("alice"));
    auto *pPassword = pWindow->findChild<QLineEdit *>("edtPassword");
    QTest::keyClicks(pPassword, QStringLiteral("typo"));
    QTest::keyClick(pPassword, Qt::Key_Return);
    QCOMPARE(SentPassword(), PasswordDigest(QStringLiteral("typo")));
    QCOMPARE(TakeMessage(), QStringLiteral("账号或密码错误"));
}

void tst_UserManage::registerButtonOpensRegistration()
{
    UserManage *pWindow = m_window.Open();
    QTest::mouseClick(pWindow->findChild<QPushButton *>("btnReg"), Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(m_window.Deleted());
    UserReg *pReg = nullptr;
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *pWidget : widgets) {
        if (auto *pCandidate = qobject_cast<UserReg *>(pWidget))
            pReg = pCandidate;
    }
    QVERIFY(pReg != nullptr);
    QVERIFY(pReg->isVisible());
    QCOMPARE(pReg->windowModality(), Qt::ApplicationModal);
    QVERIFY(pReg->testAttribute(Qt::WA_DeleteOnClose));
}

void tst_UserManage::successfulLogin()
{
    QVERIFY(!HasLoginReply());
    UserManage *pWindow = m_window.Open();
    QSignalSpy spySuccess(pWindow, &UserManage::LoginSuccess);
    QTest::keyClicks(pWindow->findChild<QLineEdit *>("edtUserName"), QStringLiteral("alice"));
    QTest::keyClicks(pWindow->findChild<QLineEdit *>("edtPassword"), QStringLiteral(" secret123"));
    pWindow->findChild<QCheckBox *>("cbAutoLogin")->setChecked(true);
    QTest::mouseClick(pWindow->findChild<QPushButton *>("btnLogin"), Qt::LeftButton);

    QCOMPARE(TakeMessage(), QString());
    QCOMPARE(spySuccess.count(), 1);
    QVERIFY(m_window.Deleted()); // closed and deleted
    QVERIFY(HasLoginReply());
    QCOMPARE(LoginReply().value(QStringLiteral("code")).toString(), QStringLiteral("000000"));
    QCOMPARE(LoginReply().value(QStringLiteral("username")).toString(), QStringLiteral("alice"));
    QCOMPARE(LoginAccount(), QStringLiteral("alice")); // what the main window shows
    QCOMPARE(SentPassword(), PasswordDigest(QStringLiteral("secret123")));
    StoredCredentials stored;
    QVERIFY(ReadStoredCredentials(&stored));
    QCOMPARE(stored.sPassword, PasswordDigest(QStringLiteral("secret123")));
    QVERIFY(stored.bAuto);
    QVERIFY(!stored.bRemember);
}

void tst_UserManage::accountMadeOnWindowsWithChinesePassword()
{
    UserManage *pWindow = m_window.Open();
    QSignalSpy spySuccess(pWindow, &UserManage::LoginSuccess);
    pWindow->findChild<QLineEdit *>("edtUserName")->setText(QStringLiteral("wang"));
    pWindow->findChild<QLineEdit *>("edtPassword")->setText(QStringLiteral("密码abcd1234"));
    QTest::mouseClick(pWindow->findChild<QPushButton *>("btnLogin"), Qt::LeftButton);
    QCOMPARE(TakeMessage(), QString());
    QCOMPARE(spySuccess.count(), 1);
    QCOMPARE(SentPassword(), QStringLiteral("BA56B9D955F9FFFDA9365270FFAAF459"));
}

namespace
{
QByteArray g_baLog;
QtMessageHandler g_previousHandler = nullptr;

void CaptureMessage(QtMsgType type, const QMessageLogContext &context, const QString &sMsg)
{
    g_baLog += sMsg.toUtf8() + '\n';
    if (g_previousHandler)
        g_previousHandler(type, context, sMsg);
}
} // namespace

void tst_UserManage::secretsStayOutOfDebugOutput()
{
    UserManage *pWindow = m_window.Open();
    QTest::keyClicks(pWindow->findChild<QLineEdit *>("edtUserName"), QStringLiteral("alice"));
    QTest::keyClicks(pWindow->findChild<QLineEdit *>("edtPassword"), QStringLiteral("secret123"));
    pWindow->findChild<QCheckBox *>("cbRememberPsw")->setChecked(true);
    g_baLog.clear();
    g_previousHandler = qInstallMessageHandler(CaptureMessage);
    QTest::mouseClick(pWindow->findChild<QPushButton *>("btnLogin"), Qt::LeftButton);
    qInstallMessageHandler(g_previousHandler);

    QCOMPARE(TakeMessage(), QString());
    const QByteArray baToken = LoginReply().value(QStringLiteral("token")).toString().toUtf8();
    QVERIFY(!baToken.isEmpty());
    // The line is still there, with its secret masked.
    QVERIFY2(g_baLog.contains("login reply") && g_baLog.contains("***"), g_baLog.constData());
    QVERIFY2(!g_baLog.contains(baToken), g_baLog.constData());
    QVERIFY2(!g_baLog.contains(PasswordDigest(QStringLiteral("secret123")).toUtf8()),
             g_baLog.constData());
}

// The login waits for a server that takes the request and never answers:
// behind the wait prompt, with the program handling its events all along,
// until the request gives up.
void tst_UserManage::silentServerLeavesProgramResponsive()
{
    const long nSilenceMs = 3000;
    auto pSilent = std::make_unique<SilentServer>(QStringLiteral("127.0.2.32"), nSilenceMs);
    QVERIFY(pSilent->IsListening());

    UserManage *pWindow = m_window.Open();
    QTest::keyClicks(pWindow->findChild<QLineEdit *>("edtUserName"), QStringLiteral("alice"));
    QTest::keyClicks(pWindow->findChild<QLineEdit *>("edtPassword"), QStringLiteral("secret123"));
    WaitWatch watch;
    QTest::mouseClick(pWindow->findChild<QPushButton *>("btnLogin"), Qt::LeftButton);
    watch.Stop();
    pSilent.reset();

    QVERIFY2(watch.Turns() >= 3, qPrintable(QString::number(watch.Turns())));
    QVERIFY2(watch.LongestGapMs() < nSilenceMs / 2,
             qPrintable(QString::number(watch.LongestGapMs())));
    QCOMPARE(TakeMessage(), QStringLiteral("网络可能不通,请捡查网络是否正常。"));
    QVERIFY(m_window.Shown());
}

QTEST_MAIN(tst_UserManage)
#include "tst_UserManage.moc"
