// Command 1043 for one row: its data, which packages of the reply belong to
// the row, and which are of the row's folder itself (for a repair).

#include "update/DownloadRequest.h"

#include <QJsonArray>
#include <QtTest>

class tst_DownloadRequest : public QObject
{
    Q_OBJECT

private slots:
    void lastPathComponent_data();
    void lastPathComponent();
    void requestData();
    void samePackageFolder_data();
    void samePackageFolder();
    void matchingPackages();
    void rowPackages_data();
    void rowPackages();
    void unusableReplies();
};

void tst_DownloadRequest::lastPathComponent_data()
{
    QTest::addColumn<QString>("sPath");
    QTest::addColumn<QString>("sLast");
    QTest::newRow("plain") << "/Diag/Engine"
                           << "Engine";
    QTest::newRow("backslashes, trailing") << "Diag\\Keys\\\\"
                                           << "Keys";
    QTest::newRow("single") << "Home"
                            << "Home";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("only slashes") << "///"
                                  << "";
}

void tst_DownloadRequest::lastPathComponent()
{
    QFETCH(QString, sPath);
    QFETCH(QString, sLast);
    QCOMPARE(LastPathComponent(sPath), sLast);
}

void tst_DownloadRequest::requestData()
{
    DownloadRequest request;
    request.sDir = "/Diag/Engine/";
    request.sBranch = "dash";
    request.sDevID = "ID7";
    request.sSN = "T0001";
    request.bTest = false;
    QCOMPARE(DownloadRequestData(request), (QJsonObject{{"devid", "ID7"},
                                                        {"sn", "T0001"},
                                                        {"pwd", ""},
                                                        {"lang", ""},
                                                        {"type", QJsonArray{"Engine"}},
                                                        {"branch", "dash"},
                                                        {"devtype", "kx410"},
                                                        {"test", false}}));
}

void tst_DownloadRequest::samePackageFolder_data()
{
    QTest::addColumn<QString>("sRowDir");
    QTest::addColumn<QString>("sReplyDir");
    QTest::addColumn<bool>("bSame");
    QTest::newRow("equal") << "Diag/Dash"
                           << "Diag/Dash" << true;
    QTest::newRow("letter case") << "/Diag/Dash"
                                 << "diag/DASH" << true;
    QTest::newRow("separators") << "Diag/Dash"
                                << "\\Diag//Dash\\" << true;
    QTest::newRow("other parent") << "Diag/Dash"
                                  << "Other/Dash" << false;
    QTest::newRow("records") << "Diag/Dash"
                             << "SaveData/DASH" << false;
    QTest::newRow("last part only") << "Diag/Dash"
                                    << "Dash" << false;
    QTest::newRow("below") << "Diag/Dash"
                           << "Diag/Dash/Sub" << false;
    QTest::newRow("above") << "Diag/Dash"
                           << "Diag" << false;
    QTest::newRow("empty") << ""
                           << "/" << false;
}

void tst_DownloadRequest::samePackageFolder()
{
    QFETCH(QString, sRowDir);
    QFETCH(QString, sReplyDir);
    QFETCH(bool, bSame);
    QCOMPARE(IsSamePackageFolder(sRowDir, sReplyDir), bSame);
    QCOMPARE(IsSamePackageFolder(sReplyDir, sRowDir), bSame);
}

void tst_DownloadRequest::matchingPackages()
{
    DownloadRequest request;
    request.sDir = "/Diag/Engine";
    const QJsonObject joReply{
        {"root", "http://127.0.6.9/files/"},
        {"list", QJsonArray{QJsonObject{{"dir", "/Diag/engine"}, {"rev", "1"}},
                            QJsonObject{{"dir", "/Diag/Keys"}, {"rev", "1"}},
                            QJsonObject{{"dir", "Other\\Engine\\"}, {"rev", "2"}},
                            QJsonObject{{"dir", "SaveData/ENGINE"}, {"rev", "3"}},
                            QJsonObject{{"dir", "Diag\\Engine\\"}, {"rev", "4"}}}}};
    bool bUsable = false;
    const QList<QJsonObject> packages = MatchingPackages(joReply, true, request, &bUsable);
    QVERIFY(bUsable);
    QCOMPARE(packages.size(), 2);
    QCOMPARE(packages.at(0).value("root").toString(), QStringLiteral("http://127.0.6.9/files/"));
    QCOMPARE(packages.at(0).value("lang").toString(), QString());
    QCOMPARE(packages.at(0).value("rev").toString(), QStringLiteral("1"));
    QCOMPARE(packages.at(1).value("rev").toString(), QStringLiteral("4"));

    request.sDir = "/Diag/Nothing";
    QVERIFY(MatchingPackages(joReply, true, request, &bUsable).isEmpty());
    QVERIFY(bUsable); // usable, just nothing for this row
}

void tst_DownloadRequest::rowPackages_data()
{
    // The row's packages are those whose folder has the last name asked for.
    QTest::addColumn<QString>("sRowDir");
    QTest::addColumn<QStringList>("slRevs"); // of the packages that belong to the row
    QTest::newRow("same folder, other spellings")
        << "/Diag/Engine" << QStringList{"1", "2", "3", "4"};
    QTest::newRow("the name alone") << "Engine" << QStringList{"1", "2", "3", "4"};
    QTest::newRow("another name") << "Diag/Keys" << QStringList{"5"};
    QTest::newRow("a name nobody has") << "Diag/Brake" << QStringList();
    QTest::newRow("the disk itself") << "" << QStringList{"6"};
}

void tst_DownloadRequest::rowPackages()
{
    QFETCH(QString, sRowDir);
    QFETCH(QStringList, slRevs);
    DownloadRequest request;
    request.sDir = sRowDir;
    request.sLang = "EN";
    const QJsonObject joReply{
        {"root", "http://127.0.6.9/files/"},
        {"list", QJsonArray{QJsonObject{{"dir", "/Diag/engine"}, {"rev", "1"}},
                            QJsonObject{{"dir", "Other\\Engine\\"}, {"rev", "2"}},
                            QJsonObject{{"dir", "SaveData/ENGINE"}, {"rev", "3"}},
                            QJsonObject{{"dir", "ENGINE"}, {"rev", "4"}},
                            QJsonObject{{"dir", "Diag/Keys"}, {"rev", "5"}},
                            QJsonObject{{"dir", "/"}, {"rev", "6"}}}}};
    bool bUsable = false;
    const QList<QJsonObject> packages = RowPackages(joReply, true, request, &bUsable);
    QVERIFY(bUsable);
    QStringList slFound;
    for (const QJsonObject &joPackage : packages) {
        slFound << joPackage.value("rev").toString();
        QCOMPARE(joPackage.value("root").toString(), QStringLiteral("http://127.0.6.9/files/"));
        QCOMPARE(joPackage.value("lang").toString(), QStringLiteral("EN"));
    }
    QCOMPARE(slFound, slRevs);
}

void tst_DownloadRequest::unusableReplies()
{
    DownloadRequest request;
    request.sDir = "/Home";
    bool bUsable = true;
    QVERIFY(MatchingPackages(QJsonObject{}, false, request, &bUsable).isEmpty());
    QVERIFY(!bUsable);
    bUsable = true;
    QVERIFY(MatchingPackages(QJsonObject{{"root", "x"}, {"list", QJsonArray{}}}, true, request,
                             &bUsable)
                .isEmpty());
    QVERIFY(!bUsable);
    bUsable = true;
    QVERIFY(RowPackages(QJsonObject{{"root", "x"}, {"list", "not a list"}}, true, request, &bUsable)
                .isEmpty());
    QVERIFY(!bUsable);
}

QTEST_GUILESS_MAIN(tst_DownloadRequest)
#include "tst_DownloadRequest.moc"
