// record-gen: writes sample diagnostic records of all five kinds, in the
// device's file format, below a "SaveData" folder.
//
// Usage: record-gen [--pdf <folder>] <SaveData folder>
//        record-gen --stream <file> --frames <n>
//   --pdf     also renders the first record of each report kind into
//             <folder>/report-<n>.pdf through the report page (n = 2..5).
//   --stream  writes one data-stream record of three items and n small frames
//             (about 22 bytes each: 11,700,000 make 245 MiB) into <file>.

#include "dataviewer/RecordWriter.h"
#include "dataviewer/Report.h"
#include "report/ReportEngine.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>
#include <cmath>
#include <memory>

namespace
{

QJsonObject Header(const QString &sVehicle)
{
    return QJsonObject{{"VehicleName", sVehicle}, {"Time", "2025-03-01 09:30:12"}};
}

QJsonObject Code(const QString &sId, const QString &sStatus, const QString &sDescription)
{
    return QJsonObject{{"DID", sId}, {"STAT", sStatus}, {"DDE", sDescription}};
}

QByteArray DataStream(int nVariant)
{
    const QJsonArray jaItems{
        QJsonObject{{"LB", "Engine speed"}, {"RV", "650-850"}, {"VA", "780"}, {"UNT", "rpm"}},
        QJsonObject{{"LB", "Coolant temperature"}, {"RV", "80-105"}, {"VA", "88"}, {"UNT", "°C"}},
        QJsonObject{
            {"LB", "Ignition timing advance °"}, {"RV", "0-15"}, {"VA", "6.5"}, {"UNT", "°"}},
        QJsonObject{{"LB", "Vehicle speed"}, {"RV", "0-255"}, {"VA", "0"}, {"UNT", "km/h"}},
        QJsonObject{{"LB", "Throttle position"}, {"RV", "0-100"}, {"VA", "3.1"}, {"UNT", "%"}},
        QJsonObject{{"LB", "Battery voltage"}, {"RV", "12-14.8"}, {"VA", "14.1"}, {"UNT", "V"}},
    };
    QList<QJsonArray> lstFrames;
    const int nFrames = 8 + 4 * nVariant;
    for (int i = 0; i < nFrames; ++i) {
        const double d = std::sin(i / 2.0);
        lstFrames.append(QJsonArray{
            QString::number(780 + int(900 * (1 + d))), QString::number(60 + 3 * i),
            QString::number(6.5 + 4 * d, 'f', 1), QString::number(i * 7),
            QString::number(3.1 + 10 * (1 + d), 'f', 1), QString::number(14.1 - 0.05 * i, 'f', 2)});
    }
    return RecordWriter::Record(Header(nVariant ? "Toyota Corolla 1.8" : "Volkswagen Golf 1.4 TSI"),
                                "Engine", jaItems, lstFrames);
}

QByteArray TroubleCodes(int nVariant)
{
    QJsonArray jaItems{
        Code("P0301", "Current", "Cylinder 1 misfire detected"),
        Code("P0420", "History", "Catalyst system efficiency below threshold (bank 1)"),
        Code("P0171", "Current", "System too lean (bank 1)"),
    };
    if (nVariant)
        jaItems.append(Code("P0118", "Intermittent",
                            "Engine coolant temperature circuit high input (above 140°C)"));
    return RecordWriter::Record(Header("Volkswagen Golf 1.4 TSI"), "Engine", jaItems);
}

QByteArray FreezeFrame(int nVariant)
{
    const QJsonArray jaItems{
        QJsonObject{{"LB", "Fault code"}, {"VA", nVariant ? "P0171" : "P0301"}, {"UNT", ""}},
        QJsonObject{{"LB", "Engine speed"}, {"VA", "2140"}, {"UNT", "rpm"}},
        QJsonObject{{"LB", "Coolant temperature"}, {"VA", "92"}, {"UNT", "°C"}},
        QJsonObject{{"LB", "Intake air temperature"}, {"VA", "31"}, {"UNT", "°C"}},
        QJsonObject{{"LB", "Calculated load value"}, {"VA", "41.2"}, {"UNT", "%"}},
        QJsonObject{{"LB", "Short term fuel trim (bank 1)"}, {"VA", "-3.1"}, {"UNT", "%"}},
        QJsonObject{{"LB", "Vehicle speed"}, {"VA", "56"}, {"UNT", "km/h"}},
    };
    return RecordWriter::Record(Header("Volkswagen Golf 1.4 TSI"), "Engine", jaItems);
}

QByteArray SystemScan(int nVariant)
{
    const QJsonArray jaItems{
        QJsonObject{{"LB", "Engine"},
                    {"VA", "No fault code"},
                    {"IES", QJsonArray{Code("P0301", "Current", "Cylinder 1 misfire detected"),
                                       Code("P0171", "Current", "System too lean (bank 1)")}}},
        QJsonObject{{"LB", "ABS"}, {"VA", "No fault code"}, {"IES", QJsonArray{}}},
        QJsonObject{{"LB", "Airbag"},
                    {"VA", "No fault code"},
                    {"IES", nVariant ? QJsonArray{}
                                     : QJsonArray{Code("B1000", "History",
                                                       "Control module internal fault")}}},
        QJsonObject{{"LB", "Transmission"}, {"VA", "No fault code"}, {"IES", QJsonArray{}}},
        QJsonObject{{"LB", "Body control"}, {"VA", "Not responding"}, {"IES", QJsonArray{}}},
    };
    return RecordWriter::Record(Header("Toyota Corolla 1.8"), "Auto scan", jaItems);
}

QByteArray VehicleVersion(int nVariant)
{
    const QJsonArray jaItems{
        QJsonObject{{"LB", "VIN"}, {"VA", QJsonArray{"WVWZZZ1KZ8W123456"}}},
        QJsonObject{{"LB", "ECU part number"}, {"VA", QJsonArray{"03C906056DP "}}},
        QJsonObject{{"LB", "Software version"}, {"VA", QJsonArray{" 5161", "H08"}}},
        QJsonObject{{"LB", "Hardware version"}, {"VA", QJsonArray{nVariant ? "H13" : "H12"}}},
        QJsonObject{{"LB", "Calibration IDs"},
                    {"VA", QJsonArray{"CAL-0412", " CAL-0413 ", "CAL-0999"}}},
        QJsonObject{{"LB", "Coding"}, {"VA", QJsonArray{}}},
    };
    return RecordWriter::Record(Header("Volkswagen Golf 1.4 TSI"), "Engine", jaItems);
}

// A long recording, written as it goes: millions of frames need not fit in memory.
bool WriteLongStream(const QString &sPath, qint64 nFrames)
{
    QDir().mkpath(QFileInfo(sPath).absolutePath());
    QFile file(sPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QJsonArray jaItems{
        QJsonObject{{"LB", "Engine speed"}, {"RV", "650-850"}, {"VA", "780"}, {"UNT", "rpm"}},
        QJsonObject{{"LB", "Coolant temperature"}, {"RV", "80-105"}, {"VA", "88"}, {"UNT", "°C"}},
        QJsonObject{{"LB", "Vehicle speed"}, {"RV", "0-255"}, {"VA", "0"}, {"UNT", "km/h"}},
    };
    if (file.write(RecordWriter::Record(Header("Volkswagen Golf 1.4 TSI"), "Engine", jaItems)) < 0)
        return false;
    QByteArray baBuffer;
    for (qint64 i = 0; i < nFrames; ++i) {
        const QByteArray baFrame = QByteArray("[\"") + QByteArray::number(i % 1000) + "\",\"" +
                                   QByteArray::number((i / 7) % 100) + "\",\"" +
                                   QByteArray::number(i % 10) + "\"]";
        const quint32 nLength = quint32(baFrame.size());
        baBuffer.append(char(nLength >> 24)).append(char(nLength >> 16));
        baBuffer.append(char(nLength >> 8)).append(char(nLength));
        baBuffer.append(baFrame).append(2, '\0');
        if (baBuffer.size() >= (1 << 20) || i + 1 == nFrames) {
            if (file.write(baBuffer) != baBuffer.size())
                return false;
            baBuffer.clear();
        }
    }
    return file.flush();
}

} // namespace

int main(int argc, char *argv[])
{
    // Rendering needs the widgets, not a display; writing records needs neither.
    bool bPdf = false;
    for (int i = 1; i < argc; ++i)
        bPdf = bPdf || qstrncmp(argv[i], "--pdf", 5) == 0;
    if (bPdf && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> pApp(bPdf ? new QApplication(argc, argv)
                                                : new QCoreApplication(argc, argv));
    QCoreApplication &app = *pApp;
    QTextStream err(stderr);
    QCommandLineParser parser;
    parser.addOption({"pdf", "Render the report of each kind into <folder>.", "folder"});
    parser.addOption({"stream", "Write one long data-stream record into <file>.", "file"});
    parser.addOption({"frames", "Frames of the --stream record.", "n"});
    parser.addPositionalArgument("SaveData", "Folder to write the records into.");
    parser.process(app);
    if (parser.isSet("stream")) {
        bool bOk = false;
        const qint64 nFrames = parser.value("frames").toLongLong(&bOk);
        if (!bOk || nFrames < 0 || !parser.positionalArguments().isEmpty()) {
            err << "usage: record-gen --stream <file> --frames <n>\n";
            return 2;
        }
        if (!WriteLongStream(parser.value("stream"), nFrames)) {
            err << "record-gen: cannot write " << parser.value("stream") << "\n";
            return 1;
        }
        return 0;
    }
    if (parser.positionalArguments().size() != 1) {
        err << "usage: record-gen [--pdf <folder>] <SaveData folder>\n"
               "       record-gen --stream <file> --frames <n>\n";
        return 2;
    }
    const QDir saveDir(parser.positionalArguments().at(0));
    struct Sample {
        const char *szFolder;
        const char *szName;
        QByteArray (*pMake)(int);
    };
    const Sample samples[] = {
        {"DataStreams", "DS_ENGINE_%1.dat", DataStream},
        {"DTC", "DTC_ENGINE_%1.dat", TroubleCodes},
        {"FreezeFrame", "FF_ENGINE_%1.dat", FreezeFrame},
        {"SystemData", "SCAN_%1.dat", SystemScan},
        {"VehicleVersion", "VER_ENGINE_%1.dat", VehicleVersion},
    };
    QStringList slFirstOfKind;
    for (const Sample &sample : samples) {
        for (int nVariant = 0; nVariant < 2; ++nVariant) {
            const QString sPath = saveDir.filePath(
                QString("%1/%2").arg(sample.szFolder, QString(sample.szName).arg(nVariant + 1)));
            if (!RecordWriter::WriteFile(sPath, sample.pMake(nVariant))) {
                err << "record-gen: cannot write " << sPath << "\n";
                return 1;
            }
            if (nVariant == 0)
                slFirstOfKind << sPath;
        }
    }
    if (!parser.isSet("pdf"))
        return 0;

    const QDir pdfDir(parser.value("pdf"));
    QDir().mkpath(pdfDir.path());
    Report report;
    for (int nKind = 2; nKind <= 5; ++nKind) {
        report.SetTemplate(QString(":/other/%1.xml").arg(nKind));
        report.Load(slFirstOfKind.at(nKind - 1));
        const QString sPdf = pdfDir.filePath(QString("report-%1.pdf").arg(nKind));
        report.Engine()->exportToPdf(sPdf, false); // no viewer here
        if (!QFileInfo::exists(sPdf)) {
            err << "record-gen: cannot write " << sPdf << "\n";
            return 1;
        }
    }
    return 0;
}
