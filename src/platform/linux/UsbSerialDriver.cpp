#include "platform/UsbSerialDriver.h"
#include "platform/linux/UdevRules.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

namespace
{
const char *const kVendor = "1fc9";
const char *const kRuleFile = "60-updateassist.rules";
} // namespace

std::vector<std::string> UdevRuleFolders()
{
    // systemd-udevd's list: an installation under /usr/local puts the rule in
    // the third, and is read from there.
    return {"/etc/udev/rules.d", "/run/udev/rules.d", "/usr/local/lib/udev/rules.d",
            "/usr/lib/udev/rules.d", "/lib/udev/rules.d"};
}

bool UdevRuleCoversVendor(const std::vector<std::string> &folders, const std::string &sVendor)
{
    const QRegularExpression match(
        QStringLiteral("(idVendor|ID_VENDOR_ID)\\}\\s*==\\s*\"%1\"")
            .arg(QRegularExpression::escape(QString::fromStdString(sVendor))),
        QRegularExpression::CaseInsensitiveOption);
    for (const std::string &sFolder : folders) {
        const QDir dir(QString::fromStdString(sFolder));
        const QStringList slRules = dir.entryList({QStringLiteral("*.rules")}, QDir::Files);
        for (const QString &sName : slRules) {
            QFile file(dir.filePath(sName));
            if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
                continue;
            QTextStream stream(&file);
            while (!stream.atEnd()) {
                const QString sLine = stream.readLine().trimmed();
                if (!sLine.startsWith(QLatin1Char('#')) && match.match(sLine).hasMatch())
                    return true;
            }
        }
    }
    return false;
}

std::string UdevInstallCommand(const std::string &sAppDir)
{
    QString sRule = QDir(QString::fromStdString(sAppDir)).filePath("driver/") + kRuleFile;
    // Single-quoted for the shell, whatever the folder's name holds.
    sRule.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QStringLiteral("sudo install -m 644 '%1' /etc/udev/rules.d/ && sudo udevadm control "
                          "--reload && sudo udevadm trigger --subsystem-match=tty")
        .arg(sRule)
        .toStdString();
}

std::string UdevInstallHint(const std::string &sAppDir)
{
    return QStringLiteral("udev: no rule lets this user open the device's serial port (USB "
                          "vendor %1); install it with: %2")
        .arg(QLatin1String(kVendor), QString::fromStdString(UdevInstallCommand(sAppDir)))
        .toStdString();
}

void SetUpUsbSerialDriver(const std::string &sAppDir, const DriverLogFn &log)
{
    if (UdevRuleCoversVendor(UdevRuleFolders(), kVendor))
        return;
    if (log)
        log(UdevInstallHint(sAppDir));
}
