#include "widgets/MessageBox.h"

#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

namespace
{
QList<QMessageBox *> OpenBoxes()
{
    QList<QMessageBox *> boxes;
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *pWidget : widgets) {
        if (auto *pBox = qobject_cast<QMessageBox *>(pWidget))
            boxes.append(pBox);
    }
    return boxes;
}
} // namespace

class tst_MessageBox : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void showsWithoutBlocking_data();
    void showsWithoutBlocking();
    void deletesItselfOnClose();
    void childOfParent();
};

void tst_MessageBox::cleanup()
{
    qDeleteAll(OpenBoxes());
}

void tst_MessageBox::showsWithoutBlocking_data()
{
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("plain");
    QTest::addColumn<QString>("shown");
    QTest::newRow("plain text") << "登录失败" << true << "登录失败";
    QTest::newRow("plain text keeps markup") << "a <b>b</b>" << true << "a <b>b</b>";
    QTest::newRow("rich text reduced") << "<p>网络<b>错误</b></p>" << false << "网络错误";
}

void tst_MessageBox::showsWithoutBlocking()
{
    QFETCH(QString, message);
    QFETCH(bool, plain);
    QFETCH(QString, shown);
    // Returns at once: a blocking box would hang the test here.
    ShowMessage(nullptr, "提示", message, plain);
    const QList<QMessageBox *> boxes = OpenBoxes();
    QCOMPARE(boxes.size(), 1);
    QMessageBox *pBox = boxes.first();
    QVERIFY(pBox->isVisible());
    QCOMPARE(pBox->windowTitle(), QStringLiteral("提示"));
    QCOMPARE(pBox->text(), shown);
    QCOMPARE(pBox->textFormat(), Qt::PlainText);
    QCOMPARE(pBox->icon(), QMessageBox::Information);
    QCOMPARE(pBox->windowModality(), Qt::ApplicationModal);
    QVERIFY(pBox->testAttribute(Qt::WA_DeleteOnClose));
    QVERIFY(pBox->textInteractionFlags() & Qt::TextSelectableByMouse);
    QCOMPARE(pBox->windowFlags() & Qt::WindowType_Mask, Qt::Dialog);
    QVERIFY(pBox->windowFlags() & Qt::WindowCloseButtonHint);

    const QList<QAbstractButton *> buttons = pBox->buttons();
    QCOMPARE(buttons.size(), 1);
    QCOMPARE(buttons.first()->text(), QStringLiteral("确定"));
    QVERIFY(buttons.first()->styleSheet().startsWith(
        "QPushButton{min-height:23px;min-width:74px;border:1px solid #ADADAD;"));
    QVERIFY(buttons.first()->styleSheet().endsWith("background:#CCE4F7;}"));
}

void tst_MessageBox::deletesItselfOnClose()
{
    ShowMessage(nullptr, "提示", "x");
    QPointer<QMessageBox> pBox = OpenBoxes().value(0);
    QVERIFY(pBox);
    pBox->buttons().first()->click();
    QTRY_VERIFY(pBox.isNull());
}

void tst_MessageBox::childOfParent()
{
    QWidget parent;
    parent.show();
    ShowMessage(&parent, "提示", "x");
    auto *pBox = parent.findChild<QMessageBox *>();
    QVERIFY(pBox);
    QVERIFY(pBox->isWindow());
}

QTEST_MAIN(tst_MessageBox)
#include "tst_MessageBox.moc"
