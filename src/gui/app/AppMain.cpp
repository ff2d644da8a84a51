#include "app/AppMain.h"

#include "app/AppFont.h"
#include "app/DemoScreenshot.h"
#include "app/Language.h"
#include "app/SingleApplication.h"
#include "app/StyleSheet.h"
#include "app/WorkingFolder.h"
#include "device/DriverInstall.h"
#include "net/ProxyInfo.h"
#include "platform/CrashHandler.h"
#include "update/MainWindow.h"
#include "widgets/AppInit.h"

#include <QDebug>
#include <QDir>
#include <QIcon>
#include <QtConcurrent>
#include <curl/curl.h>

int RunUpdateAssist(int argc, char *argv[])
{
    SingleApplication app(argc, argv);
    // The first copy has been asked to come forward; touch nothing else.
    if (app.IsRunning())
        return 0;

    // One name however the program was started (the installed command is a
    // link called "updateassist"): it names the user data folder below and
    // the window class the desktop entry refers to.
    QCoreApplication::setApplicationName(QStringLiteral("UpdateAssist"));
    // "config.ini", "User.bin" and "crash.dmp" live beside the program,
    // wherever it was started from, or in the user's data folder when the
    // program's folder is read-only (installed under /usr). "help", "Lang"
    // and the driver folder are read from the program's folder.
    QDir::setCurrent(ChooseWorkingFolder(ProgramFolder()));

    curl_global_init(CURL_GLOBAL_ALL);
    LoadActiveProxy();
    // The future is dropped: start-up never waits for the driver set-up.
    QtConcurrent::run(InstallUsbDriver);
    InstallCrashHandler("crash.dmp");
    ApplyStoredLanguage();
    app.setStyleSheet(AppStyleSheet());
    QApplication::setFont(AppFont());
    QApplication::setWindowIcon(QIcon(":/images/logo.png"));

    AppInit appInit;
    MainWindow window;
    app.setMainWindow(&window);
    window.show();
    window.FirstShow();
    ScheduleScreenshotFromEnvironment(&window);
    qDebug() << "UpdateAssist started in" << QDir::currentPath();

    // Locals go in reverse order: the main window, then the drag filter, then
    // the application object.
    return app.exec();
}
