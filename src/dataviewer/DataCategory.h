#pragma once
// The five kinds of diagnostic records, each in its own folder below the
// device's save folder, in the order they are listed.

#include <QList>
#include <QString>

struct DataCategory {
    QString sFolder;
    int nNumber = 0;
    QString sTitle; // untranslated; shown through the "QObject" context
};

enum DataCategoryNumber {
    CategoryDataStream = 1,
    CategoryTroubleCode = 2,
    CategoryFreezeFrame = 3,
    CategorySystemScan = 4,
    CategoryVehicleVersion = 5
};

// The save folder ("%1/SaveData") of a device disk.
QString SaveFolder(const QString &sDisk);

// The categories with their folders below sSaveFolder.
QList<DataCategory> DataCategories(const QString &sSaveFolder);
