// Catalogue rules: device type, firmware version text, which packages of a
// reply are listed and how, and the installed version of a package.

#include "update/PackageNames.h"
#include "update/UpdateCatalogue.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

namespace
{

QJsonObject Reply(const QJsonArray &jaList)
{
    return QJsonObject{{"code", "000000"}, {"root", "http://127.0.6.9/"}, {"list", jaList}};
}

QStringList Names(const QList<CatalogueEntry> &entries)
{
    QStringList slNames;
    for (const CatalogueEntry &entry : entries)
        slNames << entry.sName;
    return slNames;
}

} // namespace

class tst_UpdateCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void deviceType_data();
    void deviceType();
    void requestData();
    void listingRule();
    void devicePlacesAreNotOffered();
    void mandatoryAndOptionalRows();
    void mandatoryInEveryLanguage_data();
    void mandatoryInEveryLanguage();
    void firmwarePackagesAskTheDevice();
    void localVersionFromInstalledManifest();
};

void tst_UpdateCatalogue::deviceType_data()
{
    QTest::addColumn<QString>("sSN");
    QTest::addColumn<QString>("sType");
    QTest::newRow("D") << "D123456789012"
                       << "kx520";
    QTest::newRow("d") << "d123456789012"
                       << "kx520";
    QTest::newRow("T") << "T123"
                       << "kx410";
    QTest::newRow("t") << "t123"
                       << "kx410";
    QTest::newRow("X") << "X123"
                       << "kx520pro";
    QTest::newRow("empty") << ""
                           << "kx520pro";
}

void tst_UpdateCatalogue::deviceType()
{
    QFETCH(QString, sSN);
    QFETCH(QString, sType);
    QCOMPARE(DeviceType(sSN), sType);
}

void tst_UpdateCatalogue::requestData()
{
    const QJsonObject joData = CatalogueRequestData("DEV1", "d0001", true);
    QCOMPARE(joData, (QJsonObject{{"devid", "DEV1"},
                                  {"sn", "d0001"},
                                  {"pwd", ""},
                                  {"devtype", "kx520"},
                                  {"test", true}}));
}

void tst_UpdateCatalogue::listingRule()
{
    // Without a translator the names come from "lang_name".
    QCOMPARE(PackageNameKey(), QStringLiteral("lang_name"));
    const QJsonObject joReply =
        Reply(QJsonArray{QJsonObject{{"lang_name", "Same"}, {"rev", "1.0A"}, {"dir", "/Same"}},
                         QJsonObject{{"lang_name", "Newer"}, {"rev", "2.0"}, {"dir", "/Newer"}},
                         QJsonObject{{"rev", "9.9"}, {"dir", "/Nameless"}},
                         QJsonObject{{"lang_name", "NoRev"}, {"dir", "/NoRev"}},
                         QJsonObject{{"EN_name", "OtherLanguage"}, {"rev", "1"}, {"dir", "/Other"}},
                         QJsonValue("not an object")});
    const QHash<QString, QString> installed{{"/Same", "1.0a"}, {"/Newer", "1.0"}};
    const QList<CatalogueEntry> entries = ListedPackages(
        joReply, [] { return QString(); },
        [&](const QJsonObject &joPackage) {
            return installed.value(joPackage.value("dir").toString());
        });
    QCOMPARE(Names(entries), QStringList{"Newer"});
    QCOMPARE(entries.at(0).sLocalVersion, QStringLiteral("1.0"));
    QCOMPARE(entries.at(0).sServerVersion, QStringLiteral("2.0"));
    QCOMPARE(entries.at(0).sDir, QStringLiteral("/Newer"));

    QVERIFY(ListedPackages(QJsonObject{{"list", "nope"}}, {}, {}).isEmpty());
}

void tst_UpdateCatalogue::devicePlacesAreNotOffered()
{
    // A package there could never be installed.
    QJsonArray jaList;
    for (const char *pDir :
         {"Diag/VW", "SaveData", "savedata/DASH", "SaveData\\X", "sn.txt", "Diag/SaveData"}) {
        jaList.append(QJsonObject{{"lang_name", QString::fromLatin1(pDir)},
                                  {"rev", "2"},
                                  {"dir", QString::fromLatin1(pDir)}});
    }
    const QList<CatalogueEntry> entries = ListedPackages(
        Reply(jaList), [] { return QString(); }, [](const QJsonObject &) { return QString(); });
    QCOMPARE(Names(entries), (QStringList{"Diag/VW", "Diag/SaveData"}));
}

void tst_UpdateCatalogue::mandatoryAndOptionalRows()
{
    const QJsonObject joReply =
        Reply(QJsonArray{QJsonObject{{"lang_name", "Public"}, {"rev", "2"}, {"branch", "DASH"}},
                         QJsonObject{{"lang_name", "Engine"}, {"rev", "2"}, {"branch", "DASH"}},
                         QJsonObject{{"lang_name", "Keys"}, {"rev", "2"}}});
    const QList<CatalogueEntry> entries = ListedPackages(
        joReply, [] { return QString(); }, [](const QJsonObject &) { return QString(); });
    QCOMPARE(Names(entries), (QStringList{"Public", "Engine", "Keys"}));
    QVERIFY(entries.at(0).bMandatory);
    QCOMPARE(entries.at(0).sBranch, QString());
    QVERIFY(!entries.at(1).bMandatory);
    QCOMPARE(entries.at(1).sBranch, QStringLiteral("dash"));
    QVERIFY(!entries.at(2).bMandatory);
    QCOMPARE(entries.at(2).sBranch, QString());
    QVERIFY(IsMandatoryName("HOME"));
    QVERIFY(IsMandatoryName("main"));
    QVERIFY(IsMandatoryName(QStringLiteral("主程序")));
    QVERIFY(!IsMandatoryName("homely"));
}

void tst_UpdateCatalogue::mandatoryInEveryLanguage_data()
{
    QTest::addColumn<QString>("sTranslation"); // empty: none loaded
    QTest::addColumn<QString>("sName");
    QTest::addColumn<bool>("bMandatory");
    const QStringList slLanguages{"", ":/other/cn.qm", ":/other/en.qm", ":/other/tc.qm"};
    for (const QString &sLanguage : slLanguages) {
        const QByteArray baTag = sLanguage.isEmpty() ? "none" : sLanguage.mid(8, 2).toLatin1();
        QTest::newRow(baTag + ": 主程序") << sLanguage << QStringLiteral("主程序") << true;
        QTest::newRow(baTag + ": MAIN") << sLanguage << "MAIN" << true;
        QTest::newRow(baTag + ": Public") << sLanguage << "Public" << true;
        QTest::newRow(baTag + ": Engine") << sLanguage << "Engine" << false;
    }
    // The translation of "主程序" in its own language, letter case ignored.
    QTest::newRow("en: main program") << ":/other/en.qm"
                                      << "MAIN PROGRAM" << true;
    QTest::newRow("tc: 主程式") << ":/other/tc.qm" << QStringLiteral("主程式") << true;
    QTest::newRow("none: main program") << ""
                                        << "Main program" << false;
    QTest::newRow("cn: 主程式") << ":/other/cn.qm" << QStringLiteral("主程式") << false;
}

void tst_UpdateCatalogue::mandatoryInEveryLanguage()
{
    QFETCH(QString, sTranslation);
    QFETCH(QString, sName);
    QFETCH(bool, bMandatory);
    QTranslator translator;
    if (!sTranslation.isEmpty()) {
        QVERIFY(translator.load(sTranslation));
        QCoreApplication::installTranslator(&translator);
    }
    const QList<CatalogueEntry> entries = ListedPackages(
        Reply(QJsonArray{QJsonObject{
            {PackageNameKey(), sName}, {"rev", "2"}, {"dir", "Diag/X"}, {"branch", "DASH"}}}),
        [] { return QString(); }, [](const QJsonObject &) { return QString(); });
    const bool bNameMandatory = IsMandatoryName(sName);
    QCoreApplication::removeTranslator(&translator);
    QCOMPARE(bNameMandatory, bMandatory);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.at(0).bMandatory, bMandatory);
    QCOMPARE(entries.at(0).sBranch, bMandatory ? QString() : QStringLiteral("dash"));
}

void tst_UpdateCatalogue::firmwarePackagesAskTheDevice()
{
    const QJsonObject joReply =
        Reply(QJsonArray{QJsonObject{{"lang_name", "Home"}, {"rev", "V1.2"}, {"dir", "/Home"}},
                         QJsonObject{{"lang_name", "Public"}, {"rev", "3"}, {"dir", "/Public"}},
                         QJsonObject{{"lang_name", QStringLiteral("主程序")}, {"rev", "V1.3"}}});
    int nAsked = 0;
    QStringList slLocal;
    const QList<CatalogueEntry> entries = ListedPackages(
        joReply,
        [&] {
            ++nAsked;
            return QStringLiteral("V1.2");
        },
        [&](const QJsonObject &joPackage) {
            slLocal << joPackage.value("dir").toString();
            return QString();
        });
    QCOMPARE(nAsked, 2); // asked again for every firmware package
    QCOMPARE(slLocal, QStringList{"/Public"});
    QCOMPARE(Names(entries), (QStringList{"Public", QStringLiteral("主程序")}));
    QCOMPARE(entries.at(1).sLocalVersion, QStringLiteral("V1.2"));
}

void tst_UpdateCatalogue::localVersionFromInstalledManifest()
{
    QTemporaryDir disk;
    QVERIFY(QDir().mkpath(disk.path() + "/Diag/Engine"));
    QFile file(disk.path() + "/Diag/Engine/Update.json");
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\"rev\": \"1.0a\"}");
    file.close();
    QCOMPARE(LocalVersionOf(disk.path(), "", QJsonObject{{"dir", "/Diag/Engine"}}),
             QStringLiteral("1.0a"));
    QCOMPARE(LocalVersionOf(disk.path(), "", QJsonObject{{"dir", "/Diag/Missing"}}), QString());
    QCOMPARE(LocalVersionOf(disk.path(), "", QJsonObject{{"dir", "/../Engine"}}), QString());
    QCOMPARE(LocalVersionOf(QString(), "", QJsonObject{{"dir", "/Diag/Engine"}}), QString());
}

QTEST_GUILESS_MAIN(tst_UpdateCatalogue)
#include "tst_UpdateCatalogue.moc"
