// "User.bin": the stored digest opens the account, so the file is the user's alone.

#include "accounts/StoredCredentials.h"

#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>

class tst_StoredCredentials : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void writtenForTheUserAlone_data();
    void writtenForTheUserAlone();

private:
    mode_t m_nUmask = 0;
};

namespace
{
mode_t Mode(const QString &sPath)
{
    struct stat st = {};
    return ::lstat(QFile::encodeName(sPath).constData(), &st) == 0 ? (st.st_mode & 07777) : 0;
}
} // namespace

void tst_StoredCredentials::initTestCase()
{
    // With nothing masked, a file created without a mode of its own is readable by all.
    m_nUmask = ::umask(0);
}

void tst_StoredCredentials::cleanupTestCase()
{
    ::umask(m_nUmask);
}

void tst_StoredCredentials::writtenForTheUserAlone_data()
{
    QTest::addColumn<QString>("sBefore");
    QTest::addColumn<bool>("bWritten");
    QTest::newRow("no file yet") << "" << true;
    QTest::newRow("file of an earlier version, readable by all") << "0644" << true;
    QTest::newRow("file readable and writable by all") << "0666" << true;
    // A link would carry the digest wherever it points.
    QTest::newRow("link") << "link" << false;
}

void tst_StoredCredentials::writtenForTheUserAlone()
{
    QFETCH(QString, sBefore);
    QFETCH(bool, bWritten);
    QTemporaryDir dir;
    const QString sPath = dir.filePath("User.bin");
    const QString sTarget = dir.filePath("target");
    if (sBefore == "link") {
        QFile target(sTarget);
        QVERIFY(target.open(QIODevice::WriteOnly));
        target.write("old");
        target.close();
        QVERIFY(QFile::link(sTarget, sPath));
    } else if (!sBefore.isEmpty()) {
        QFile file(sPath);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("old");
        file.close();
        QCOMPARE(::chmod(QFile::encodeName(sPath).constData(), sBefore.toUInt(nullptr, 8)), 0);
    }

    StoredCredentials credentials;
    credentials.sUserName = "alice";
    credentials.sPassword = "E10ADC3949BA59ABBE56E057F20F883E";
    credentials.bRemember = true;
    QCOMPARE(WriteStoredCredentials(credentials, sPath), bWritten);
    if (!bWritten) {
        QVERIFY(QFileInfo(sPath).isSymLink());
        QFile target(sTarget);
        QVERIFY(target.open(QIODevice::ReadOnly));
        QCOMPARE(target.readAll(), QByteArray("old"));
        return;
    }
    QCOMPARE(Mode(sPath), mode_t(0600));
    StoredCredentials read;
    QVERIFY(ReadStoredCredentials(&read, sPath));
    QCOMPARE(read.sPassword, credentials.sPassword);
    // Nothing is left beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"User.bin"}));
}

QTEST_GUILESS_MAIN(tst_StoredCredentials)
#include "tst_StoredCredentials.moc"
