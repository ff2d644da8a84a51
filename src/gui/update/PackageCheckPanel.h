#pragma once
// The check and repair of installed packages on the uninstall page: the
// buttons "检查" and "修复", a progress bar with a cancel button, and a column
// of the installed-package table that shows each package's outcome (the
// damaged files' paths in its tooltip). Both act on the checked rows, or on
// every row when none is checked, on a worker thread of their own; a repair
// checks each package afresh and fetches what is damaged. A repair asks the
// server in the user's session: "修复" is offered only while someone is
// signed in.

#include "update/DownloadRequest.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>

class PackageCheckTask;
struct PackageCheckResult;
struct PackageRepairResult;
class QBoxLayout;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QThread;
class QWidget;

class PackageCheckPanel : public QObject
{
    Q_OBJECT
public:
    // The table's column 0 holds the package folder in role Qt::UserRole + 1.
    // The controls go into pOptions, before pUninstall, which is disabled
    // while a check or repair runs. device() gives what a repair sends and
    // the current disk (empty: none); signedIn() whether someone is signed in.
    PackageCheckPanel(QWidget *pWindow, QTableWidget *pTable, QBoxLayout *pOptions,
                      QPushButton *pUninstall, std::function<DownloadRequest()> device,
                      std::function<bool()> signedIn);
    // Cancels a running check or repair and waits for its thread.
    ~PackageCheckPanel() override;

    // The column holding the outcome.
    static const int ResultColumn = 4;

    bool IsRunning() const { return pThread != nullptr; }

public slots:
    void Retranslate();
    // Ends a running check or repair (its package is left as it is).
    void Cancel();
    void StartCheck();
    void StartRepair();
    // Someone signed in or out: "修复" follows.
    void RefreshSignedIn();

private:
    void Start(bool bRepair);
    QStringList ChosenFolders() const;
    int RowOfFolder(const QString &sFolder) const;
    void OnChecked(const PackageCheckResult &result);
    void OnRepaired(const QString &sFolder, const PackageRepairResult &result);
    void OnThreadFinished();
    void SetRunning(bool bRunning);
    void EnableRepair();
    void RenderRow(int nRow);

    QWidget *pWindow;
    QTableWidget *pTable;
    QPushButton *pUninstall;
    std::function<DownloadRequest()> device;
    std::function<bool()> signedIn;
    QPushButton *btnCheck = nullptr;
    QPushButton *btnRepair = nullptr;
    QPushButton *btnCancelCheck = nullptr;
    QProgressBar *pbCheck = nullptr;

    QThread *pThread = nullptr;
    PackageCheckTask *pTask = nullptr;
    QString sTaskDisk;
    bool bTaskRepairs = false;
    int nRepaired = 0;
    int nNotRepaired = 0;
    int nUpdates = 0;
    int nNothingToRepair = 0;
};
