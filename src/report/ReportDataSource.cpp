#include "report/ReportDataSource.h"

#include <QDebug>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

ReportDataSource::ReportDataSource(QObject *parent) : QObject(parent) {}

ReportDataSource::~ReportDataSource() = default;

void ReportDataSource::LoadFromElement(const QDomElement &element)
{
    auto attr = [&element](const char *pName) { return element.attribute(QLatin1String(pName)); };
    sType = attr("type");
    sName = attr("name");
    sValue = attr("value");
    if (sValue.isEmpty())
        sValue = element.text();
    sDelimiter = attr("delimiter");
    nRowCount = attr("rowCount").toInt();
    sDbType = attr("dbType");
    sDbName = attr("dbName");
    sDbHost = attr("dbHost");
    sDbUser = attr("dbUser");
    sDbPassword = attr("dbPassword");
    sDbCoding = attr("dbCoding");
    sCharsetCoding = attr("charsetCoding");
    nDbPort = attr("dbPort").toInt();
    sDbConnectionName = attr("dbConnectionName");
    sPlugin = attr("plugin");
    sFileName = attr("fileName");
    sDsAliasName = attr("dsAliasName");
}

void ReportDataSource::Open()
{
    if (bOpened)
        return;
    bOpened = true;
    if (sType.compare(QLatin1String("INLINE"), Qt::CaseInsensitive) == 0)
        OpenInline();
    else if (sType.compare(QLatin1String("SQL"), Qt::CaseInsensitive) == 0)
        OpenSql();
}

// First line: column names; every further line one row. Fields are split by
// the delimiter (a tab when none is given).
void ReportDataSource::OpenInline()
{
    const QString sSplit = sDelimiter.isEmpty() ? QStringLiteral("\t") : sDelimiter;
    QStringList slLines = sValue.split(QLatin1Char('\n'));
    for (QString &sLine : slLines) {
        if (sLine.endsWith(QLatin1Char('\r')))
            sLine.chop(1);
    }
    while (!slLines.isEmpty() && slLines.last().isEmpty())
        slLines.removeLast();
    if (slLines.isEmpty())
        return;
    columns = slLines.takeFirst().split(sSplit);
    for (QString &sColumn : columns)
        sColumn = sColumn.trimmed();
    if (nRowCount > 0 && slLines.size() > nRowCount)
        slLines = slLines.mid(0, nRowCount);
    for (const QString &sLine : qAsConst(slLines)) {
        QVariantList row;
        for (const QString &sCell : sLine.split(sSplit))
            row.append(sCell);
        rows.append(row);
    }
}

// The query is the source's value; the connection lives only for the fetch.
void ReportDataSource::OpenSql()
{
    const QString sConnection = QStringLiteral("report-") + QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(sDbType, sConnection);
        if (!db.isValid()) {
            qDebug() << "Report data source: unknown database driver" << sDbType;
        } else {
            db.setDatabaseName(sDbName);
            db.setHostName(sDbHost);
            db.setUserName(sDbUser);
            db.setPassword(sDbPassword);
            if (nDbPort > 0)
                db.setPort(nDbPort);
            if (!db.open()) {
                qDebug() << "Report data source:" << db.lastError().text();
            } else {
                QSqlQuery query(db);
                query.setForwardOnly(true);
                if (!query.exec(sValue)) {
                    qDebug() << "Report data source:" << query.lastError().text();
                } else {
                    const QSqlRecord record = query.record();
                    for (int i = 0; i < record.count(); ++i)
                        columns.append(record.fieldName(i));
                    while (query.next()) {
                        QVariantList row;
                        for (int i = 0; i < record.count(); ++i)
                            row.append(query.value(i));
                        rows.append(row);
                    }
                }
                db.close();
            }
        }
    }
    QSqlDatabase::removeDatabase(sConnection);
}

QVariant ReportDataSource::Value(int nRow, const QString &sColumn) const
{
    if (nRow < 0 || nRow >= rows.size())
        return QVariant();
    const int nColumn = columns.indexOf(sColumn);
    if (nColumn < 0 || nColumn >= rows.at(nRow).size())
        return QVariant();
    return rows.at(nRow).at(nColumn);
}
