#pragma once

#include <QDomElement>
#include <QList>
#include <QObject>
#include <QString>

class ReportFieldObject;

// One band of a report page with its fields in element order.
class ReportBand : public QObject
{
    Q_OBJECT
public:
    // The order number of a kind also fixes where it prints on a page.
    enum BandType {
        Unknown = 0,
        PageHeader = 1,
        ReportTitle = 2,
        MasterHeader = 3,
        DataGroupHeader = 4,
        MasterData = 5,
        DataGroupFooter = 6,
        MasterFooter = 7,
        ReportSummary = 8,
        PageFooter = 9
    };
    Q_ENUM(BandType)

    explicit ReportBand(QObject *parent = nullptr);

    void LoadFromElement(const QDomElement &element);
    static BandType TypeFromName(const QString &sType);

    BandType type = Unknown;
    QString sName;
    int nHeight = 0;
    int nWidth = 0;
    int nLeft = 0;
    int nRight = 0;
    int nBandNo = 1;
    QString sDataSourceName;
    QString sGroupingField;
    int nGroupLevel = 0;
    bool bShowInGroup = false;
    bool bStartNewNumeration = false;
    bool bStartNewPage = false;
    QList<ReportFieldObject *> fields;
};
