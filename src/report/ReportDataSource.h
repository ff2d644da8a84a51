#pragma once

#include <QDomElement>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QVector>

// A data source written into a report page. "INLINE" rows come from the
// template itself, "SQL" rows from a database query; "XML" and "plugin"
// sources are read but deliver no rows.
class ReportDataSource : public QObject
{
    Q_OBJECT
public:
    explicit ReportDataSource(QObject *parent = nullptr);
    ~ReportDataSource() override;

    void LoadFromElement(const QDomElement &element);
    // Fetches the rows; called once per rendering before the first record.
    void Open();
    int RowCount() const { return rows.size(); }
    // The value of a column for a row; invalid when either is unknown.
    QVariant Value(int nRow, const QString &sColumn) const;

    QString sType;
    QString sName;
    QString sValue;
    QString sDelimiter;
    int nRowCount = 0;
    // SQL
    QString sDbType;
    QString sDbName;
    QString sDbHost;
    QString sDbUser;
    QString sDbPassword;
    QString sDbCoding;
    QString sCharsetCoding;
    int nDbPort = 0;
    QString sDbConnectionName;
    // plugin
    QString sPlugin;
    QString sFileName;
    QString sDsAliasName;

private:
    void OpenInline();
    void OpenSql();

    QStringList columns;
    QVector<QVariantList> rows;
    bool bOpened = false;
};
