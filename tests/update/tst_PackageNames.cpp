// The name rules side by side: each test of "the main program" and of the
// firmware image, with the cases where they differ.

#include "update/PackageNames.h"

#include <QtTest>
#include <functional>

class tst_PackageNames : public QObject
{
    Q_OBJECT

private slots:
    void rules_data()
    {
        QTest::addColumn<QString>("sRule");
        QTest::addColumn<QString>("sText");
        QTest::addColumn<bool>("bHolds");
        const struct {
            const char *pRule;
            const char *pText;
            bool bHolds;
        } cases[] = {
            {"mandatory", "home", true},
            {"mandatory", "PUBLIC", true},
            {"mandatory", "Main", true},
            {"mandatory", "主程序", true},
            {"mandatory", "homely", false},
            {"firmware package", "HOME", true},
            {"firmware package", "main", true},
            {"firmware package", "主程序", true},
            {"firmware package", "public", false}, // mandatory, but a package of its own
            {"home dir", "Home", true},
            {"home dir", "Diag/Home", false},
            {"home dir", "/home", false},
            {"main program row", "main|Diag/X", true},
            {"main program row", "HOME|Diag/X", true},
            {"main program row", "Engine|home", true},
            {"main program row", "Engine|Diag/Home", false},
            {"main program row", "public|Public", false},
            {"uninstall-protected dir", "E:/Diag/Home", true}, // any folder ending so
            {"uninstall-protected dir", "/disk/HOME", true},
            {"uninstall-protected dir", "/disk/Homepage", false},
            {"uninstall-protected name", "MAIN", true},
            {"uninstall-protected name", "home", false},
            {"uninstall-protected name", "-main", false},
            {"always fetched", "E:/Home/MAIN.bin", true},
            {"always fetched", "E:/Diag/xmain.bin", true},
            {"always fetched", "E:/Home/main.bin.old", false},
            {"firmware image", "E:/Home/MAIN.bin", true},
            {"firmware image", "home/main.BIN", true},
            {"firmware image", "E:/Diag/xmain.bin", false},
        };
        for (const auto &c : cases) {
            QTest::newRow(qPrintable(
                QStringLiteral("%1: %2").arg(QLatin1String(c.pRule), QString::fromUtf8(c.pText))))
                << QString::fromLatin1(c.pRule) << QString::fromUtf8(c.pText) << c.bHolds;
        }
    }

    void rules()
    {
        QFETCH(QString, sRule);
        QFETCH(QString, sText);
        QFETCH(bool, bHolds);
        const QMap<QString, std::function<bool(const QString &)>> rules{
            {"mandatory", IsMandatoryName},
            {"firmware package", IsFirmwarePackageName},
            {"home dir", IsHomeDir},
            {"main program row",
             [](const QString &s) {
                 return IsMainProgramRow(s.section(QLatin1Char('|'), 0, 0),
                                         s.section(QLatin1Char('|'), 1));
             }},
            {"uninstall-protected dir", IsUninstallProtectedDir},
            {"uninstall-protected name", IsUninstallProtectedName},
            {"always fetched", IsAlwaysFetched},
            {"firmware image", IsFirmwareImage},
        };
        QVERIFY(rules.contains(sRule));
        QCOMPARE(rules.value(sRule)(sText), bHolds);
    }

    void firmwareImageOnTheDisk()
    {
        QCOMPARE(FirmwareImagePath("E:"), QStringLiteral("E:/Home/MAIN.bin"));
        QVERIFY(IsFirmwareImage(FirmwareImagePath("/media/kx/KX520")));
    }
};

QTEST_GUILESS_MAIN(tst_PackageNames)
#include "tst_PackageNames.moc"
