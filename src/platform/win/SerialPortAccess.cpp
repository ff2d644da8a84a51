#include "platform/SerialPortAccess.h"

// A COM port that cannot be opened is held by another program; rights do not come into it.

bool SerialPortAccessDenied(const std::string & /*sPath*/)
{
    return false;
}

std::string SerialPortAccessHint(const std::string & /*sPath*/, const std::string & /*sAppDir*/)
{
    return std::string();
}
