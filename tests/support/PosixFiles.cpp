#include "PosixFiles.h"

bool CanMakePosixSpecialFiles()
{
    return true;
}
