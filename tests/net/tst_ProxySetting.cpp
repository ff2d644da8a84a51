// The proxy settings store, window and active proxy (no network).

#include "FormContract.h"
#include "net/ProxyInfo.h"
#include "net/ProxySetting.h"
#include "net/ProxyStore.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include <sys/stat.h>

class tst_ProxySetting : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void formContract_data();
    void formContract();
    void savingTickedBox_data();
    void savingTickedBox();
    void untickingKeepsValuesButGoesDirect();
    void nonZeroUseProxyValue();
    void closeButtonChangesNothing();
    void runningTransferKeepsItsRecord();
    void storeIsForTheUserAlone_data();
    void storeIsForTheUserAlone();

private:
    ProxySetting *OpenWindow();
    QSettings Store() const;

    QTemporaryDir m_dir;
    QPointer<ProxySetting> m_pWindow;
};

void tst_ProxySetting::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // The per-user store goes to a folder of the test's own.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.path());
}

void tst_ProxySetting::init()
{
    delete m_pWindow;
    Store().clear();
    SetActiveProxy(nullptr);
}

QSettings tst_ProxySetting::Store() const
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Norvale"),
                     QStringLiteral("proxy"));
}

ProxySetting *tst_ProxySetting::OpenWindow()
{
    m_pWindow = new ProxySetting;
    m_pWindow->setAttribute(Qt::WA_DeleteOnClose);
    m_pWindow->show();
    return m_pWindow;
}

// What a user who never set a proxy sees.
void tst_ProxySetting::formContract_data()
{
    using FormContract::Row;
    FormContract::AddColumn();
    FormContract::AddRows({
        Row("ProxySetting", "ProxySetting")
            .Text("代理设置")
            .Flags(Qt::FramelessWindowHint)
            .Properties({{"CanMove", true}}),
        Row("cbUseProxy", "QCheckBox").Properties({{"checked", false}}),
        Row("edtAddress", "QLineEdit").Text(""),
        Row("edtPort", "QLineEdit").Text("8080"),
        Row("edtAccount", "QLineEdit").Text(""),
        Row("edtPassword", "QLineEdit")
            .Properties({{"echoMode", QVariant::fromValue(QLineEdit::Normal)}}),
    });
}

void tst_ProxySetting::formContract()
{
    QFETCH(FormContract::Row, row);
    LoadActiveProxy();
    QVERIFY(!ActiveProxy());
    FormContract::Verify(OpenWindow(), row);
}

void tst_ProxySetting::savingTickedBox_data()
{
    QTest::addColumn<QString>("sPort");
    QTest::addColumn<int>("nPort");
    QTest::newRow("number") << " 3128 " << 3128;
    QTest::newRow("not a number") << "abc" << 0;
    QTest::newRow("empty") << "" << 0;
}

void tst_ProxySetting::savingTickedBox()
{
    QFETCH(QString, sPort);
    QFETCH(int, nPort);
    ProxySetting *pWindow = OpenWindow();
    pWindow->findChild<QCheckBox *>("cbUseProxy")->setChecked(true);
    pWindow->findChild<QLineEdit *>("edtAddress")->setText(QStringLiteral(" proxy.local "));
    pWindow->findChild<QLineEdit *>("edtPort")->setText(sPort);
    pWindow->findChild<QLineEdit *>("edtAccount")->setText(QStringLiteral(" bob"));
    pWindow->findChild<QLineEdit *>("edtPassword")->setText(QStringLiteral("pw "));
    QTest::mouseClick(pWindow->findChild<QPushButton *>("btnOK"), Qt::LeftButton);
    QVERIFY(!pWindow->isVisible());

    QSettings store = Store();
    QCOMPARE(store.value("useproxy").toInt(), 1);
    QCOMPARE(store.value("address").toString(), QStringLiteral("proxy.local"));
    QCOMPARE(store.value("port").toInt(), nPort);
    QCOMPARE(store.value("account").toString(), QStringLiteral("bob"));
    QCOMPARE(store.value("password").toString(), QStringLiteral("pw"));
    const auto pProxy = ActiveProxy();
    QVERIFY(pProxy);
    QCOMPARE(pProxy->sAddress, QStringLiteral("proxy.local"));
    QCOMPARE(pProxy->nPort, nPort);
    QCOMPARE(pProxy->sAccount, QStringLiteral("bob"));
    QCOMPARE(pProxy->sPassword, QStringLiteral("pw"));
}

void tst_ProxySetting::untickingKeepsValuesButGoesDirect()
{
    ProxyStore::Write(true, QStringLiteral("proxy.local"), QStringLiteral("3128"),
                      QStringLiteral("bob"), QStringLiteral("pw"));
    LoadActiveProxy();
    QVERIFY(ActiveProxy());
    ProxySetting *pWindow = OpenWindow();
    QVERIFY(pWindow->findChild<QCheckBox *>("cbUseProxy")->isChecked());
    pWindow->findChild<QCheckBox *>("cbUseProxy")->setChecked(false);
    pWindow->findChild<QLineEdit *>("edtAddress")->setText(QStringLiteral("ignored"));
    QTest::mouseClick(pWindow->findChild<QPushButton *>("btnOK"), Qt::LeftButton);
    QVERIFY(!ActiveProxy());
    QSettings store = Store();
    QCOMPARE(store.value("useproxy").toInt(), 0);
    QCOMPARE(store.value("address").toString(), QStringLiteral("proxy.local"));
    QCOMPARE(store.value("port").toInt(), 3128);

    ProxySetting *pAgain = OpenWindow();
    QVERIFY(!pAgain->findChild<QCheckBox *>("cbUseProxy")->isChecked());
    QCOMPARE(pAgain->findChild<QLineEdit *>("edtAddress")->text(), QStringLiteral("proxy.local"));
    QCOMPARE(pAgain->findChild<QLineEdit *>("edtPort")->text(), QStringLiteral("3128"));
    QCOMPARE(pAgain->findChild<QLineEdit *>("edtAccount")->text(), QStringLiteral("bob"));
    QCOMPARE(pAgain->findChild<QLineEdit *>("edtPassword")->text(), QStringLiteral("pw"));
}

void tst_ProxySetting::nonZeroUseProxyValue()
{
    {
        QSettings store = Store();
        store.setValue("useproxy", 2);
        store.setValue("address", "10.0.0.1");
    }
    LoadActiveProxy();
    const auto pProxy = ActiveProxy();
    QVERIFY(pProxy);
    QCOMPARE(pProxy->sAddress, QStringLiteral("10.0.0.1"));
    QCOMPARE(pProxy->nPort, 8080);
    ProxySetting *pWindow = OpenWindow();
    QVERIFY(!pWindow->findChild<QCheckBox *>("cbUseProxy")->isChecked());
}

void tst_ProxySetting::closeButtonChangesNothing()
{
    ProxySetting *pWindow = OpenWindow();
    pWindow->findChild<QCheckBox *>("cbUseProxy")->setChecked(true);
    pWindow->findChild<QLineEdit *>("edtAddress")->setText(QStringLiteral("proxy.local"));
    QTest::mouseClick(pWindow->findChild<QPushButton *>("btnClose"), Qt::LeftButton);
    QVERIFY(!pWindow->isVisible());
    QVERIFY(!ActiveProxy());
    QVERIFY(!Store().contains("useproxy"));
    QVERIFY(!Store().contains("address"));
}

void tst_ProxySetting::runningTransferKeepsItsRecord()
{
    ProxyStore::Write(true, QStringLiteral("proxy.local"), QStringLiteral("3128"), QString(),
                      QString());
    LoadActiveProxy();
    const std::shared_ptr<const ProxyInfo> pTaken = ActiveProxy();
    ProxySetting *pWindow = OpenWindow();
    pWindow->findChild<QCheckBox *>("cbUseProxy")->setChecked(false);
    QTest::mouseClick(pWindow->findChild<QPushButton *>("btnOK"), Qt::LeftButton);
    QVERIFY(!ActiveProxy());
    // The transfer's own copy is still whole.
    QCOMPARE(pTaken->sAddress, QStringLiteral("proxy.local"));
    QCOMPARE(pTaken->nPort, 3128);
}

void tst_ProxySetting::storeIsForTheUserAlone_data()
{
    QTest::addColumn<QString>("sBefore");
    QTest::addColumn<bool>("bWritten");
    QTest::newRow("no store yet") << "" << true;
    QTest::newRow("no folder yet") << "no folder" << true;
    QTest::newRow("store of an earlier version, readable by all") << "0644" << true;
    // A link would carry the password wherever it points.
    QTest::newRow("link") << "link" << false;
}

void tst_ProxySetting::storeIsForTheUserAlone()
{
    QFETCH(QString, sBefore);
    QFETCH(bool, bWritten);
    const QString sFile = Store().fileName();
    const QString sTarget = m_dir.filePath("elsewhere.conf");
    QFile::remove(sFile);
    QFile::remove(sTarget);
    const mode_t nUmask = ::umask(0); // a file made without a mode of its own is open to all
    if (sBefore == "no folder") {
        QVERIFY(QDir(QFileInfo(sFile).absolutePath()).removeRecursively());
    } else if (sBefore == "0644") {
        QFile file(sFile);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[General]\nuseproxy=0\n");
        file.close();
        QCOMPARE(::chmod(QFile::encodeName(sFile).constData(), 0644), 0);
    } else if (sBefore == "link") {
        QFile target(sTarget);
        QVERIFY(target.open(QIODevice::WriteOnly));
        target.close();
        QVERIFY(QFile::link(sTarget, sFile));
    }
    ProxyStore::Write(true, QStringLiteral("proxy.local"), QStringLiteral("3128"),
                      QStringLiteral("bob"), QStringLiteral("secret"));
    ::umask(nUmask);

    struct stat st = {};
    QCOMPARE(::lstat(QFile::encodeName(sFile).constData(), &st), 0);
    if (!bWritten) {
        QVERIFY(S_ISLNK(st.st_mode));
        QCOMPARE(QFileInfo(sTarget).size(), qint64(0));
        QFile::remove(sFile);
        return;
    }
    QCOMPARE(st.st_mode & 07777, mode_t(0600));
    QCOMPARE(ProxyStore::Read().proxy.sPassword, QStringLiteral("secret"));
}

QTEST_MAIN(tst_ProxySetting)
#include "tst_ProxySetting.moc"
