#include "device/DeviceState.h"

#include <QMutex>
#include <QMutexLocker>

namespace
{
QMutex g_snMutex;
QString g_sSN;
} // namespace

QString CurrentSerialNumber()
{
    QMutexLocker lock(&g_snMutex);
    return g_sSN;
}

void SetCurrentSerialNumber(const QString &sSN)
{
    QMutexLocker lock(&g_snMutex);
    g_sSN = sSN;
}
