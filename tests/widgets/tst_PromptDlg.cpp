#include "widgets/PromptDlg.h"

#include "FormContract.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QThread>
#include <QTimer>

#include <QtTest>
#include <atomic>

class tst_PromptDlg : public QObject
{
    Q_OBJECT
private slots:
    void formContract_data();
    void formContract();
    void showPromptSetsText();
    void escapeWhileWorkRuns_data();
    void escapeWhileWorkRuns();
};

void tst_PromptDlg::formContract_data()
{
    using FormContract::Row;
    FormContract::AddColumn();
    FormContract::AddRows({
        Row("PromptDlg", "PromptDlg").Size(QSize(340, 104)).Flags(Qt::FramelessWindowHint),
        Row("lbPrompt", "QLabel").Text("").Properties({{"wordWrap", true}}),
    });
}

void tst_PromptDlg::formContract()
{
    QFETCH(FormContract::Row, row);
    PromptDlg dialog;
    FormContract::Verify(&dialog, row);
}

void tst_PromptDlg::showPromptSetsText()
{
    PromptDlg dialog;
    auto *pLabel = dialog.findChild<QLabel *>("lbPrompt");
    QVERIFY(pLabel);
    dialog.ShowPrompt("正在获取数据，请稍候……");
    QCOMPARE(pLabel->text(), QStringLiteral("正在获取数据，请稍候……"));
}

void tst_PromptDlg::escapeWhileWorkRuns_data()
{
    QTest::addColumn<bool>("bCancellable");
    QTest::addColumn<bool>("bByButton");
    QTest::newRow("not cancellable: Escape waits") << false << false;
    QTest::newRow("cancellable: Escape") << true << false;
    QTest::newRow("cancellable: the button") << true << true;
}

void tst_PromptDlg::escapeWhileWorkRuns()
{
    QFETCH(bool, bCancellable);
    QFETCH(bool, bByButton);
    PromptDlg dialog;
    dialog.SetCancellable(bCancellable);
    QSignalSpy cancelled(&dialog, &PromptDlg::CancelRequested);
    std::atomic<bool> bRelease{false};
    std::atomic<bool> bWorkEnded{false};
    bool bClosedEarly = false;
    QTimer::singleShot(100, &dialog, [&] {
        auto *pButton = dialog.findChild<QPushButton *>("btnCancel");
        QVERIFY(pButton);
        QCOMPARE(pButton->isVisible(), bCancellable);
        if (bByButton)
            pButton->click();
        else
            QTest::keyClick(&dialog, Qt::Key_Escape);
        // Not cancellable: still waiting; the work may end now.
        QTimer::singleShot(200, [&] {
            bClosedEarly = !dialog.isVisible();
            bRelease = true;
        });
    });
    QVERIFY(dialog.RunWhile([&] {
        while (!bRelease)
            QThread::msleep(10);
        bWorkEnded = true;
    }));
    // Cancelled: back before the work ended; otherwise only once it had.
    QCOMPARE(bool(bWorkEnded), !bCancellable);
    QCOMPARE(cancelled.size(), bCancellable ? 1 : 0);
    QTRY_VERIFY(bRelease);
    QCOMPARE(bClosedEarly, bCancellable);
    QTRY_VERIFY(bWorkEnded);
}

QTEST_MAIN(tst_PromptDlg)
#include "tst_PromptDlg.moc"
