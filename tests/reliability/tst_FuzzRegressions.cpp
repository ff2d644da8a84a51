// Replays the inputs that once broke a parser (fuzz/regressions/<target>/)
// through the same fuzz target code, so that every build, the sanitizer
// builds included, checks that they stay mended.
#include "FuzzSupport.h"
#include "FuzzTargets.h"

#include <QDir>
#include <QFile>
#include <QtTest>

class tst_FuzzRegressions : public QObject
{
    Q_OBJECT

private:
    static QString RegressionsDir() { return QStringLiteral(UA_SOURCE_DIR "/fuzz/regressions"); }

private slots:
    void foldersNameTargets()
    {
        const QStringList slFolders =
            QDir(RegressionsDir()).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QVERIFY(!slFolders.isEmpty());
        for (const QString &sFolder : slFolders)
            QVERIFY2(FindFuzzTarget(qPrintable(sFolder)), qPrintable(sFolder));
    }

    void replay_data()
    {
        QTest::addColumn<QString>("sTarget");
        QTest::addColumn<QString>("sPath");
        const QDir dir(RegressionsDir());
        const QStringList slFolders = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString &sFolder : slFolders) {
            const QDir folder(dir.filePath(sFolder));
            const QStringList slFiles = folder.entryList(QDir::Files, QDir::Name);
            for (const QString &sFile : slFiles) {
                QTest::newRow(qPrintable(sFolder + QLatin1Char('/') + sFile))
                    << sFolder << folder.filePath(sFile);
            }
        }
    }

    void replay()
    {
        QFETCH(QString, sTarget);
        QFETCH(QString, sPath);
        const FuzzTarget *pTarget = FindFuzzTarget(qPrintable(sTarget));
        QVERIFY(pTarget);
        QFile file(sPath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray baInput = file.readAll();
        // A broken invariant aborts inside the target; sanitizer builds stop on
        // the first report.
        QCOMPARE(pTarget->pRun(reinterpret_cast<const uint8_t *>(baInput.constData()),
                               size_t(baInput.size())),
                 0);
    }
};

QTEST_MAIN(tst_FuzzRegressions)
#include "tst_FuzzRegressions.moc"
