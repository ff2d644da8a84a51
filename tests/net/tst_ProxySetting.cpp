// The proxy settings store, window and active proxy (no network).

#include "net/ProxyInfo.h"
#include "net/ProxySetting.h"
#include "net/ProxyStore.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

class tst_ProxySetting : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void freshUser();
    void savingTickedBox_data();
    void savingTickedBox();
    void untickingKeepsValuesButGoesDirect();
    void nonZeroUseProxyValue();
    void closeButtonChangesNothing();
    void runningTransferKeepsItsRecord();

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

void tst_ProxySetting::freshUser()
{
    LoadActiveProxy();
    QVERIFY(!ActiveProxy());
    ProxySetting *pWindow = OpenWindow();
    QCOMPARE(pWindow->objectName(), QStringLiteral("ProxySetting"));
    QCOMPARE(pWindow->windowTitle(), QStringLiteral("代理设置"));
    QVERIFY(pWindow->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(pWindow->property("CanMove").toBool());
    QVERIFY(!pWindow->findChild<QCheckBox *>("cbUseProxy")->isChecked());
    QCOMPARE(pWindow->findChild<QLineEdit *>("edtAddress")->text(), QString());
    QCOMPARE(pWindow->findChild<QLineEdit *>("edtPort")->text(), QStringLiteral("8080"));
    QCOMPARE(pWindow->findChild<QLineEdit *>("edtAccount")->text(), QString());
    QCOMPARE(pWindow->findChild<QLineEdit *>("edtPassword")->echoMode(), QLineEdit::Normal);
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

QTEST_MAIN(tst_ProxySetting)
#include "tst_ProxySetting.moc"
