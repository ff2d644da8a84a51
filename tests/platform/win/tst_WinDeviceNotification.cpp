// Device-change messages as Windows delivers them to the main window: which
// ones concern a volume (the device disk arriving or leaving), and the
// registration for USB device-interface notifications on a real window.
#include "platform/DeviceNotification.h"

#include <QtTest>

#include <windows.h>

#include <dbt.h>

class tst_WinDeviceNotification : public QObject
{
    Q_OBJECT
private slots:
    void classification_data();
    void classification();
    void registrationOnAWindow();
};

void tst_WinDeviceNotification::classification_data()
{
    QTest::addColumn<uint>("nMessage");
    QTest::addColumn<quint64>("nEvent");
    QTest::addColumn<int>("nDeviceType"); // -1: no broadcast header
    QTest::addColumn<int>("kind");
    const int nVolumeChanged = int(DeviceChangeKind::VolumeChanged);
    const int nIgnored = int(DeviceChangeKind::Ignored);
    const int nNotDeviceChange = int(DeviceChangeKind::NotDeviceChange);
    QTest::newRow("volume arrives") << uint(WM_DEVICECHANGE) << quint64(DBT_DEVICEARRIVAL)
                                    << int(DBT_DEVTYP_VOLUME) << nVolumeChanged;
    QTest::newRow("volume removed") << uint(WM_DEVICECHANGE) << quint64(DBT_DEVICEREMOVECOMPLETE)
                                    << int(DBT_DEVTYP_VOLUME) << nVolumeChanged;
    QTest::newRow("USB interface arrives") << uint(WM_DEVICECHANGE) << quint64(DBT_DEVICEARRIVAL)
                                           << int(DBT_DEVTYP_DEVICEINTERFACE) << nIgnored;
    QTest::newRow("port arrives") << uint(WM_DEVICECHANGE) << quint64(DBT_DEVICEARRIVAL)
                                  << int(DBT_DEVTYP_PORT) << nIgnored;
    QTest::newRow("arrival without header")
        << uint(WM_DEVICECHANGE) << quint64(DBT_DEVICEARRIVAL) << -1 << nIgnored;
    QTest::newRow("removal asked for") << uint(WM_DEVICECHANGE) << quint64(DBT_DEVICEQUERYREMOVE)
                                       << int(DBT_DEVTYP_VOLUME) << nNotDeviceChange;
    QTest::newRow("device nodes changed")
        << uint(WM_DEVICECHANGE) << quint64(DBT_DEVNODES_CHANGED) << -1 << nNotDeviceChange;
    QTest::newRow("other message") << uint(WM_PAINT) << quint64(DBT_DEVICEARRIVAL)
                                   << int(DBT_DEVTYP_VOLUME) << nNotDeviceChange;
}

void tst_WinDeviceNotification::classification()
{
    QFETCH(uint, nMessage);
    QFETCH(quint64, nEvent);
    QFETCH(int, nDeviceType);
    QFETCH(int, kind);
    DEV_BROADCAST_VOLUME volume = {};
    volume.dbcv_size = sizeof volume;
    volume.dbcv_devicetype = DWORD(nDeviceType);
    volume.dbcv_unitmask = 1u << ('R' - 'A');
    MSG msg = {};
    msg.message = nMessage;
    msg.wParam = WPARAM(nEvent);
    msg.lParam = nDeviceType < 0 ? 0 : reinterpret_cast<LPARAM>(&volume);
    QCOMPARE(int(ClassifyDeviceChange(&msg)), kind);
    QCOMPARE(int(ClassifyDeviceChange(nullptr)), int(DeviceChangeKind::NotDeviceChange));
}

void tst_WinDeviceNotification::registrationOnAWindow()
{
    QCOMPARE(RegisterDeviceNotifications(0), nullptr);
    QWidget window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    void *pRegistration = RegisterDeviceNotifications(std::uintptr_t(window.winId()));
    QVERIFY(pRegistration != nullptr);
    UnregisterDeviceNotifications(pRegistration);
    UnregisterDeviceNotifications(nullptr);
}

QTEST_MAIN(tst_WinDeviceNotification)
#include "tst_WinDeviceNotification.moc"
