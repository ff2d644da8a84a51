#pragma once
// What the update page tests share: a device-disk folder, a packages folder
// served by the stand-in update server, the simulated device on its serial
// line, and small helpers to look at the main window's tables and boxes.

#include "DeviceSimProcess.h"
#include "TestWidgets.h"
#include "UpdateServerProcess.h"
#include "device/DeviceDisks.h"
#include "device/device.h"
#include "net/ServerProtocol.h"
#include "update/MainWindow.h"

#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>
#include <memory>

namespace UpdateTestBench
{

inline QString Md5(const QByteArray &baData)
{
    return QString::fromLatin1(QCryptographicHash::hash(baData, QCryptographicHash::Md5).toHex());
}

using TestWidgets::MessageTexts;
using TestWidgets::TakeMessages;
using TestWidgets::WriteFile;

inline QByteArray ReadFile(const QString &sPath)
{
    QFile file(sPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QJsonObject ReadJson(const QString &sPath)
{
    return QJsonDocument::fromJson(ReadFile(sPath)).object();
}

// A device disk, a packages folder for the server, the server and the device.
class Bench
{
public:
    QTemporaryDir dir;
    QString sDisk;
    QString sPackages;
    std::unique_ptr<UpdateServerProcess> pServer;
    DeviceSimProcess sim;

    // Starts the server on sAddress and the simulated device; the working
    // folder becomes the temporary folder (config.ini is read from there).
    bool Start(const QString &sAddress, const QStringList &slSimArgs = {})
    {
        if (!dir.isValid())
            return false;
        QDir::setCurrent(dir.path());
        sDisk = dir.filePath(QStringLiteral("disk"));
        sPackages = dir.filePath(QStringLiteral("packages"));
        QDir().mkpath(sPackages);
        pServer = std::make_unique<UpdateServerProcess>(sAddress);
        pServer->SetPackagesFolder(sPackages);
        pServer->AddAccount(QStringLiteral("alice"), QStringLiteral("secret123"));
        if (!pServer->Start()) {
            qWarning() << pServer->Output();
            return false;
        }
        SetServerAddress(sAddress);
        if (!sim.Start(slSimArgs)) {
            qWarning() << sim.ErrorString();
            return false;
        }
        device::SetSerialOverride(sim.PtyPath());
        return true;
    }

    // A fresh device disk with the serial number and no packages served.
    void Reset(const QByteArray &baSerial = "D000000000001")
    {
        QDir(sDisk).removeRecursively();
        QDir(sPackages).removeRecursively();
        QDir().mkpath(sPackages);
        WriteFile(sDisk + QStringLiteral("/sn.txt"), baSerial);
        SetDeviceDiskFolders({sDisk});
        pServer->ClearFaults();
        pServer->SetModes({});
        pServer->ClearRequests();
    }

    // A package served from packages/<sFolder>: package.json and its files
    // below files/ (paths relative to the package folder on the disk).
    void AddPackage(const QString &sFolder, const QJsonObject &joPackage,
                    const QMap<QString, QByteArray> &files)
    {
        const QString sRoot = sPackages + QLatin1Char('/') + sFolder;
        WriteFile(sRoot + QStringLiteral("/package.json"), QJsonDocument(joPackage).toJson());
        QDir().mkpath(sRoot + QStringLiteral("/files"));
        for (auto it = files.cbegin(); it != files.cend(); ++it)
            WriteFile(sRoot + QStringLiteral("/files/") + it.key(), it.value());
    }

    // An installed manifest on the disk for the folder sDir.
    void Install(const QString &sDir, const QJsonObject &joManifest)
    {
        WriteFile(sDisk + QLatin1Char('/') + sDir + QStringLiteral("/Update.json"),
                  QJsonDocument(joManifest).toJson());
    }

    QString DiskPath(const QString &sRelative) const
    {
        return sDisk + QLatin1Char('/') + sRelative;
    }
};

inline QTableWidget *UpdateTable(MainWindow &w)
{
    return w.findChild<QTableWidget *>(QStringLiteral("tbUpdateList"));
}

inline QTableWidget *UnistallTable(MainWindow &w)
{
    return w.findChild<QTableWidget *>(QStringLiteral("tbUnistallList"));
}

inline QStringList ColumnTexts(QTableWidget *pTable, int nColumn)
{
    QStringList slTexts;
    for (int nRow = 0; nRow < pTable->rowCount(); ++nRow)
        slTexts << (pTable->item(nRow, nColumn) ? pTable->item(nRow, nColumn)->text() : QString());
    return slTexts;
}

inline int RowNamed(QTableWidget *pTable, const QString &sName)
{
    return ColumnTexts(pTable, 0).indexOf(sName);
}

inline QString RowState(QTableWidget *pTable, int nRow)
{
    const QTableWidgetItem *pItem = pTable->item(nRow, 5);
    return pItem ? pItem->data(Qt::UserRole).toString() : QStringLiteral("<no row>");
}

inline QString RowState(QTableWidget *pTable, const QString &sName)
{
    return RowState(pTable, RowNamed(pTable, sName));
}

inline QWidget *TopLevelNamed(const QString &sName)
{
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *pWidget : widgets) {
        if (pWidget->objectName() == sName && pWidget->isVisible())
            return pWidget;
    }
    return nullptr;
}

inline void Click(MainWindow &w, const char *szButton)
{
    auto *pButton = w.findChild<QAbstractButton *>(QLatin1String(szButton));
    QVERIFY(pButton);
    pButton->click();
}

} // namespace UpdateTestBench
