#include "widgets/AppInit.h"

#include <QLabel>
#include <QMouseEvent>
#include <QtTest>

namespace
{
class Window : public QWidget
{
public:
    int nPresses = 0;

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        ++nPresses;
        event->accept();
    }
};

void Send(QWidget *pWidget, QEvent::Type type, const QPoint &local, Qt::MouseButton button,
          Qt::MouseButtons buttons)
{
    QMouseEvent event(type, local, pWidget->mapToGlobal(local), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(pWidget, &event);
}

// Press at local, move by delta with the button held, release.
void Drag(QWidget *pWidget, const QPoint &local, const QPoint &delta,
          Qt::MouseButton button = Qt::LeftButton)
{
    const QPoint global = pWidget->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, button, button, Qt::NoModifier);
    QApplication::sendEvent(pWidget, &press);
    QMouseEvent move(QEvent::MouseMove, local + delta, global + delta, Qt::NoButton, button,
                     Qt::NoModifier);
    QApplication::sendEvent(pWidget, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, local + delta, global + delta, button,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(pWidget, &release);
}

// The filter as it works on a platform of choice, with the window system's
// part replaced by a note of the windows handed to it.
class SystemMoveFilter : public AppInit
{
public:
    SystemMoveFilter(bool bSystemMove, bool bSystemAccepts)
        : AppInit(bSystemMove, nullptr), bAccepts(bSystemAccepts)
    {
    }
    QList<QWidget *> handedOver;

protected:
    bool StartSystemMove(QWidget *pWindow) override
    {
        handedOver << pWindow;
        return bAccepts;
    }

private:
    bool bAccepts;
};
} // namespace

class tst_AppInit : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void dragsMovableWindow();
    void windowWithoutCanMoveStays_data();
    void windowWithoutCanMoveStays();
    void rightButtonDoesNotDrag();
    void pictureLabelKeepsTheMouse();
    void moveWithoutButtonDoesNothing();
    void platformsThatMoveWindowsThemselves_data();
    void platformsThatMoveWindowsThemselves();
    void dragHandedToWindowSystem_data();
    void dragHandedToWindowSystem();

private:
    std::unique_ptr<AppInit> pFilter;
};

void tst_AppInit::init()
{
    pFilter = std::make_unique<AppInit>();
}

void tst_AppInit::cleanup()
{
    pFilter.reset();
}

void tst_AppInit::dragsMovableWindow()
{
    Window window;
    window.setProperty("CanMove", true);
    window.setGeometry(100, 100, 300, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.pos();
    Drag(&window, QPoint(50, 20), QPoint(30, 40));
    QCOMPARE(window.pos(), start + QPoint(30, 40));
    // The filter takes the press for itself.
    QCOMPARE(window.nPresses, 0);
}

void tst_AppInit::windowWithoutCanMoveStays_data()
{
    QTest::addColumn<QVariant>("canMove");
    QTest::newRow("false") << QVariant(false);
    QTest::newRow("not set") << QVariant();
}

void tst_AppInit::windowWithoutCanMoveStays()
{
    QFETCH(QVariant, canMove);
    Window window;
    window.setProperty("CanMove", canMove);
    window.setGeometry(100, 100, 300, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.pos();
    Drag(&window, QPoint(50, 20), QPoint(30, 40));
    QCOMPARE(window.pos(), start);
    QCOMPARE(window.nPresses, 1);
}

void tst_AppInit::rightButtonDoesNotDrag()
{
    Window window;
    window.setProperty("CanMove", true);
    window.setGeometry(100, 100, 300, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.pos();
    Drag(&window, QPoint(50, 20), QPoint(30, 40), Qt::RightButton);
    QCOMPARE(window.pos(), start);
}

void tst_AppInit::pictureLabelKeepsTheMouse()
{
    Window window;
    window.setProperty("CanMove", true);
    window.setGeometry(100, 100, 300, 200);
    auto *pPic = new QLabel(&window);
    pPic->setObjectName("lbPic");
    pPic->setGeometry(0, 0, 100, 50);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.pos();
    // On the picture: no drag, the press reaches the window.
    Drag(&window, QPoint(20, 20), QPoint(30, 40));
    QCOMPARE(window.pos(), start);
    QCOMPARE(window.nPresses, 1);
    // Elsewhere in the same window the drag works.
    Drag(&window, QPoint(200, 150), QPoint(30, 40));
    QCOMPARE(window.pos(), start + QPoint(30, 40));
}

void tst_AppInit::moveWithoutButtonDoesNothing()
{
    Window window;
    window.setProperty("CanMove", true);
    window.setGeometry(100, 100, 300, 200);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.pos();
    Send(&window, QEvent::MouseMove, QPoint(60, 60), Qt::NoButton, Qt::NoButton);
    QCOMPARE(window.pos(), start);
    // After a release, moves no longer drag even with a button reported held.
    Drag(&window, QPoint(50, 20), QPoint(0, 0));
    Send(&window, QEvent::MouseMove, QPoint(90, 90), Qt::NoButton, Qt::LeftButton);
    QCOMPARE(window.pos(), start);
}

void tst_AppInit::platformsThatMoveWindowsThemselves_data()
{
    QTest::addColumn<QString>("sPlatform");
    QTest::addColumn<bool>("bBySystem");
    QTest::newRow("wayland") << "wayland" << true;
    QTest::newRow("wayland-egl") << "wayland-egl" << true;
    QTest::newRow("xcb") << "xcb" << false;
    QTest::newRow("windows") << "windows" << false;
    QTest::newRow("offscreen") << "offscreen" << false;
}

void tst_AppInit::platformsThatMoveWindowsThemselves()
{
    QFETCH(QString, sPlatform);
    QFETCH(bool, bBySystem);
    QCOMPARE(AppInit::MovesBySystem(sPlatform), bBySystem);
}

void tst_AppInit::dragHandedToWindowSystem_data()
{
    QTest::addColumn<bool>("bSystemMove");
    QTest::addColumn<bool>("bSystemAccepts");
    QTest::addColumn<int>("nHandedOver");
    QTest::addColumn<QPoint>("moved");
    // The window system follows the pointer: no move by position on top.
    QTest::newRow("wayland") << true << true << 1 << QPoint(0, 0);
    // It declined (no native window, a press it did not see): moved by position.
    QTest::newRow("wayland, declined") << true << false << 1 << QPoint(30, 40);
    QTest::newRow("elsewhere") << false << true << 0 << QPoint(30, 40);
}

void tst_AppInit::dragHandedToWindowSystem()
{
    QFETCH(bool, bSystemMove);
    QFETCH(bool, bSystemAccepts);
    QFETCH(int, nHandedOver);
    QFETCH(QPoint, moved);
    pFilter.reset();
    SystemMoveFilter filter(bSystemMove, bSystemAccepts);
    Window window;
    window.setProperty("CanMove", true);
    window.setGeometry(100, 100, 300, 200);
    // A press on a child that leaves it unhandled reaches the window.
    auto *pChild = new QWidget(&window);
    pChild->setGeometry(0, 0, 100, 50);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const QPoint start = window.pos();
    Drag(pChild, QPoint(20, 20), QPoint(30, 40));
    QCOMPARE(filter.handedOver.size(), nHandedOver);
    if (nHandedOver > 0)
        QCOMPARE(filter.handedOver.first(), &window);
    QCOMPARE(window.pos(), start + moved);
    QCOMPARE(window.nPresses, 0);
}

QTEST_MAIN(tst_AppInit)
#include "tst_AppInit.moc"
