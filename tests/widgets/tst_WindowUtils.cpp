#include "widgets/WindowUtils.h"

#include <QWidget>
#include <QtTest>

class tst_WindowUtils : public QObject
{
    Q_OBJECT
private slots:
    void findsWindowByObjectName_data();
    void findsWindowByObjectName();
    void goneAfterDelete();
};

void tst_WindowUtils::findsWindowByObjectName_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<bool>("found");
    QTest::newRow("exact") << "UserManage" << true;
    QTest::newRow("other case") << "usermanage" << true;
    QTest::newRow("prefix only") << "UserManag" << false;
    QTest::newRow("with suffix already") << "UserManageWindow" << false;
    QTest::newRow("other name") << "UserReg" << false;
}

void tst_WindowUtils::findsWindowByObjectName()
{
    QFETCH(QString, query);
    QFETCH(bool, found);
    QWidget window;
    window.setObjectName("UserManage");
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(IsWindowOpen(query), found);
}

void tst_WindowUtils::goneAfterDelete()
{
    auto *pWindow = new QWidget;
    pWindow->setObjectName("ProxySetting");
    pWindow->show();
    QVERIFY(IsWindowOpen("ProxySetting"));
    delete pWindow;
    QVERIFY(!IsWindowOpen("ProxySetting"));
}

QTEST_MAIN(tst_WindowUtils)
#include "tst_WindowUtils.moc"
