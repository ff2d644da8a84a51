#pragma once
// The data behind a diagnostic report: the record's header, title and items,
// and for a system scan the flat list of systems and their codes. Answers the
// report engine's questions (record count, parameter values).

#include "dataviewer/RecordFile.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

struct DtcRow {
    QString sFirst;
    QString sSecond;
    QString sThird;

    bool operator==(const DtcRow &other) const
    {
        return sFirst == other.sFirst && sSecond == other.sSecond && sThird == other.sThird;
    }
};

class ReportData
{
public:
    // Empties the items and the flat list; header and title stay.
    void ClearItems();
    // Empties everything, header and title too.
    void Clear();
    // Takes what the record file held (header and content only when read).
    void Apply(const ReportRecord &record);

    // Rows of the data band: the flat list when there is one, else the items.
    int RecordCount() const;
    // The text of a template parameter for row nRecNo; unknown names and rows
    // out of range give the name itself.
    QString Value(int nRecNo, const QString &sName) const;

    // Systems with their code counts, an empty row, then each system followed
    // by its codes (an empty row between systems).
    static QList<DtcRow> FlatList(const QJsonArray &jaItems);
    // A vehicle-version "VA" array as one text.
    static QString VersionText(const QJsonArray &jaValues);

    const QJsonObject &Header() const { return joHeader; }
    const QString &Title() const { return sTitle; }
    const QJsonArray &Items() const { return jaItems; }
    const QList<DtcRow> &Flat() const { return lstFlat; }

private:
    QJsonObject joHeader;
    QString sTitle;
    QJsonArray jaItems;
    QList<DtcRow> lstFlat;
};
