// fuzz-seeds: writes the seed corpus of every fuzz target, made with the
// program's own writers (sealing, compression, record files, credentials,
// device frames) and its compiled-in templates.
//
// Usage: fuzz-seeds <corpus folder>   (one sub-folder per target)

#include "FuzzSupport.h"

#include "accounts/StoredCredentials.h"
#include "dataviewer/RecordWriter.h"
#include "device/device.h"
#include "net/ServerProtocol.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace
{
QString g_sOut;
int g_nWritten = 0;

void Seed(const char *pTarget, const QString &sName, const QByteArray &baData)
{
    const QString sPath = QStringLiteral("%1/%2/%3").arg(g_sOut, QLatin1String(pTarget), sName);
    if (WriteFuzzFile(sPath, baData))
        ++g_nWritten;
}

QByteArray Compact(const QJsonObject &jo)
{
    return QJsonDocument(jo).toJson(QJsonDocument::Compact);
}

QJsonObject File(const QString &sPath, const QString &sHash, int nSize)
{
    return QJsonObject{{"Path", sPath}, {"Hash", sHash}, {"Size", nSize}};
}

QJsonObject HomePackage()
{
    return QJsonObject{
        {"dir", "Home"},
        {"rev", "V1.3"},
        {"CN_name", QStringLiteral("主程序")},
        {"EN_name", "main"},
        {"lang_name", "main"},
        {"files", QJsonArray{File("Home/MAIN.bin", "0cc175b9c0f1b6a831c399e269772661", 4097),
                             File("Home/config.json", "92eb5ffee6ae2fec3ad71c777531578f", 12)}}};
}

QJsonObject DashPackage(const QString &sLang)
{
    const QString sPrefix = sLang.isEmpty() ? QString() : sLang + QLatin1Char('/');
    return QJsonObject{{"dir", sPrefix + "Diag/Dash"},
                       {"rev", "2.0"},
                       {"branch", "dash"},
                       {"CN_name", QStringLiteral("大众")},
                       {"EN_name", "VW"},
                       {"lang_name", "VW"},
                       {"files", QJsonArray{File(sPrefix + "Diag/Dash/sub/x y.bin",
                                                 "4a8a08f09d37b73795649038408b5f33", 300),
                                            File(sPrefix + "Diag/Dash/data.db",
                                                 "8277E0910D750195B448797616E091AD", 70000)}}};
}

void ServerReplies()
{
    const QString sRoot = QStringLiteral("http://127.0.0.1:19320/files/");
    const QJsonObject joCatalogue{{"code", "000000"},
                                  {"root", sRoot},
                                  {"list", QJsonArray{HomePackage(), DashPackage(QString())}}};
    QJsonObject joDash = DashPackage(QString());
    const QJsonObject joDownload{{"code", "000000"}, {"root", sRoot}, {"list", QJsonArray{joDash}}};
    const QJsonObject joRefused{{"code", "10001"}, {"msg", "unknown command"}};
    const QList<QByteArray> replies = {Compact(joCatalogue), Compact(joDownload),
                                       Compact(joRefused), QByteArray("[]"), QByteArray()};
    int n = 0;
    for (const QByteArray &baPlain : replies) {
        Seed("server_reply", QStringLiteral("plain-%1").arg(n), QByteArray(1, '\0') + baPlain);
        Seed("server_reply", QStringLiteral("sealed-%1").arg(n),
             QByteArray(1, '\1') + SealPayload(baPlain, PayloadKey()));
        ++n;
    }
}

void CompressedBodies()
{
    const QJsonObject joLogin{{"code", "000000"},
                              {"username", "alice"},
                              {"realname", QStringLiteral("爱丽丝")},
                              {"token", "4f1c2d"}};
    const QJsonObject joRefused{{"code", "10003"}, {"msg", QStringLiteral("用户名太短")}};
    Seed("decompress_body", "login", CompressBody(Compact(joLogin)));
    Seed("decompress_body", "refused", CompressBody(Compact(joRefused)));
    Seed("decompress_body", "envelope",
         CompressedEnvelope(CommandLogin,
                            QJsonObject{{"username", "alice"}, {"password", QString(32, 'A')}}));
    Seed("decompress_body", "empty", CompressBody(QByteArray()));
}

void DeviceReplies()
{
    struct Reply {
        const char *pName;
        quint8 nSelector; // the target's command choice
        QByteArray baPayload;
    };
    const QList<Reply> replies = {
        {"device-id", 0, QByteArray::fromHex("010D00") + QByteArray::fromHex("0011223344556677")},
        {"version", 1, QByteArray::fromHex("010800") + QByteArray("V01.2")},
        {"hash", 2,
         QByteArray::fromHex("011200") + QByteArray::fromHex("00112233445566778899aabbccddeeff")},
        {"begin", 3, QByteArray::fromHex("010000")},
        {"block", 4, QByteArray::fromHex("010100")},
        {"block-sequence-error", 4, QByteArray::fromHex("01011C")},
        {"end-block", 5, QByteArray::fromHex("010300")},
        {"finish", 6, QByteArray::fromHex("010500")},
        {"raw", 7, QByteArray::fromHex("010800")},
    };
    for (const Reply &reply : replies) {
        const QByteArray baFrame = device::WrapFrame(device::EncryptPayload(reply.baPayload), true);
        Seed("device_reply", QLatin1String(reply.pName),
             QByteArray(1, char(reply.nSelector)) + baFrame);
        Seed("device_reply", QLatin1String(reply.pName) + QStringLiteral("-plain"),
             QByteArray(1, char(reply.nSelector)) + device::WrapFrame(reply.baPayload, false));
    }
}

QJsonObject Code(const QString &sId, const QString &sStatus, const QString &sText)
{
    return QJsonObject{{"DID", sId}, {"STAT", sStatus}, {"DDE", sText}};
}

void Records()
{
    const QJsonObject joHeader{{"VehicleName", "Golf 1.4 TSI"}, {"Time", "2025-03-01 09:30:12"}};
    const QJsonArray jaStream{
        QJsonObject{{"LB", "Engine speed"}, {"RV", "650-850"}, {"VA", "780"}, {"UNT", "rpm"}},
        QJsonObject{{"LB", QStringLiteral("Coolant temperature")},
                    {"RV", "80-105"},
                    {"VA", "88"},
                    {"UNT", QStringLiteral("°C")}}};
    QList<QJsonArray> lstFrames;
    for (int i = 0; i < 4; ++i)
        lstFrames.append(QJsonArray{QString::number(780 + i), QString::number(88 + i)});
    Seed("record_file", "1-data-stream",
         RecordWriter::Record(joHeader, "Engine", jaStream, lstFrames));
    Seed("record_file", "2-trouble-codes",
         RecordWriter::Record(
             joHeader, "Engine",
             QJsonArray{Code("P0301", "Current", "Cylinder 1 misfire"),
                        Code("P0420", QStringLiteral("历史"), QStringLiteral("催化器效率低"))}));
    Seed("record_file", "3-freeze-frame",
         RecordWriter::Record(joHeader, "Engine",
                              QJsonArray{QJsonObject{{"LB", "Load"}, {"VA", "31"}, {"UNT", "%"}}}));
    Seed("record_file", "4-system-scan",
         RecordWriter::Record(
             joHeader, "Auto scan",
             QJsonArray{QJsonObject{{"LB", "Engine"},
                                    {"VA", "OK"},
                                    {"IES", QJsonArray{Code("P0301", "Current", "Misfire")}}},
                        QJsonObject{{"LB", "ABS"}, {"VA", "No codes"}, {"IES", QJsonArray()}}}));
    Seed("record_file", "5-vehicle-version",
         RecordWriter::Record(
             joHeader, "Versions",
             QJsonArray{QJsonObject{{"LB", "ECU"}, {"VA", QJsonArray{"03C906", "H13"}}}}));
}

void Templates()
{
    for (int n = 2; n <= 5; ++n) {
        QFile file(QStringLiteral(":/other/%1.xml").arg(n));
        if (file.open(QIODevice::ReadOnly))
            Seed("report_template", QStringLiteral("%1.xml").arg(n), file.readAll());
    }
}

void Manifests()
{
    QJsonObject joDash = DashPackage("EN");
    joDash["root"] = "http://127.0.0.1:19320/files/";
    joDash["lang"] = "EN";
    Seed("package_manifest", "dash-en", Compact(joDash));
    QJsonObject joHome = HomePackage();
    joHome["root"] = "http://127.0.0.1:19320/files/";
    joHome["lang"] = "";
    Seed("package_manifest", "home", Compact(joHome));
    // What a hostile server might send.
    QJsonObject joHostile = joHome;
    joHostile["dir"] = "../outside";
    joHostile["files"] = QJsonArray{File("../victim.bin", "", 1),
                                    File("/etc/passwd", "", 1),
                                    File("C:/Windows/x.dll", "", 1),
                                    File("Home/../../victim.bin", "", 1),
                                    File(QString(300, 'a') + "/b", "", 1),
                                    File("Home/dup.bin", "", 2147483647),
                                    File("Home/dup.bin", "", 5)};
    joHostile["root"] = "file:///etc/";
    Seed("package_manifest", "hostile", Compact(joHostile));
}

void Credentials()
{
    const QString sTemp = FuzzScratchDir() + QStringLiteral("/seed-user.bin");
    const QList<StoredCredentials> samples = {
        {QStringLiteral("alice"), QString(32, 'B'), true, true},
        {QStringLiteral("bob"), QString(), false, false},
        {QStringLiteral("用户"), QString(32, 'C'), false, true},
    };
    int n = 0;
    for (const StoredCredentials &credentials : samples) {
        if (!WriteStoredCredentials(credentials, sTemp))
            continue;
        QFile file(sTemp);
        if (file.open(QIODevice::ReadOnly))
            Seed("user_bin", QStringLiteral("user-%1").arg(n++), file.readAll());
    }
}

void LanguageLists()
{
    QFile file(QStringLiteral(UA_SOURCE_DIR "/resources/Lang/language.txt"));
    if (file.open(QIODevice::ReadOnly))
        Seed("language_list", "shipped", file.readAll());
    Seed("language_list", "skipped-element",
         R"([{"name":"Chinese","pack":"cn"},"tc",{"name":"English","pack":2}])");
    Seed("language_list", "not-array", R"({"name":"English"})");
}
} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        QTextStream(stderr) << "usage: fuzz-seeds <corpus folder>\n";
        return 2;
    }
    EnsureFuzzApplication();
    g_sOut = QString::fromLocal8Bit(argv[1]);
    ServerReplies();
    CompressedBodies();
    DeviceReplies();
    Records();
    Templates();
    Manifests();
    Credentials();
    LanguageLists();
    QTextStream(stdout) << "fuzz-seeds: " << g_nWritten << " seeds in " << g_sOut << "\n";
    return g_nWritten > 0 ? 0 : 1;
}
