#include "platform/SerialPortAccess.h"
#include "platform/linux/UdevRules.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// The group whose members may read and write the node; empty when there is none to join
// (root's group, or the group lacks either right).
QString AccessGroup(const std::string &sPath)
{
    struct stat info = {};
    if (::stat(sPath.c_str(), &info) != 0 || info.st_gid == 0)
        return QString();
    if ((info.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
        return QString();
    const group *pGroup = ::getgrgid(info.st_gid);
    return pGroup ? QString::fromLocal8Bit(pGroup->gr_name) : QString();
}

} // namespace

bool SerialPortAccessDenied(const std::string &sPath)
{
    if (sPath.empty())
        return false;
    // Judged by the effective ids, as open() will be; ACLs (udev's uaccess) count.
    if (::faccessat(AT_FDCWD, sPath.c_str(), R_OK | W_OK, AT_EACCESS) == 0)
        return false;
    return errno == EACCES || errno == EPERM;
}

std::string SerialPortAccessHint(const std::string &sPath, const std::string &sAppDir)
{
    QStringList slLines;
    slLines << QCoreApplication::translate("SerialPortAccess",
                                           "设备的串口 %1 已连接，但当前用户没有打开它的权限。")
                   .arg(QString::fromStdString(sPath));
    if (UdevRuleCoversVendor(UdevRuleFolders(), "1fc9")) {
        slLines << QCoreApplication::translate("SerialPortAccess",
                                               "udev 规则已经安装：请重新插入设备。");
    } else {
        slLines << QCoreApplication::translate("SerialPortAccess",
                                               "请安装本程序附带的 udev 规则，然后重新插入设备：")
                << QString::fromStdString(UdevInstallCommand(sAppDir));
    }
    const QString sGroup = AccessGroup(sPath);
    if (!sGroup.isEmpty()) {
        slLines << QCoreApplication::translate("SerialPortAccess",
                                               "或者把当前用户加入 %1 组，然后注销并重新登录：")
                       .arg(sGroup)
                << QStringLiteral("sudo usermod -aG %1 \"$USER\"").arg(sGroup);
    }
    return slLines.join(QLatin1Char('\n')).toStdString();
}
