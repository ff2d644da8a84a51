#include "update/TransferStopFlag.h"

std::atomic<quint8> TransferStopFlag{0};
