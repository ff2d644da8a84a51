// The whole story on one device: a disk with old versions of two packages and
// a stale firmware image, the user signs in, the catalogue lists what is
// new, one click brings everything down, the firmware goes into the device,
// and the uninstall page lists the packages and removes one. Images of the
// main window at the key moments are saved into the build tree.

#include "UpdateTestBench.h"
#include "accounts/LoginReply.h"
#include "device/DeviceState.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>

using namespace UpdateTestBench;

namespace
{

const QByteArray kImage = QByteArray("KX520 firmware V1.3 ").repeated(700);

const QMap<QString, QByteArray> kEngineFiles{{"a.bin", QByteArray(70000, 'a')},
                                             {"sub/x y.bin", "engine with a space"},
                                             {"config.json", "{\"kept\": true}"}};
const QMap<QString, QByteArray> kKeysFiles{{"k1.bin", QByteArray(50000, 'k')},
                                           {"k2.bin", "keys two"}};
// Both diagnostic packages bring this file, outside their own folders.
const QByteArray kShared = QByteArray("shared vehicle list ").repeated(3000);

// Saves images of the windows it is shown, as they appear.
class Album : public QObject
{
public:
    explicit Album(const QString &sFolder) : sFolder(sFolder)
    {
        QDir(sFolder).removeRecursively();
        QDir().mkpath(sFolder);
    }
    QString sFolder;
    QStringList slSaved;

    void Save(QWidget *pWidget, const QString &sName)
    {
        const QString sPath = sFolder + QLatin1Char('/') + sName + QStringLiteral(".png");
        if (pWidget->grab().save(sPath))
            slSaved << sName;
    }
    // The firmware window is grabbed once it has been laid out and painted.
    void WatchFirmwareWindow() { qApp->installEventFilter(this); }

protected:
    bool eventFilter(QObject *pWatched, QEvent *pEvent) override
    {
        if (pEvent->type() == QEvent::Show &&
            pWatched->objectName() == QLatin1String("MainInstall")) {
            qApp->removeEventFilter(this);
            QPointer<QWidget> pWindow(qobject_cast<QWidget *>(pWatched));
            QTimer::singleShot(0, this, [this, pWindow] {
                if (pWindow)
                    Save(pWindow, QStringLiteral("3-firmware-window"));
                if (QWidget *pMain = pWindow ? pWindow->parentWidget() : nullptr)
                    Save(pMain, QStringLiteral("3-firmware-main-window"));
            });
        }
        return false;
    }
};

} // namespace

class tst_UpdateEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void deviceBroughtUpToDate();

private:
    Bench bench;
};

void tst_UpdateEndToEnd::initTestCase()
{
    QVERIFY(bench.Start(QStringLiteral("127.0.6.11")));
}

void tst_UpdateEndToEnd::deviceBroughtUpToDate()
{
    bench.Reset("D000000000042");
    bench.AddPackage("10-home",
                     QJsonObject{{"dir", "Home"},
                                 {"rev", "V1.3"},
                                 {"mandatory", true},
                                 {"CN_name", "主程序"},
                                 {"EN_name", "main"},
                                 {"lang_name", "main"}},
                     {{"MAIN.bin", kImage}});
    bench.AddPackage("20-engine",
                     QJsonObject{{"dir", "Diag/Engine"},
                                 {"rev", "2.0"},
                                 {"branch", "dash"},
                                 {"EN_name", "Engine"},
                                 {"lang_name", "Engine"}},
                     kEngineFiles);
    bench.AddPackage("30-keys",
                     QJsonObject{{"dir", "Diag/Keys"},
                                 {"rev", "2.0"},
                                 {"branch", "immo"},
                                 {"EN_name", "Keys"},
                                 {"lang_name", "Keys"}},
                     kKeysFiles);
    for (const char *pPackage : {"20-engine", "30-keys"}) {
        QVERIFY(
            WriteFile(bench.sPackages + "/" + pPackage + "/disk/Diag/Common/vehicles.db", kShared));
    }
    // The device as it comes: old packages and a stale firmware image.
    bench.Install("Diag/Engine",
                  QJsonObject{{"lang_name", "Engine"}, {"rev", "1.0"}, {"branch", "dash"}});
    QVERIFY(WriteFile(bench.DiskPath("Diag/Engine/a.bin"), "old engine"));
    QVERIFY(WriteFile(bench.DiskPath("Diag/Engine/config.json"), "{\"mine\": 1}"));
    bench.Install("Diag/Keys",
                  QJsonObject{{"lang_name", "Keys"}, {"rev", "1.0"}, {"branch", "immo"}});
    QVERIFY(WriteFile(bench.DiskPath("Diag/Keys/k1.bin"), "old keys"));
    QVERIFY(WriteFile(bench.DiskPath("Home/MAIN.bin"), "stale firmware"));

    Album album(QStringLiteral(UA_BIN_DIR "/../screenshots/update-end-to-end"));
    MainWindow w;
    w.resize(900, 600);
    w.show();
    w.FirstShow();

    // Nobody is signed in and nothing is remembered: the login window asks.
    QTRY_VERIFY(TopLevelNamed("UserManage"));
    QWidget *pLogin = TopLevelNamed("UserManage");
    pLogin->findChild<QLineEdit *>("edtUserName")->setText("alice");
    pLogin->findChild<QLineEdit *>("edtPassword")->setText("secret123");
    pLogin->findChild<QPushButton *>("btnLogin")->click();
    QTRY_VERIFY(HasLoginReply());
    QTRY_VERIFY(!TopLevelNamed("UserManage"));
    QCOMPARE(LoginReply().value("username").toString(), QStringLiteral("alice"));

    QTableWidget *pTable = UpdateTable(w);
    QCOMPARE(ColumnTexts(pTable, 0), (QStringList{"main", "dash-Engine", "immo-Keys"}));
    QCOMPARE(ColumnTexts(pTable, 1), (QStringList{"V1.2", "1.0", "1.0"}));
    QCOMPARE(ColumnTexts(pTable, 2), (QStringList{"V1.3", "2.0", "2.0"}));
    album.Save(&w, QStringLiteral("1-catalogue"));

    w.findChild<QCheckBox *>("cbAll")->click();
    album.WatchFirmwareWindow();
    QElapsedTimer clock;
    clock.start();
    Click(w, "btnOneKeyUpdate");
    QTRY_COMPARE_WITH_TIMEOUT(ColumnTexts(pTable, 1), (QStringList{"V1.3", "2.0", "2.0"}), 30000);
    const qint64 nDownloadMs = clock.elapsed();
    for (int nRow = 0; nRow < pTable->rowCount(); ++nRow)
        QCOMPARE(RowState(pTable, nRow), QStringLiteral("下载成功"));
    album.Save(&w, QStringLiteral("2-downloaded"));

    // The disk now holds what the server holds (the device's own config.json stays).
    QCOMPARE(ReadFile(bench.DiskPath("Home/MAIN.bin")), kImage);
    for (auto it = kEngineFiles.cbegin(); it != kEngineFiles.cend(); ++it) {
        if (it.key() != QLatin1String("config.json"))
            QCOMPARE(ReadFile(bench.DiskPath("Diag/Engine/" + it.key())), it.value());
    }
    QCOMPARE(ReadFile(bench.DiskPath("Diag/Engine/config.json")), QByteArray("{\"mine\": 1}"));
    for (auto it = kKeysFiles.cbegin(); it != kKeysFiles.cend(); ++it)
        QCOMPARE(ReadFile(bench.DiskPath("Diag/Keys/" + it.key())), it.value());
    QCOMPARE(ReadFile(bench.DiskPath("Diag/Common/vehicles.db")), kShared);
    for (const char *pDir : {"Home", "Diag/Engine", "Diag/Keys"}) {
        const QJsonObject joInstalled =
            ReadJson(bench.DiskPath(QString::fromLatin1(pDir) + "/Update.json"));
        QCOMPARE(joInstalled.value("dir").toString(), QString::fromLatin1(pDir));
        QVERIFY(!joInstalled.contains("root"));
    }

    // The new firmware goes into the device, once.
    QTRY_COMPARE_WITH_TIMEOUT(bench.sim.FlashedImage(), kImage, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(!TopLevelNamed("MainInstall"), 30000);
    QVERIFY(album.slSaved.contains("3-firmware-window"));
    // The window closes on the device's word; the batch lets go of the port
    // a moment later, and only then is the button given back.
    QTRY_VERIFY_WITH_TIMEOUT(!w.Batch().IsFirmwareInstalling(), 30000);
    QCOMPARE(w.Batch().nTaskCount.load(), 0);
    QVERIFY(w.findChild<QPushButton *>("btnOneKeyUpdate")->isEnabled());
    // The finished flash says so.
    QTRY_VERIFY(!MessageTexts().isEmpty());
    const QStringList slFlashed = TakeMessages();
    QCOMPARE(slFlashed.size(), 1);
    QVERIFY2(slFlashed.first().startsWith(QStringLiteral("固件已写入设备")),
             qPrintable(slFlashed.first()));

    // The uninstall page lists both packages (not the main program) and removes one.
    Click(w, "btnUnistall");
    QTableWidget *pInstalled = UnistallTable(w);
    QTRY_COMPARE(ColumnTexts(pInstalled, 0), (QStringList{"dash-Engine", "immo-Keys"}));
    QCOMPARE(ColumnTexts(pInstalled, 1), (QStringList{"2.0", "2.0"}));
    album.Save(&w, QStringLiteral("4-uninstall"));
    pInstalled->item(1, 0)->setCheckState(Qt::Checked);
    Click(w, "btnOneKeyUnistall");
    // It asks first, naming the package.
    QTRY_COMPARE(MessageTexts(),
                 QStringList{QStringLiteral("确定要卸载选中的 1 个软件吗？\n\nimmo-Keys")});
    QVERIFY(QFileInfo::exists(bench.DiskPath("Diag/Keys")));
    QMessageBox *pQuestion = TestWidgets::VisibleMessageBoxes().constLast();
    const QList<QAbstractButton *> answers = pQuestion->buttons();
    for (QAbstractButton *pAnswer : answers) {
        if (pQuestion->buttonRole(pAnswer) == QMessageBox::YesRole) {
            pAnswer->click();
            break;
        }
    }
    QTRY_COMPARE(ColumnTexts(pInstalled, 0), QStringList{"dash-Engine"});
    QVERIFY(!QFileInfo::exists(bench.DiskPath("Diag/Keys")));
    QVERIFY(QFileInfo::exists(bench.DiskPath("Diag/Engine/a.bin")));
    QTRY_COMPARE(MessageTexts(), QStringList{QStringLiteral("已卸载 1 个软件：\nimmo-Keys")});
    album.Save(&w, QStringLiteral("5-uninstalled"));
    TakeMessages();

    qInfo().noquote() << "one-click download of the catalogue:" << nDownloadMs << "ms";
    qInfo().noquote() << "images of the main window:" << QDir::cleanPath(album.sFolder)
                      << album.slSaved.join(QStringLiteral(", "));
}

QTEST_MAIN(tst_UpdateEndToEnd)
#include "tst_UpdateEndToEnd.moc"
