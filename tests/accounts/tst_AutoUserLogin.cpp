// The silent login from "./User.bin" against the stand-in server on 127.0.2.50.

#include "AccountServer.h"
#include "accounts/AutoUserLogin.h"
#include "accounts/LoginReply.h"
#include "accounts/PasswordDigest.h"
#include "accounts/StoredCredentials.h"
#include "base/ThreadHelpers.h"
#include "net/ServerProtocol.h"

#include <QtTest>

// Stands in for the main window: only its ShowLogin signal is reached, by name.
class LoginAsker : public QObject
{
    Q_OBJECT
signals:
    void ShowLogin();
};

class tst_AutoUserLogin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void asksForLogin_data();
    void asksForLogin();
    void signsInSilentlyOnItsOwnThread();

private:
    AccountServer m_server{QStringLiteral("127.0.2.50")};
    QTemporaryDir m_dir;
};

void tst_AutoUserLogin::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir::setCurrent(m_dir.path()));
    QVERIFY2(m_server.StartForProgram(), qPrintable(m_server.Output()));
}

void tst_AutoUserLogin::init()
{
    QFile::remove(UserFilePath());
    QVERIFY(m_server.Reset());
}

void tst_AutoUserLogin::asksForLogin_data()
{
    QTest::addColumn<QByteArray>("baFile"); // empty: no file
    QTest::addColumn<QJsonObject>("joFault");
    QTest::addColumn<int>("nRequests");
    const QString sRight = PasswordDigest(QStringLiteral("secret123"));
    const auto file = [](const QString &sUser, const QString &sPassword, bool bAuto) {
        QJsonObject joUser{
            {"username", sUser}, {"password", sPassword}, {"auto", bAuto}, {"remember", true}};
        return CompressBody(QJsonDocument(joUser).toJson());
    };
    QTest::newRow("no file") << QByteArray() << QJsonObject() << 0;
    QTest::newRow("not compressed") << QByteArray("{\"auto\":true}") << QJsonObject() << 0;
    QTest::newRow("not JSON") << CompressBody("auto=true") << QJsonObject() << 0;
    QTest::newRow("auto off") << file("alice", sRight, false) << QJsonObject() << 0;
    QTest::newRow("auto on, empty password") << file("alice", "", true) << QJsonObject() << 0;
    QTest::newRow("auto missing") << CompressBody("{\"username\":\"alice\",\"password\":\"x\"}")
                                  << QJsonObject() << 0;
    QTest::newRow("wrong password")
        << file("alice", PasswordDigest("nope"), true) << QJsonObject() << 1;
    QTest::newRow("status 500") << file("alice", sRight, true) << QJsonObject{{"status", 500}} << 1;
    QTest::newRow("not JSON reply")
        << file("alice", sRight, true) << QJsonObject{{"notjson", true}} << 1;
    QTest::newRow("service failure")
        << file("alice", sRight, true) << QJsonObject{{"code", "10003"}} << 1;
}

void tst_AutoUserLogin::asksForLogin()
{
    QFETCH(QByteArray, baFile);
    QFETCH(QJsonObject, joFault);
    QFETCH(int, nRequests);
    if (!baFile.isEmpty()) {
        QFile file(UserFilePath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(baFile);
    }
    QVERIFY(m_server.SetFault(joFault));
    LoginAsker asker;
    QSignalSpy spyShowLogin(&asker, &LoginAsker::ShowLogin);
    AutoUserLogin(&asker);
    // Queued, so it arrives through the event loop.
    QCOMPARE(spyShowLogin.count(), 0);
    QTRY_COMPARE(spyShowLogin.count(), 1);
    QCOMPARE(m_server.Requests(QStringLiteral("login")).size(), nRequests);
    QVERIFY(!HasLoginReply());
}

void tst_AutoUserLogin::signsInSilentlyOnItsOwnThread()
{
    QVERIFY(WriteStoredCredentials(
        {QStringLiteral("alice"), PasswordDigest(QStringLiteral("secret123")), true, false}));
    LoginAsker asker;
    QSignalSpy spyShowLogin(&asker, &LoginAsker::ShowLogin);
    bool bDone = false;
    QVERIFY(
        RunOnNewThread([&asker] { AutoUserLogin(&asker); }, &asker, [&bDone] { bDone = true; }));
    // Whatever the sign-in posted has been delivered by then.
    QTRY_VERIFY(bDone);
    QVERIFY(HasLoginReply());
    QCOMPARE(LoginReply().value(QStringLiteral("username")).toString(), QStringLiteral("alice"));
    QCOMPARE(LoginAccount(), QStringLiteral("alice")); // what the window shows
    QCOMPARE(m_server.Requests(QStringLiteral("login")).size(), 1);
    QCOMPARE(spyShowLogin.count(), 0);

    // Clearing the reply signs the user out again.
    SetLoginReply(QJsonObject());
    QVERIFY(!HasLoginReply());
    QVERIFY(LoginReply().isEmpty());
    QVERIFY(LoginAccount().isEmpty());
}

QTEST_MAIN(tst_AutoUserLogin)
#include "tst_AutoUserLogin.moc"
