#include "platform/PrivateFile.h"

bool PreparePrivateFile(const std::string & /*sPath*/)
{
    return true;
}
