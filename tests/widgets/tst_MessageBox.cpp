#include "widgets/MessageBox.h"

#include <QLabel>
#include <QMainWindow>
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

QAbstractButton *ButtonNamed(QMessageBox *pBox, const QString &sText)
{
    const QList<QAbstractButton *> buttons = pBox->buttons();
    for (QAbstractButton *pButton : buttons) {
        if (pButton->text() == sText)
            return pButton;
    }
    return nullptr;
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
    void ownTitleBar();
    void centredOverItsWindow_data();
    void centredOverItsWindow();
    void questionAnswers_data();
    void questionAnswers();
};

void tst_MessageBox::cleanup()
{
    qDeleteAll(OpenBoxes());
    const QWidgetList widgets = QApplication::topLevelWidgets();
    for (QWidget *pWidget : widgets) {
        if (qobject_cast<QMainWindow *>(pWidget))
            delete pWidget;
    }
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

// No frame of the window system (with its own icon and look): the program's
// title bar, which drags the box and closes it.
void tst_MessageBox::ownTitleBar()
{
    ShowMessage(nullptr, "提示", "一条很长的消息，长到足以让消息框比它的标题栏更宽一些。");
    QPointer<QMessageBox> pBox = OpenBoxes().value(0);
    QVERIFY(pBox);
    QVERIFY(pBox->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(pBox->property("CanMove").toBool());
    QVERIFY(pBox->property("Form").toBool());
    auto *pTitleBar = pBox->findChild<QWidget *>("widget_title");
    QVERIFY(pTitleBar && pTitleBar->isVisible());
    QCOMPARE(pBox->findChild<QLabel *>("lab_Title")->text(), QStringLiteral("提示"));
    // The bar spans the box above the message, which is not hidden under it.
    QCOMPARE(pTitleBar->width(), pBox->width() - 2);
    const QRect message = pBox->findChild<QLabel *>("qt_msgbox_label")->geometry();
    QVERIFY2(message.top() >= pTitleBar->geometry().bottom(),
             qPrintable(QStringLiteral("message at %1").arg(message.top())));
    QVERIFY(pBox->height() > message.height() + pTitleBar->height());
    // Its close button is no answer button of the box, and closes it.
    auto *pClose = pTitleBar->findChild<QPushButton *>("btnClose");
    QVERIFY(pClose);
    QVERIFY(!pBox->buttons().contains(pClose));
    pClose->click();
    QTRY_VERIFY(pBox.isNull());
}

void tst_MessageBox::centredOverItsWindow_data()
{
    QTest::addColumn<bool>("bParent");
    QTest::newRow("its parent's window") << true;
    QTest::newRow("no parent: the main window") << false;
}

void tst_MessageBox::centredOverItsWindow()
{
    QFETCH(bool, bParent);
    auto *pMain = new QMainWindow;
    pMain->setGeometry(40, 60, 800, 600);
    pMain->show();
    QVERIFY(QTest::qWaitForWindowExposed(pMain));
    ShowMessage(bParent ? pMain : nullptr, "提示", "x");
    QMessageBox *pBox = OpenBoxes().value(0);
    if (bParent)
        pBox = pMain->findChild<QMessageBox *>();
    QVERIFY(pBox && pBox->isVisible());
    const QPoint offset = pBox->frameGeometry().center() - pMain->frameGeometry().center();
    QVERIFY2(offset.manhattanLength() <= 2,
             qPrintable(QStringLiteral("%1,%2 off the centre").arg(offset.x()).arg(offset.y())));
}

void tst_MessageBox::questionAnswers_data()
{
    QTest::addColumn<QString>("sAnswer"); // a button's text, or "close" for the title bar
    QTest::addColumn<int>("nYes");
    QTest::newRow("yes") << "是" << 1;
    QTest::newRow("no") << "否" << 0;
    QTest::newRow("closed") << "close" << 0;
}

void tst_MessageBox::questionAnswers()
{
    QFETCH(QString, sAnswer);
    QFETCH(int, nYes);
    int nCalls = 0;
    QPointer<QMessageBox> pBox =
        AskQuestion(nullptr, "提示", "确定要卸载吗？", [&nCalls] { ++nCalls; });
    QVERIFY(pBox && pBox->isVisible());
    QCOMPARE(pBox->icon(), QMessageBox::Question);
    QCOMPARE(pBox->text(), QStringLiteral("确定要卸载吗？"));
    QVERIFY(pBox->windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(pBox->buttons().size(), 2);
    // Enter and Escape keep things as they are.
    QCOMPARE(pBox->defaultButton(), ButtonNamed(pBox, "否"));
    QCOMPARE(pBox->escapeButton(), ButtonNamed(pBox, "否"));
    if (sAnswer == QLatin1String("close"))
        pBox->findChild<QPushButton *>("btnClose")->click();
    else
        ButtonNamed(pBox, sAnswer)->click();
    // Run after the box has gone, not inside its click.
    QCOMPARE(nCalls, 0);
    QTRY_VERIFY(pBox.isNull());
    QCoreApplication::sendPostedEvents();
    QCOMPARE(nCalls, nYes);
}

QTEST_MAIN(tst_MessageBox)
#include "tst_MessageBox.moc"
