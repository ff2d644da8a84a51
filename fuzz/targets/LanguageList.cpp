// "./Lang/language.txt", the list of the settings dialog.
#include "FuzzSupport.h"
#include "FuzzTargets.h"

#include "base/Json.h"
#include "app/SettingDlg.h"

#include <QComboBox>
#include <QDir>
#include <QJsonArray>

int FuzzLanguageList(const uint8_t *pData, size_t nSize)
{
    EnsureFuzzApplication();
    const QByteArray baList = FuzzBytes(pData, nSize);
    // The dialog reads the file (and "config.ini") from the working folder.
    const QString sFolder = FuzzScratchDir() + QStringLiteral("/program");
    if (!WriteFuzzFile(sFolder + QStringLiteral("/Lang/language.txt"), baList))
        return 0;
    const QString sPrevious = QDir::currentPath();
    if (!QDir::setCurrent(sFolder))
        return 0;

    int nCount = -1;
    {
        SettingDlg dialog;
        const QComboBox *pList = dialog.findChild<QComboBox *>(QStringLiteral("cmbLangluage"));
        FUZZ_CHECK(pList);
        nCount = pList->count();
    }
    QDir::setCurrent(sPrevious);

    bool bOk = false;
    const QJsonArray jaList = ParseJsonArray(baList, &bOk);
    int nObjects = 0;
    for (const QJsonValue &value : jaList)
        nObjects += value.isObject() ? 1 : 0;
    FUZZ_CHECK(nCount == (bOk ? nObjects : 0));
    return 0;
}
