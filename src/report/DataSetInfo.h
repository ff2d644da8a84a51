#pragma once

#include <QMetaType>
#include <QString>

// Record-count request for one data band. The engine emits it with
// recordCount 0; the application fills in how many records the band has.
struct DataSetInfo {
    QString dataSetName; // the band's dataSourceName
    int reportPage = 0;  // index of the report page
    int dataBandNo = 0;  // the band's bandNo
    int recordCount = 0;
};

Q_DECLARE_METATYPE(DataSetInfo)
