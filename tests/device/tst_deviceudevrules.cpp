#include "platform/UsbSerialDriver.h"
#include "platform/linux/UdevRules.h"

#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

class TestDeviceUdevRules : public QObject
{
    Q_OBJECT
private slots:
    void coversVendor_data();
    void coversVendor();
    void foldersAreThoseUdevReads_data();
    void foldersAreThoseUdevReads();
    void shippedRuleCoversDevice();
    void shippedRuleLiesBesideProgram();
    void hintOnlyWithoutRule();
};

void TestDeviceUdevRules::coversVendor_data()
{
    QTest::addColumn<QString>("sFile");
    QTest::addColumn<QString>("sText");
    QTest::addColumn<bool>("bCovers");
    QTest::newRow("tty rule") << "70-kx.rules"
                              << "SUBSYSTEM==\"tty\", ATTRS{idVendor}==\"1fc9\", TAG+=\"uaccess\""
                              << true;
    QTest::newRow("upper case") << "70-kx.rules"
                                << "ATTR{idVendor}==\"1FC9\", MODE=\"0666\"" << true;
    QTest::newRow("by property") << "70-kx.rules"
                                 << "ENV{ID_VENDOR_ID}==\"1fc9\", TAG+=\"uaccess\"" << true;
    QTest::newRow("commented out") << "70-kx.rules"
                                   << "# ATTRS{idVendor}==\"1fc9\", MODE=\"0666\"" << false;
    QTest::newRow("other vendor") << "70-kx.rules"
                                  << "ATTRS{idVendor}==\"1fc90\"" << false;
    QTest::newRow("not a rules file") << "70-kx.rules.bak"
                                      << "ATTRS{idVendor}==\"1fc9\"" << false;
}

void TestDeviceUdevRules::coversVendor()
{
    QFETCH(QString, sFile);
    QFETCH(QString, sText);
    QFETCH(bool, bCovers);
    QTemporaryDir empty;
    QTemporaryDir dir;
    QFile file(dir.filePath(sFile));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(sText.toUtf8() + "\n");
    file.close();
    const std::vector<std::string> folders = {empty.path().toStdString(), "/nonexistent",
                                              dir.path().toStdString()};
    QCOMPARE(UdevRuleCoversVendor(folders, "1fc9"), bCovers);
}

void TestDeviceUdevRules::foldersAreThoseUdevReads_data()
{
    QTest::addColumn<QString>("sFolder");
    // systemd-udevd's rule folders; a rule installed under the prefix /usr or
    // /usr/local lands in <prefix>/lib/udev/rules.d and is read from there.
    QTest::newRow("administrator") << "/etc/udev/rules.d";
    QTest::newRow("run time") << "/run/udev/rules.d";
    QTest::newRow("prefix /usr/local") << "/usr/local/lib/udev/rules.d";
    QTest::newRow("prefix /usr") << "/usr/lib/udev/rules.d";
    QTest::newRow("split /usr") << "/lib/udev/rules.d";
}

void TestDeviceUdevRules::foldersAreThoseUdevReads()
{
    QFETCH(QString, sFolder);
    const std::vector<std::string> folders = UdevRuleFolders();
    QVERIFY(std::find(folders.cbegin(), folders.cend(), sFolder.toStdString()) != folders.cend());
}

void TestDeviceUdevRules::shippedRuleCoversDevice()
{
    const QString sDriver = QStringLiteral(UA_SOURCE_DIR) + "/driver";
    QVERIFY(UdevRuleCoversVendor({sDriver.toStdString()}, "1fc9"));
    QFile rule(sDriver + "/60-updateassist.rules");
    QVERIFY(rule.open(QIODevice::ReadOnly));
    const QString sText = QString::fromUtf8(rule.readAll());
    QVERIFY(sText.contains("TAG+=\"uaccess\""));
    QVERIFY(sText.contains("ENV{ID_MM_DEVICE_IGNORE}=\"1\""));
    QVERIFY(sText.contains("009[ef]"));
}

void TestDeviceUdevRules::shippedRuleLiesBesideProgram()
{
    QVERIFY(QFile::exists(QStringLiteral(UA_BIN_DIR) + "/driver/60-updateassist.rules"));
}

void TestDeviceUdevRules::hintOnlyWithoutRule()
{
    QStringList slLines;
    SetUpUsbSerialDriver("/opt/ua", [&slLines](const std::string &sLine) {
        slLines << QString::fromStdString(sLine);
    });
    if (UdevRuleCoversVendor(UdevRuleFolders(), "1fc9")) {
        QVERIFY(slLines.isEmpty());
        return;
    }
    QCOMPARE(slLines.size(), 1);
    QVERIFY(slLines.first().contains("/opt/ua/driver/60-updateassist.rules"));
    QVERIFY(slLines.first().contains("/etc/udev/rules.d"));
}

QTEST_GUILESS_MAIN(TestDeviceUdevRules)
#include "tst_deviceudevrules.moc"
