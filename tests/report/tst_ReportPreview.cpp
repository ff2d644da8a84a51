// The report engine's dialogs: its print preview with the export actions and
// the save-file dialog behind them, answered as a user would.

#include "ReportTestFiles.h"
#include "ReportTestUtil.h"

#include "report/ReportEngine.h"
#include "report/ReportPreview.h"

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QTimer>
#include <QTranslator>
#include <QUrl>
#include <QtTest>

using namespace ReportTest;

class tst_ReportPreview : public ReportTestFiles
{
    Q_OBJECT

private slots:
    void initTestCase();
    void previewDialogHasExportActions_data();
    void previewDialogHasExportActions();
    void cancelledExportSavesNothing();
    void exportActionsSave_data();
    void exportActionsSave();
    void withoutDialogsNothingIsShown();
};

void tst_ReportPreview::initTestCase()
{
    QVERIFY(IsValid());
}

void tst_ReportPreview::previewDialogHasExportActions_data()
{
    QTest::addColumn<QString>("sTranslation");
    QTest::addColumn<QString>("sPdf");
    QTest::addColumn<QString>("sHtml");
    QTest::newRow("untranslated") << QString() << "Save as PDF"
                                  << "Save as HTML";
    QTest::newRow("simplified Chinese") << ":/other/cn.qm"
                                        << "另存为PDF"
                                        << "另存为HTML";
    QTest::newRow("traditional Chinese") << ":/other/tc.qm"
                                         << "另存為PDF"
                                         << "另存為HTML";
    QTest::newRow("English") << ":/other/en.qm"
                             << "Save as PDF"
                             << "Save as HTML";
}

void tst_ReportPreview::previewDialogHasExportActions()
{
    QFETCH(QString, sTranslation);
    QFETCH(QString, sPdf);
    QFETCH(QString, sHtml);
    QTranslator translator;
    if (!sTranslation.isEmpty()) {
        QVERIFY(translator.load(sTranslation));
        QCoreApplication::installTranslator(&translator);
    }
    ReportEngine engine;
    new ReportPreview(&engine);
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("dialog.xml"), TableTemplate())));
    DataProvider data(&engine);
    data.counts[1] = 3;
    data.value = RowValue;
    const auto pPrinter = PdfPrinter(Pdf(QStringLiteral("dialog.pdf")));
    QVERIFY(engine.setTargetPrinter(pPrinter.get()));
    QStringList slActions;
    int nPages = -1;
    QTimer::singleShot(0, this, [&]() {
        for (QWidget *pWidget : QApplication::topLevelWidgets()) {
            auto *pDialog = qobject_cast<QPrintPreviewDialog *>(pWidget);
            if (!pDialog)
                continue;
            for (QAction *pAction : pDialog->findChildren<QAction *>()) {
                if (pAction->objectName().startsWith(QLatin1String("actExp")) &&
                    !pAction->icon().availableSizes().isEmpty())
                    slActions.append(pAction->objectName() + QLatin1Char('=') + pAction->text());
            }
            if (auto *pPreview = pDialog->findChild<QPrintPreviewWidget *>())
                nPages = pPreview->pageCount();
            pDialog->reject();
        }
    });
    bool bDestroyed = false;
    connect(&engine, &ReportEngine::previewDestroyed, this, [&]() { bDestroyed = true; });
    engine.printReport(false, false);
    QCoreApplication::removeTranslator(&translator);
    slActions.sort();
    // Both with the pictures the program ships.
    QCOMPARE(slActions, QStringList({QStringLiteral("actExpToHtml=") + sHtml,
                                     QStringLiteral("actExpToPdf=") + sPdf}));
    QCOMPARE(nPages, 1);
    QVERIFY(bDestroyed);
    QVERIFY(engine.setTargetPrinter(pPrinter.get()));
}

void tst_ReportPreview::cancelledExportSavesNothing()
{
    ReportEngine engine;
    new ReportPreview(&engine);
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("cancel.xml"), TableTemplate())));
    QAction action;
    action.setObjectName(QStringLiteral("actExpToPdf"));
    connect(&action, &QAction::triggered, &engine, &ReportEngine::exportTo);
    bool bSeen = false;
    QTimer::singleShot(0, this, [&]() {
        for (QWidget *pWidget : QApplication::topLevelWidgets()) {
            if (auto *pDialog = qobject_cast<QFileDialog *>(pWidget)) {
                bSeen = true;
                pDialog->reject();
            }
        }
    });
    m_openedUrls.clear();
    const QStringList slBefore = QDir(m_dir.path()).entryList(QDir::Files);
    action.trigger();
    QVERIFY(bSeen);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), slBefore);
    QVERIFY(m_openedUrls.isEmpty());
}

void tst_ReportPreview::exportActionsSave_data()
{
    QTest::addColumn<QString>("sAction");
    QTest::addColumn<QString>("sFile");
    QTest::addColumn<bool>("bOpened");
    QTest::newRow("pdf") << "actExpToPdf"
                         << "saved.pdf" << false;
    QTest::newRow("html") << "actExpToHtml"
                          << "saved.html" << true;
}

void tst_ReportPreview::exportActionsSave()
{
    QFETCH(QString, sAction);
    QFETCH(QString, sFile);
    QFETCH(bool, bOpened);
    // Qt's own dialog, which the test answers (Windows would show the system's).
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    ReportEngine engine;
    new ReportPreview(&engine);
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("actions.xml"), TableTemplate())));
    DataProvider data(&engine);
    data.counts[1] = 2;
    data.value = RowValue;
    QAction action;
    action.setObjectName(sAction);
    connect(&action, &QAction::triggered, &engine, &ReportEngine::exportTo);
    const QString sPath = m_dir.filePath(sFile);
    QString sFilter;
    QString sCaption;
    QTimer::singleShot(0, this, [&]() {
        for (QWidget *pWidget : QApplication::topLevelWidgets()) {
            if (auto *pDialog = qobject_cast<QFileDialog *>(pWidget)) {
                sFilter = pDialog->nameFilters().join(QLatin1Char(';'));
                sCaption = pDialog->windowTitle();
                pDialog->selectFile(sPath);
                QMetaObject::invokeMethod(pDialog, "accept");
            }
        }
    });
    m_openedUrls.clear();
    action.trigger();
    QVERIFY(sFilter.contains(sFile.endsWith(QLatin1String(".pdf"))
                                 ? QStringLiteral("PDF Files (*.pdf)")
                                 : QStringLiteral("HTML Files (*.html)")));
    QCOMPARE(sCaption, QStringLiteral("Save File"));
    QVERIFY(QFile::exists(sPath));
    QCOMPARE(m_openedUrls.size(), bOpened ? 1 : 0);
    if (bOpened)
        QCOMPARE(m_openedUrls.first().toLocalFile(), sPath);
}

// An engine that was given no dialogs shows none: a preview request and the
// export actions do nothing.
void tst_ReportPreview::withoutDialogsNothingIsShown()
{
    ReportEngine engine;
    QVERIFY(engine.loadTemplate(Template(QStringLiteral("bare.xml"), TableTemplate())));
    int nDialogs = 0;
    QTimer::singleShot(0, this, [&]() {
        for (QWidget *pWidget : QApplication::topLevelWidgets()) {
            if (qobject_cast<QDialog *>(pWidget)) {
                ++nDialogs;
                qobject_cast<QDialog *>(pWidget)->reject();
            }
        }
    });
    bool bDestroyed = false;
    connect(&engine, &ReportEngine::previewDestroyed, this, [&]() { bDestroyed = true; });
    engine.printReport(false, false);
    QAction action;
    action.setObjectName(QStringLiteral("actExpToPdf"));
    connect(&action, &QAction::triggered, &engine, &ReportEngine::exportTo);
    action.trigger();
    QCoreApplication::processEvents();
    QCOMPARE(nDialogs, 0);
    QVERIFY(!bDestroyed);
}

QTEST_MAIN(tst_ReportPreview)
#include "tst_ReportPreview.moc"
