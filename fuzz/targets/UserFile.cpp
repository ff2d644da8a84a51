// "./User.bin", the remembered login beside the program.
#include "FuzzSupport.h"
#include "FuzzTargets.h"

#include "accounts/StoredCredentials.h"

int FuzzUserFile(const uint8_t *pData, size_t nSize)
{
    const QString sPath = FuzzScratchDir() + QStringLiteral("/User.bin");
    if (!WriteFuzzFile(sPath, FuzzBytes(pData, nSize)))
        return 0;
    StoredCredentials credentials;
    if (!ReadStoredCredentials(&credentials, sPath))
        return 0;
    // What was read must survive being written back and read again.
    const QString sCopy = FuzzScratchDir() + QStringLiteral("/User-copy.bin");
    FUZZ_CHECK(WriteStoredCredentials(credentials, sCopy));
    StoredCredentials again;
    FUZZ_CHECK(ReadStoredCredentials(&again, sCopy));
    FUZZ_CHECK(again.sUserName == credentials.sUserName);
    FUZZ_CHECK(again.sPassword == credentials.sPassword);
    FUZZ_CHECK(again.bAuto == credentials.bAuto);
    FUZZ_CHECK(again.bRemember == credentials.bRemember);
    return 0;
}
