#pragma once
// The base of the report tests that write files: a temporary folder for the
// templates and what the engine writes (kept when REPORT_TEST_KEEP is set, for
// looking at the output by hand), and the file URLs the engine asks the
// desktop to open, noted instead of opened while the test object lives.
//
//     class tst_ReportEngine : public ReportTestFiles { ... };
//     QVERIFY(IsValid());                                         // initTestCase
//     engine.loadTemplate(Template(QStringLiteral("t.xml"), sXml));
//     engine.exportToPdf(Pdf(QStringLiteral("t.pdf")), true);
//     QCOMPARE(m_openedUrls.size(), 1);

#include "ReportTestUtil.h"

#include <QDesktopServices>
#include <QList>
#include <QObject>
#include <QTemporaryDir>
#include <QUrl>

class ReportTestFiles : public QObject
{
    Q_OBJECT

public:
    ReportTestFiles()
    {
        m_dir.setAutoRemove(qEnvironmentVariableIsEmpty("REPORT_TEST_KEEP"));
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "OpenUrl");
    }
    ~ReportTestFiles() override { QDesktopServices::unsetUrlHandler(QStringLiteral("file")); }
    ReportTestFiles(const ReportTestFiles &) = delete;
    ReportTestFiles &operator=(const ReportTestFiles &) = delete;

public slots:
    void OpenUrl(const QUrl &url) { m_openedUrls.append(url); }

protected:
    bool IsValid() const { return m_dir.isValid(); }
    // Writes the template sXml as sName in the folder; its path.
    QString Template(const QString &sName, const QString &sXml)
    {
        return ReportTest::WriteFile(m_dir, sName, sXml);
    }
    QString Pdf(const QString &sName) const { return m_dir.filePath(sName); }

    QTemporaryDir m_dir;
    QList<QUrl> m_openedUrls;
};
