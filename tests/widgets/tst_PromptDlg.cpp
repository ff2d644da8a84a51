#include "widgets/PromptDlg.h"

#include <QLabel>
#include <QtTest>

class tst_PromptDlg : public QObject
{
    Q_OBJECT
private slots:
    void layoutAndPrompt();
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

QTEST_MAIN(tst_PromptDlg)
#include "tst_PromptDlg.moc"
