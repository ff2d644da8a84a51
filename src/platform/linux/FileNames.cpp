#include "platform/FileNames.h"

Qt::CaseSensitivity FileNameCase()
{
    return Qt::CaseSensitive;
}
