#include "platform/RemovableVolume.h"

#include "platform/linux/BlockDevice.h"

bool IsRemovableVolume(const std::string & /*sRootPath*/, const std::string &sDevice)
{
    return IsRemovableBlockDevice(QString::fromStdString(sDevice));
}
