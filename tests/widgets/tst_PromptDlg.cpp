#include "widgets/PromptDlg.h"

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
    void layoutAndPrompt();
    void escapeWhileWorkRuns_data();
    void escapeWhileWorkRuns();
};

void tst_PromptDlg::layoutAndPrompt()
{
    PromptDlg dialog;
    QCOMPARE(dialog.objectName(), QStringLiteral("PromptDlg"));
    QCOMPARE(dialog.size(), QSize(340, 104));
    QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
    auto *pLabel = dialog.findChild<QLabel *>("lbPrompt");
    QVERIFY(pLabel);
    QVERIFY(pLabel->text().isEmpty());
    QVERIFY(pLabel->wordWrap());
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
