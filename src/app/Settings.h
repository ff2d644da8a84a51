#pragma once
#include <QString>

// "config.ini" in the working directory (the program's folder after start-up).

// "config/language": position in the language list, 0 when absent.
int LanguageSetting();
void StoreLanguageSetting(int nPos);

// "config/test": sent with the catalogue requests, false when absent.
bool TestSetting();

// "config/datapages": shows the tool button of the diagnostic data pages,
// false when absent.
bool DataPagesSetting();

// ":/other/cn.qm", ":/other/tc.qm", ":/other/en.qm" for 0, 1, 2; empty otherwise.
QString LanguageResource(int nPos);

// Qt's own texts (the buttons and titles of its dialogs) for the language at
// nPos: "qtbase_zh_CN.qm" for 0, "qtbase_zh_TW.qm" for 1; empty otherwise
// (English is Qt's own language, and the source texts go with it).
QString QtTranslationFile(int nPos);
