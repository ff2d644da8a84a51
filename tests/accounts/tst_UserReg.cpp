// The registration window against the stand-in server on 127.0.2.40.

#include "AccountServer.h"
#include "AccountWindow.h"
#include "FormContract.h"
#include "TestWidgets.h"
#include "WaitWatch.h"
#include "accounts/PasswordDigest.h"
#include "accounts/UserManage.h"
#include "accounts/UserReg.h"
#include "device/DeviceState.h"
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

class tst_UserReg : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void formContract_data();
    void formContract();
    void namesCannotOverflow();
    void localChecks_data();
    void localChecks();
    void serverAnswers_data();
    void serverAnswers();
    void successOpensPrefilledLogin();
    void silentServerLeavesProgramResponsive();

private:
    struct Fields {
        QString sName, sRealName, sPassword, sRePassword, sPhone, sMail;
    };
    void Fill(UserReg *pWindow, const Fields &fields);

    AccountServer m_server{QStringLiteral("127.0.2.40")};
    AccountWindow<UserReg> m_window;
};
Q_DECLARE_METATYPE(QJsonObject)

void tst_UserReg::initTestCase()
{
    QVERIFY2(m_server.StartForProgram(), qPrintable(m_server.Output()));
    SetCurrentSerialNumber(QStringLiteral("D123456789012"));
}

void tst_UserReg::init()
{
    QVERIFY(m_server.Reset());
}

void tst_UserReg::cleanup()
{
    m_window.Clear();
}

void tst_UserReg::Fill(UserReg *pWindow, const Fields &fields)
{
    QTest::keyClicks(pWindow->findChild<QLineEdit *>("edtUserName"), fields.sName);
    QTest::keyClicks(pWindow->findChild<QLineEdit *>("edtRealName"), fields.sRealName);
    QTest::keyClicks(pWindow->findChild<QLineEdit *>("edtPassword"), fields.sPassword);
    QTest::keyClicks(pWindow->findChild<QLineEdit *>("edtRePassword"), fields.sRePassword);
    QTest::keyClicks(pWindow->findChild<QLineEdit *>("edtPhone"), fields.sPhone);
    QTest::keyClicks(pWindow->findChild<QLineEdit *>("edtMail"), fields.sMail);
}

void tst_UserReg::formContract_data()
{
    using FormContract::Row;
    FormContract::AddColumn();
    const QVariant echo = QVariant::fromValue(QLineEdit::PasswordEchoOnEdit);
    FormContract::AddRows({
        Row("UserReg", "UserReg")
            .Text("注册账号")
            .Flags(Qt::FramelessWindowHint)
            .Properties({{"CanMove", true}}),
        Row("edtUserName", "QLineEdit"),
        Row("edtRealName", "QLineEdit"),
        Row("edtPassword", "QLineEdit").Properties({{"echoMode", echo}}),
        Row("edtRePassword", "QLineEdit").Properties({{"echoMode", echo}}),
        Row("edtPhone", "QLineEdit"),
        Row("edtMail", "QLineEdit"),
        Row("edtDevSN", "QLineEdit").Text("D123456789012"),
    });
}

void tst_UserReg::formContract()
{
    QFETCH(FormContract::Row, row);
    FormContract::Verify(m_window.Open(), row);
}

void tst_UserReg::namesCannotOverflow()
{
    UserReg *pWindow = m_window.Open();
    // A thirteenth character of the account and a 41st of the name cannot be typed.
    auto *pName = pWindow->findChild<QLineEdit *>("edtUserName");
    QTest::keyClicks(pName, QStringLiteral("abcdefghijklm"));
    QCOMPARE(pName->text(), QStringLiteral("abcdefghijkl"));
    auto *pRealName = pWindow->findChild<QLineEdit *>("edtRealName");
    QTest::keyClicks(pRealName, QString(41, QLatin1Char('n')));
    QCOMPARE(pRealName->text().size(), 40);
}

void tst_UserReg::localChecks_data()
{
    QTest::addColumn<QString>("sName");
    QTest::addColumn<QString>("sPassword");
    QTest::addColumn<QString>("sRePassword");
    QTest::addColumn<QString>("sPhone");
    QTest::addColumn<QString>("sMail");
    QTest::addColumn<QString>("sMessage");
    const QString sLength = QStringLiteral("用户名长度不符合要求");
    const QString sShort = QStringLiteral("密码最少为8位字符");
    const QString sDiffer = QStringLiteral("两次密码输入不一致,请重新输入!");
    const QString sContact = QStringLiteral("手机号与邮箱不能同时留空");
    QTest::newRow("three characters") << "bob"
                                      << "password1"
                                      << "password1"
                                      << "1"
                                      << "" << sLength;
    QTest::newRow("three after trimming") << " bob  "
                                          << "password1"
                                          << "password1"
                                          << "1"
                                          << "" << sLength;
    QTest::newRow("seven and spaces") << "bobby"
                                      << "passwor   "
                                      << "passwor   "
                                      << "1"
                                      << "" << sShort;
    QTest::newRow("case differs") << "bobby"
                                  << "Password1"
                                  << "password1"
                                  << "1"
                                  << "" << sDiffer;
    QTest::newRow("no phone, no mail") << "bobby"
                                       << "password1"
                                       << "password1"
                                       << ""
                                       << "  " << sContact;
    QTest::newRow("first failure wins") << "bob"
                                        << "short"
                                        << "other"
                                        << ""
                                        << "" << sLength;
}

void tst_UserReg::localChecks()
{
    QFETCH(QString, sName);
    QFETCH(QString, sPassword);
    QFETCH(QString, sRePassword);
    QFETCH(QString, sPhone);
    QFETCH(QString, sMail);
    QFETCH(QString, sMessage);
    UserReg *pWindow = m_window.Open();
    Fill(pWindow, {sName, QStringLiteral("Bob"), sPassword, sRePassword, sPhone, sMail});
    QTest::mouseClick(pWindow->findChild<QPushButton *>("btnSubmit"), Qt::LeftButton);
    QCOMPARE(TakeMessage(), sMessage);
    QVERIFY(m_window.Shown());
    QCOMPARE(m_server.Requests().size(), 0);
}

void tst_UserReg::serverAnswers_data()
{
    QTest::addColumn<QString>("sName");
    QTest::addColumn<QJsonObject>("joFault");
    QTest::addColumn<QString>("sMessage");
    QTest::newRow("name exists") << "ALICE" << QJsonObject() << QStringLiteral("已存在同名账号");
    QTest::newRow("refused with reason")
        << "carol" << QJsonObject{{"code", "10003"}, {"msg", "x"}} << QStringLiteral("x");
    QTest::newRow("refused by the server's rules")
        << "bad name" << QJsonObject()
        << QStringLiteral("账户只能由4至12位英文字母、数字或下划线组成");
    QTest::newRow("status 500") << "carol" << QJsonObject{{"status", 500}}
                                << QStringLiteral("网络可能不通,请捡查网络是否正常。");
    QTest::newRow("not JSON") << "carol" << QJsonObject{{"notjson", true}}
                              << QStringLiteral("发生未知错误,请偿试重新提交。");
    QTest::newRow("unknown code") << "carol" << QJsonObject{{"code", "10002"}}
                                  << QStringLiteral("服务异常,请偿试重新登录。");
}

void tst_UserReg::serverAnswers()
{
    QFETCH(QString, sName);
    QFETCH(QJsonObject, joFault);
    QFETCH(QString, sMessage);
    QVERIFY(m_server.SetFault(joFault));
    UserReg *pWindow = m_window.Open();
    QSignalSpy spySuccess(pWindow, &UserReg::RegSuccess);
    Fill(pWindow, {sName, QStringLiteral("Carol"), QStringLiteral("password1"),
                   QStringLiteral("password1"), QString(), QStringLiteral("c@example.org")});
    QTest::mouseClick(pWindow->findChild<QPushButton *>("btnSubmit"), Qt::LeftButton);
    QCOMPARE(TakeMessage(), sMessage);
    QCOMPARE(spySuccess.count(), 0);
    QVERIFY(m_window.Shown());
    QCOMPARE(pWindow->findChild<QLineEdit *>("edtUserName")->text(), sName);
    const QJsonArray jaRequests = m_server.Requests(QStringLiteral("register"));
    QCOMPARE(jaRequests.size(), 1);
    QCOMPARE(jaRequests.at(0).toObject().value(QStringLiteral("port")).toInt(), 19320);
}

void tst_UserReg::successOpensPrefilledLogin()
{
    UserReg *pWindow = m_window.Open();
    // Opened as the login window's register button does.
    connect(pWindow, &UserReg::RegSuccess, pWindow, [](const QString &sName, const QString &sPwd) {
        UserManage::OpenAfterRegistration(sName, sPwd);
    });
    QSignalSpy spySuccess(pWindow, &UserReg::RegSuccess);
    Fill(pWindow,
         {QStringLiteral(" dave "), QStringLiteral(" Dave D "), QStringLiteral("password1 "),
          QStringLiteral("password1"), QStringLiteral("13800000000"), QString()});
    QTest::mouseClick(pWindow->findChild<QPushButton *>("btnSubmit"), Qt::LeftButton);
    QCOMPARE(TakeMessage(), QString());
    const QString sDigest = PasswordDigest(QStringLiteral("password1"));
    QCOMPARE(spySuccess.count(), 1);
    QCOMPARE(spySuccess.at(0).at(0).toString(), QStringLiteral("dave"));
    QCOMPARE(spySuccess.at(0).at(1).toString(), sDigest);
    QVERIFY(m_window.Deleted());

    const QJsonArray jaRequests = m_server.Requests(QStringLiteral("register"));
    QCOMPARE(jaRequests.size(), 1);
    const QJsonObject joData = jaRequests.at(0).toObject().value(QStringLiteral("data")).toObject();
    QCOMPARE(joData.value(QStringLiteral("name")).toString(), QStringLiteral("dave"));
    QCOMPARE(joData.value(QStringLiteral("realname")).toString(), QStringLiteral("Dave D"));
    QCOMPARE(joData.value(QStringLiteral("phone")).toString(), QStringLiteral("13800000000"));
    QCOMPARE(joData.value(QStringLiteral("email")).toString(), QString());
    QCOMPARE(joData.value(QStringLiteral("password")).toString(), sDigest);
    QCOMPARE(joData.value(QStringLiteral("sn")).toString(), QStringLiteral("D123456789012"));

    UserManage *pLogin = nullptr;
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *pWidget : widgets) {
        if (auto *pCandidate = qobject_cast<UserManage *>(pWidget))
            pLogin = pCandidate;
    }
    QVERIFY(pLogin != nullptr);
    QVERIFY(pLogin->isVisible());
    QCOMPARE(pLogin->windowModality(), Qt::ApplicationModal);
    QCOMPARE(pLogin->findChild<QLineEdit *>("edtUserName")->text(), QStringLiteral("dave"));
    auto *pPassword = pLogin->findChild<QLineEdit *>("edtPassword");
    QCOMPARE(pPassword->text(), QStringLiteral("********"));
    QCOMPARE(pPassword->property("password").toString(), sDigest);
    QVERIFY(pLogin->findChild<QCheckBox *>("cbAutoLogin")->isChecked());
    QVERIFY(pLogin->findChild<QCheckBox *>("cbRememberPsw")->isChecked());
    QVERIFY(pLogin->findChild<QLabel *>("lbRegSuccess")->isVisible());

    // The new account can sign in with what the window holds.
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    QTest::mouseClick(pLogin->findChild<QPushButton *>("btnLogin"), Qt::LeftButton);
    QCOMPARE(TakeMessage(), QString());
    const QJsonArray jaLogins = m_server.Requests(QStringLiteral("login"));
    QCOMPARE(jaLogins.size(), 1);
    QCOMPARE(jaLogins.at(0)
                 .toObject()
                 .value(QStringLiteral("data"))
                 .toObject()
                 .value(QStringLiteral("password"))
                 .toString(),
             sDigest);
}

// A server that takes the registration and never answers: the program waits
// behind the wait prompt, handling its events, until the request gives up.
void tst_UserReg::silentServerLeavesProgramResponsive()
{
    const long nSilenceMs = 3000;
    auto pSilent = std::make_unique<SilentServer>(QStringLiteral("127.0.2.41"), nSilenceMs);
    QVERIFY(pSilent->IsListening());

    UserReg *pWindow = m_window.Open();
    Fill(pWindow, {QStringLiteral("erin"), QStringLiteral("Erin"), QStringLiteral("password1"),
                   QStringLiteral("password1"), QString(), QStringLiteral("e@example.org")});
    WaitWatch watch;
    QTest::mouseClick(pWindow->findChild<QPushButton *>("btnSubmit"), Qt::LeftButton);
    watch.Stop();
    pSilent.reset();

    QVERIFY2(watch.Turns() >= 3, qPrintable(QString::number(watch.Turns())));
    QVERIFY2(watch.LongestGapMs() < nSilenceMs / 2,
             qPrintable(QString::number(watch.LongestGapMs())));
    QCOMPARE(TakeMessage(), QStringLiteral("网络可能不通,请捡查网络是否正常。"));
    QVERIFY(m_window.Shown());
}

QTEST_MAIN(tst_UserReg)
#include "tst_UserReg.moc"
