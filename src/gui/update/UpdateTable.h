#pragma once
// The contract of the main window's two package tables: their columns, what
// each item keeps in which role, and the untranslated row states of the
// update table (stored in the cell, translated when drawn). Columns 4 and 5
// of the update table are drawn by the progress-bar and button delegates,
// whose roles these are.

#include "widgets/KXButtonDelegate.h"
#include "widgets/KXProgressBarDelegate.h"

#include <QtGlobal>

namespace UpdateTable
{

enum Column {
    ColName = 0,
    ColLocal = 1,
    ColServer = 2,
    ColSize = 3,
    ColProgress = 4,
    ColState = 5
};

// Column 0: the package folder ("dir") and, for optional packages, the
// branch in lower case; the row's handle, which its downloads report to.
constexpr int RoleDir = Qt::UserRole + 1;
constexpr int RoleBranch = Qt::UserRole + 2;
constexpr int RoleRowHandle = Qt::UserRole + 10;
// Column 2: the server's revision ("rev").
constexpr int RoleServerRev = Qt::UserRole + 1;
// Column 4: the progress bar's value (percent) and maximum (100).
constexpr int RoleProgress = KXProgressBarDelegate::ValueRole;
constexpr int RoleProgressMax = KXProgressBarDelegate::MaximumRole;
// Column 5: the row's download state; empty shows the download button.
constexpr int RoleState = KXButtonDelegate::StateTextRole;
// Column 5: what became of the firmware the row brought (an outcome of
// FirmwareUpgradeTask, as int) and the task's detail; the row's tool tip is
// made from them in the language of the moment.
constexpr int RoleFirmwareOutcome = Qt::UserRole + 20;
constexpr int RoleFirmwareDetail = Qt::UserRole + 21;
// Column 5: the row's failed files by reason (a DiffDownload::Failure as
// text, to the count).
constexpr int RoleFailures = Qt::UserRole + 22;

// Row states.
constexpr const char *StateWaiting = QT_TRANSLATE_NOOP("MainWindow", "等待下载");
constexpr const char *StateDownloading = QT_TRANSLATE_NOOP("MainWindow", "正在下载");
constexpr const char *StateNoUpdate = QT_TRANSLATE_NOOP("MainWindow", "无需更新");
constexpr const char *StatePartly = QT_TRANSLATE_NOOP("MainWindow", "部分下载失败");
constexpr const char *StateFailed = QT_TRANSLATE_NOOP("MainWindow", "下载失败");
constexpr const char *StateDone = QT_TRANSLATE_NOOP("MainWindow", "下载成功");
constexpr const char *StateBadReply = QT_TRANSLATE_NOOP("MainWindow", "获取数据异常");
constexpr const char *StateCancelled = QT_TRANSLATE_NOOP("MainWindow", "已取消");
constexpr const char *StateFirmwareNotWritten = QT_TRANSLATE_NOOP("MainWindow", "固件未写入");

} // namespace UpdateTable

namespace UnistallTable
{

enum Column { ColName = 0, ColVersion = 1, ColSize = 2, ColPath = 3 };

// Column 0: the package folder's path.
constexpr int RolePath = Qt::UserRole + 1;

} // namespace UnistallTable
