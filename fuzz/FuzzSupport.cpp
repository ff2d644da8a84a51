#include "FuzzSupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutex>
#include <QMutexLocker>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>

void EnsureFuzzApplication()
{
    if (QCoreApplication::instance())
        return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int s_nArgc = 1;
    static char s_szName[] = "fuzz";
    static char *s_argv[] = {s_szName, nullptr};
    // Lives until the process ends, as in the program.
    static QApplication *s_pApp = new QApplication(s_nArgc, s_argv);
    Q_UNUSED(s_pApp);
}

QString FuzzScratchDir()
{
    static QMutex s_mutex;
    static std::unique_ptr<QTemporaryDir> s_pDir;
    QMutexLocker lock(&s_mutex);
    if (!s_pDir) {
        const QString sBase = QFileInfo(QStringLiteral("/dev/shm")).isWritable()
                                  ? QStringLiteral("/dev/shm")
                                  : QDir::tempPath();
        s_pDir = std::make_unique<QTemporaryDir>(sBase + QStringLiteral("/ua-fuzz-XXXXXX"));
    }
    return s_pDir->path();
}

bool WriteFuzzFile(const QString &sPath, const QByteArray &baData)
{
    QDir().mkpath(QFileInfo(sPath).absolutePath());
    QFile file(sPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(baData) == baData.size();
}

void FuzzFail(const char *pCondition, const char *pFile, int nLine)
{
    std::fprintf(stderr, "fuzz check failed: %s (%s:%d)\n", pCondition, pFile, nLine);
    std::fflush(stderr);
    std::abort();
}
