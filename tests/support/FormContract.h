#pragma once
// What a form (a .ui window) must carry, as a table: one row per object the
// code and the tests find by name, with its class, its text and what else the
// form promises about it. A test lists the rows in its formContract_data() and
// checks each against a freshly built form in formContract().

#include <QList>
#include <QMetaType>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVariantMap>

class QWidget;

namespace FormContract
{

// Hidden: hidden by the form itself (isHidden); Invisible: not visible on
// the shown form, however it came to be.
enum class Shown { Any, Hidden, Invisible };

struct Row {
    Row() = default;
    Row(const char *szName, const char *szClass)
        : sName(QLatin1String(szName)), sClass(QLatin1String(szClass))
    {
    }

    // The text a window shows in its title, a group box as its title and
    // anything else as its "text" property.
    Row &Text(const QString &sValue)
    {
        sText = sValue;
        return *this;
    }
    Row &Size(const QSize &value)
    {
        size = value;
        return *this;
    }
    Row &MinimumSize(const QSize &value)
    {
        minimumSize = value;
        return *this;
    }
    Row &Is(Shown eValue)
    {
        eShown = eValue;
        return *this;
    }
    Row &Properties(const QVariantMap &mapValue)
    {
        mapProperties = mapValue;
        return *this;
    }
    // The header texts of a table, which also fix its column count.
    Row &Columns(const QStringList &slValue)
    {
        slColumns = slValue;
        return *this;
    }
    // Window flags the form must have set (others may be set too).
    Row &Flags(Qt::WindowFlags value)
    {
        flags = value;
        return *this;
    }
    Row &Parent(const char *szName)
    {
        sParent = QLatin1String(szName);
        return *this;
    }

    QString sName;
    QString sClass;
    QString sText; // null: not checked
    QSize size;    // invalid: not checked
    QSize minimumSize;
    Shown eShown = Shown::Any;
    QVariantMap mapProperties;
    QStringList slColumns;
    Qt::WindowFlags flags;
    QString sParent; // object name of the parent widget; empty: not checked
};

// Adds the one column ("row") the rows go in.
void AddColumn();

// Adds each row, tagged with its object name.
void AddRows(const QList<Row> &rows);

// Checks row against pForm (the form itself when the row names it, else the
// child of that name); records a test failure when it does not hold.
void Verify(QWidget *pForm, const Row &row);

} // namespace FormContract

Q_DECLARE_METATYPE(FormContract::Row)
