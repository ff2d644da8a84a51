#include "FormContract.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QWidget>
#include <QtTest>

namespace FormContract
{

void AddColumn()
{
    QTest::addColumn<Row>("row");
}

void AddRows(const QList<Row> &rows)
{
    for (const Row &row : rows)
        QTest::newRow(qPrintable(row.sName)) << row;
}

static QString ShownText(const QWidget *pWidget)
{
    if (pWidget->isWindow())
        return pWidget->windowTitle();
    if (pWidget->metaObject()->indexOfProperty("text") < 0 &&
        pWidget->metaObject()->indexOfProperty("title") >= 0)
        return pWidget->property("title").toString();
    return pWidget->property("text").toString();
}

static QStringList HeaderTexts(const QWidget *pWidget)
{
    const auto *pView = qobject_cast<const QAbstractItemView *>(pWidget);
    if (!pView || !pView->model())
        return {QStringLiteral("<no item view>")};
    QStringList slTexts;
    const QAbstractItemModel *pModel = pView->model();
    for (int nColumn = 0; nColumn < pModel->columnCount(); ++nColumn)
        slTexts << pModel->headerData(nColumn, Qt::Horizontal).toString();
    return slTexts;
}

void Verify(QWidget *pForm, const Row &row)
{
    QVERIFY(pForm);
    // Layouts carry names too; only widgets have texts, sizes and columns.
    QObject *pObject =
        pForm->objectName() == row.sName ? pForm : pForm->findChild<QObject *>(row.sName);
    QVERIFY2(pObject, qPrintable(QStringLiteral("nothing named ") + row.sName));
    if (!row.sClass.isEmpty())
        QVERIFY2(pObject->inherits(qPrintable(row.sClass)),
                 qPrintable(row.sName + QStringLiteral(" is a ") +
                            QLatin1String(pObject->metaObject()->className())));
    for (auto it = row.mapProperties.cbegin(); it != row.mapProperties.cend(); ++it) {
        const QVariant value = pObject->property(qPrintable(it.key()));
        QVERIFY2(value == it.value(), qPrintable(row.sName + QLatin1Char('.') + it.key() +
                                                 QStringLiteral(" is ") + value.toString()));
    }
    const bool bWidgetChecks = !row.sText.isNull() || row.size.isValid() ||
                               row.minimumSize.isValid() || row.eShown != Shown::Any ||
                               !row.slColumns.isEmpty() || !row.sParent.isEmpty() ||
                               row.flags != Qt::WindowFlags();
    if (!bWidgetChecks)
        return;
    auto *pWidget = qobject_cast<QWidget *>(pObject);
    QVERIFY2(pWidget, qPrintable(row.sName + QStringLiteral(" is no widget")));
    if (!row.sText.isNull())
        QCOMPARE(ShownText(pWidget), row.sText);
    if (row.size.isValid())
        QCOMPARE(pWidget->size(), row.size);
    if (row.minimumSize.isValid())
        QCOMPARE(pWidget->minimumSize(), row.minimumSize);
    if (row.eShown == Shown::Hidden)
        QVERIFY2(pWidget->isHidden(), qPrintable(row.sName + QStringLiteral(" is not hidden")));
    if (row.eShown == Shown::Invisible)
        QVERIFY2(!pWidget->isVisible(), qPrintable(row.sName + QStringLiteral(" is visible")));
    if (row.flags != Qt::WindowFlags())
        QVERIFY2((pWidget->windowFlags() & row.flags) == row.flags, "window flags missing");
    if (!row.slColumns.isEmpty())
        QCOMPARE(HeaderTexts(pWidget), row.slColumns);
    if (!row.sParent.isEmpty()) {
        QVERIFY(pWidget->parentWidget());
        QCOMPARE(pWidget->parentWidget()->objectName(), row.sParent);
    }
}

} // namespace FormContract
