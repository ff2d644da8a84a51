#include "../PosixFiles.h"

bool CanMakePosixSpecialFiles()
{
    return false;
}
