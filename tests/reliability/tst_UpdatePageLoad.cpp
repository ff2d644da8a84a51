// The one-click download of ten packages of 200 files each through the main
// window, against the stand-in server and the simulated device, while the
// user keeps switching pages and languages (and so also asks for the
// catalogue while the firmware is written). Every row ends downloaded with
// its progress at 100, the busy counter returns to 0 once, and the firmware
// installation window opens exactly once. A run that does not end fails
// within the test framework's time limit, naming the rows that did not end.
#include "UpdateTestBench.h"

#include "accounts/LoginReply.h"
#include "app/Settings.h"
#include "update/MainWindow.h"
#include "update/TransferStopFlag.h"

#include <QElapsedTimer>

using namespace UpdateTestBench;

namespace
{
const int kPackages = 10;
const int kFilesEach = 200;

// Every row's last state and progress, by package folder: a catalogue asked
// for after the batch rebuilds the table, so the outcome is kept as it shows.
struct RowOutcome {
    QString sName;
    QString sState;
    int nProgress = -1;
};

bool IsEndState(const QString &sState)
{
    return !sState.isEmpty() && sState != QStringLiteral("等待下载") &&
           sState != QStringLiteral("正在下载");
}

// The time the test framework gives one test function, less a margin for
// the checks that follow the wait.
qint64 WaitLimitMs()
{
    const int nFunction = qEnvironmentVariableIsSet("QTEST_FUNCTION_TIMEOUT")
                              ? qEnvironmentVariableIntValue("QTEST_FUNCTION_TIMEOUT")
                              : 300000;
    return qMax(30000, nFunction - 30000);
}

QByteArray FileContent(int nPackage, int nFile)
{
    QByteArray ba(300 + (nFile * 53) % 1200, char('a' + nPackage));
    for (int i = 0; i < ba.size(); i += 13)
        ba[i] = char(nFile ^ i);
    return ba;
}

// Counts the firmware installation windows that appear.
class ShowCounter : public QObject
{
public:
    int nShown = 0;

protected:
    bool eventFilter(QObject *pObject, QEvent *pEvent) override
    {
        if (pEvent->type() == QEvent::Show && pObject->isWidgetType() &&
            pObject->objectName() == QLatin1String("MainInstall"))
            ++nShown;
        return false;
    }
};
} // namespace

class tst_UpdatePageLoad : public QObject
{
    Q_OBJECT

private:
    Bench bench;

private slots:
    void initTestCase()
    {
        QVERIFY(bench.Start(QStringLiteral("127.0.11.4")));
        SetLoginReply(QJsonObject{{"code", "000000"}});
        TransferStopFlag = 0;
        bench.Reset();
    }

    void cleanupTestCase()
    {
        StoreLanguageSetting(0);
        TakeMessages();
    }

    void tenPackagesWhileTheUserMovesAround()
    {
        for (int n = 0; n < kPackages; ++n) {
            const QString sName = n == 0 ? QStringLiteral("main") : QStringLiteral("p%1").arg(n);
            QJsonObject joPackage{
                {"dir", n == 0 ? QStringLiteral("Home") : QStringLiteral("Diag/P%1").arg(n)},
                {"rev", "1.0"},
                {"CN_name", sName},
                {"EN_name", sName},
                {"lang_name", sName}};
            if (n == 0)
                joPackage.insert("mandatory", true);
            else
                joPackage.insert("branch", QStringLiteral("b%1").arg(n));
            QMap<QString, QByteArray> files;
            for (int f = 0; f < kFilesEach; ++f) {
                const QString sFile = n == 0 && f == 0
                                          ? QStringLiteral("MAIN.bin")
                                          : QStringLiteral("s%1/f%2.bin").arg(f % 5).arg(f);
                files.insert(sFile, FileContent(n, f));
            }
            bench.AddPackage(QStringLiteral("%1-p%2").arg(10 + n).arg(n), joPackage, files);
        }

        ShowCounter firmwareWindows;
        qApp->installEventFilter(&firmwareWindows);
        MainWindow w;
        w.show();
        w.FirstShow();
        QTableWidget *pTable = UpdateTable(w);
        QTRY_COMPARE_WITH_TIMEOUT(pTable->rowCount(), kPackages, 30000);
        for (int nRow = 0; nRow < pTable->rowCount(); ++nRow)
            pTable->item(nRow, 0)->setCheckState(Qt::Checked);

        QMap<QString, RowOutcome> outcomes;
        for (int nRow = 0; nRow < pTable->rowCount(); ++nRow)
            outcomes.insert(pTable->item(nRow, 0)->data(Qt::UserRole + 1).toString(), RowOutcome());
        auto noteRows = [&] {
            for (int nRow = 0; nRow < pTable->rowCount(); ++nRow) {
                const QString sDir = pTable->item(nRow, 0)->data(Qt::UserRole + 1).toString();
                if (!outcomes.contains(sDir) || IsEndState(outcomes.value(sDir).sState))
                    continue; // a row of a later catalogue
                RowOutcome &outcome = outcomes[sDir];
                outcome.sName = pTable->item(nRow, 0)->text();
                outcome.sState = RowState(pTable, nRow);
                outcome.nProgress = pTable->item(nRow, 4)->data(Qt::UserRole + 1).toInt();
            }
        };
        auto rowsNotEnded = [&] {
            QStringList slRows;
            for (auto it = outcomes.cbegin(); it != outcomes.cend(); ++it) {
                if (!IsEndState(it->sState))
                    slRows
                        << QStringLiteral("%1 (%2: \"%3\")").arg(it.key(), it->sName, it->sState);
            }
            return slRows;
        };

        Click(w, "btnOneKeyUpdate");
        QElapsedTimer timer;
        timer.start();
        int nReturnsToZero = 0;
        int nLast = w.Batch().nTaskCount.load();
        int nStep = 0;
        const char *const pages[] = {"btnUnistall", "btnManage", "btnDownload"};
        auto allDone = [&] {
            return rowsNotEnded().isEmpty() && w.Batch().nTaskCount.load() == 0 &&
                   !w.Batch().IsFirmwareInstalling() && !TopLevelNamed("MainInstall");
        };
        const qint64 nLimitMs = WaitLimitMs();
        while (timer.elapsed() < nLimitMs) {
            noteRows();
            const int nNow = w.Batch().nTaskCount.load();
            if (nLast > 0 && nNow == 0)
                ++nReturnsToZero;
            nLast = nNow;
            if (nNow == 0 && allDone())
                break;
            // The user wanders: another page, another language.
            if (nStep % 25 == 0) {
                auto *pButton =
                    w.findChild<QAbstractButton *>(QLatin1String(pages[(nStep / 25) % 3]));
                if (pButton)
                    pButton->click();
                StoreLanguageSetting((nStep / 25) % 3);
                w.SwitchLanguage(QString());
            }
            ++nStep;
            TakeMessages();
            QTest::qWait(20);
        }
        qInfo("%d packages x %d files in %lld ms", kPackages, kFilesEach, timer.elapsed());
        QVERIFY2(
            allDone(),
            qPrintable(QStringLiteral("the downloads did not end within %1 s; rows not ended: "
                                      "%2; busy counter %3, firmware %4; table now: %5")
                           .arg(nLimitMs / 1000)
                           .arg(rowsNotEnded().join(QStringLiteral(", ")))
                           .arg(w.Batch().nTaskCount.load())
                           .arg(w.Batch().IsFirmwareInstalling() ? QStringLiteral("being written")
                                                                 : QStringLiteral("not running"))
                           .arg(ColumnTexts(pTable, 0).join(QStringLiteral(", ")))));

        for (auto it = outcomes.cbegin(); it != outcomes.cend(); ++it) {
            QVERIFY2(it->sState == QStringLiteral("下载成功"), qPrintable(it.key()));
            QCOMPARE(it->nProgress, 100);
        }
        QCOMPARE(nReturnsToZero, 1);
        QCOMPARE(firmwareWindows.nShown, 1);
        QCOMPARE(bench.sim.FlashedImage(), FileContent(0, 0));
        for (int n = 1; n < kPackages; ++n) {
            for (int f = 1; f < kFilesEach; f += 17) {
                QCOMPARE(ReadFile(bench.DiskPath(
                             QStringLiteral("Diag/P%1/s%2/f%3.bin").arg(n).arg(f % 5).arg(f))),
                         FileContent(n, f));
            }
        }
        qApp->removeEventFilter(&firmwareWindows);
    }
};

QTEST_MAIN(tst_UpdatePageLoad)
#include "tst_UpdatePageLoad.moc"
