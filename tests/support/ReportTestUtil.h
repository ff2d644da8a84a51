#pragma once

// Helpers shared by the report engine tests: templates written on the fly,
// an application stand-in that answers the engine's questions, and readers
// for the PDF files the engine writes (through poppler's command-line tools).

#include "report/DataSetInfo.h"
#include "report/ReportEngine.h"

#include <QBuffer>
#include <QFile>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QSizeF>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>
#include <algorithm>
#include <functional>
#include <memory>

namespace ReportTest
{
inline QString WriteFile(const QTemporaryDir &dir, const QString &sName, const QString &sText)
{
    const QString sPath = dir.filePath(sName);
    QFile file(sPath);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(sText.toUtf8());
    return sPath;
}

// A label field; extra attributes are appended as written.
inline QString Label(const QString &sValue, int nLeft, int nTop, int nWidth, int nHeight,
                     const QString &sExtra = QString())
{
    return QStringLiteral("<item type=\"label\" value=\"%1\" left=\"%2\" top=\"%3\" width=\"%4\" "
                          "height=\"%5\" fontFamily=\"DejaVu Sans\" fontSize=\"10\" "
                          "fontColor=\"rgba(0,0,0,255)\" aligmentV=\"vCenter\" %6/>")
        .arg(sValue.toHtmlEscaped())
        .arg(nLeft)
        .arg(nTop)
        .arg(nWidth)
        .arg(nHeight)
        .arg(sExtra);
}

inline QString Band(const QString &sType, int nHeight, const QString &sFields,
                    const QString &sExtra = QString())
{
    return QStringLiteral(
               "<ReportBand type=\"%1\" name=\"%1Band\" height=\"%2\" width=\"760\" %3>%4"
               "</ReportBand>")
        .arg(sType)
        .arg(nHeight)
        .arg(sExtra, sFields);
}

inline QString Page(const QString &sBands, const QString &sExtra = QString())
{
    return QStringLiteral(
               "<Report pageWidth=\"840\" pageHeight=\"1188\" marginsLeft=\"40\" "
               "marginsRight=\"40\" marginsTop=\"40\" marginsBottom=\"40\" %1>%2</Report>")
        .arg(sExtra, sBands);
}

inline QString Document(const QString &sPages, const QString &sScript = QString())
{
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Reports app=\"test\">"
                          "<Script><![CDATA[%1]]></Script>%2</Reports>")
        .arg(sScript, sPages);
}

// MasterHeader, one data row (of height 24 unless told) and a page footer
// with page numbers.
inline QString TableTemplate(int nRowHeight = 24, const QString &sDataExtra = QString(),
                             const QString &sRowFields = QString())
{
    const QString sRow = sRowFields.isEmpty()
                             ? Label(QStringLiteral("row [n]"), 0, 0, 300, nRowHeight,
                                     QStringLiteral("borderTop=\"rgba(0,0,0,255)\""))
                             : sRowFields;
    return Document(Page(
        Band(QStringLiteral("MasterHeader"), 24, Label(QStringLiteral("HEADER"), 0, 0, 300, 24)) +
        Band(QStringLiteral("MasterData"), nRowHeight, sRow, sDataExtra) +
        Band(QStringLiteral("PageFooter"), 24,
             Label(QStringLiteral("<Page> / <TotalPages>"), 246, 5, 272, 17,
                   QStringLiteral("aligmentH=\"hCenter\"")))));
}

// The value of TableTemplate's placeholder [n] in record nRecNo.
inline QVariant RowValue(int nRecNo, const QString &sName)
{
    if (sName == QLatin1String("n"))
        return nRecNo;
    return QVariant();
}

// The image as a PNG file in base64, as templates carry pictures.
inline QString PngBase64(const QImage &image)
{
    QByteArray baPng;
    QBuffer buffer(&baPng);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return QString::fromLatin1(baPng.toBase64());
}

// Stands in for the application: a record count per band number and a
// function giving each placeholder's value.
class DataProvider
{
public:
    explicit DataProvider(ReportEngine *pEngine)
    {
        QObject::connect(pEngine, &ReportEngine::setDSInfo, &m_context,
                         [this](DataSetInfo &dsInfo) {
                             dsInfo.recordCount = counts.value(dsInfo.dataBandNo, 0);
                             dsInfos.append(dsInfo);
                         });
        QObject::connect(
            pEngine, &ReportEngine::setValue, &m_context,
            [this](const int recNo, const QString paramName, QVariant &paramValue, const int) {
                slAsked.append(paramName);
                recNos.append(recNo);
                if (value)
                    paramValue = value(recNo, paramName);
            });
    }

    QHash<int, int> counts; // band number -> record count
    std::function<QVariant(int, const QString &)> value;
    QStringList slAsked; // placeholder names in the order asked
    QList<int> recNos;   // recNo of each question
    QList<DataSetInfo> dsInfos;

private:
    QObject m_context;
};

// A high-resolution printer that prints into the PDF file sPath.
inline std::unique_ptr<QPrinter> PdfPrinter(const QString &sPath)
{
    auto pPrinter = std::make_unique<QPrinter>(QPrinter::HighResolution);
    pPrinter->setOutputFormat(QPrinter::PdfFormat);
    pPrinter->setOutputFileName(sPath);
    return pPrinter;
}

inline QString RunTool(const QString &sProgram, const QStringList &slArgs)
{
    QProcess process;
    process.start(sProgram, slArgs);
    if (!process.waitForFinished(60000))
        return QString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

inline int PdfPageCount(const QString &sPath)
{
    const QString sInfo = RunTool(QStringLiteral("pdfinfo"), {sPath});
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(sInfo);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

// Page size in points.
inline QSizeF PdfPageSize(const QString &sPath)
{
    const QString sInfo = RunTool(QStringLiteral("pdfinfo"), {sPath});
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("Page size:\\s+([\\d.]+) x ([\\d.]+) pts")).match(sInfo);
    return match.hasMatch() ? QSizeF(match.captured(1).toDouble(), match.captured(2).toDouble())
                            : QSizeF();
}

inline QString PdfText(const QString &sPath, int nPage)
{
    return RunTool(QStringLiteral("pdftotext"),
                   {QStringLiteral("-layout"), QStringLiteral("-f"), QString::number(nPage),
                    QStringLiteral("-l"), QString::number(nPage), sPath, QStringLiteral("-")});
}

// The page's text lines from top to bottom, words joined by one blank
// (poppler's word boxes; its layout mode may drop blanks between short words).
inline QStringList PdfLines(const QString &sPath, int nPage)
{
    const QString sBoxes =
        RunTool(QStringLiteral("pdftotext"),
                {QStringLiteral("-bbox"), QStringLiteral("-f"), QString::number(nPage),
                 QStringLiteral("-l"), QString::number(nPage), sPath, QStringLiteral("-")});
    struct Word {
        double dX;
        double dY;
        QString sText;
    };
    QList<Word> words;
    static const QRegularExpression pattern(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\"[^>]*>(.*?)</word>"));
    QRegularExpressionMatchIterator it = pattern.globalMatch(sBoxes);
    while (it.hasNext()) {
        const QRegularExpressionMatch match = it.next();
        QString sText = match.captured(3);
        sText.replace(QStringLiteral("&lt;"), QStringLiteral("<"));
        sText.replace(QStringLiteral("&gt;"), QStringLiteral(">"));
        sText.replace(QStringLiteral("&quot;"), QStringLiteral("\""));
        sText.replace(QStringLiteral("&amp;"), QStringLiteral("&"));
        words.append({match.captured(1).toDouble(), match.captured(2).toDouble(), sText});
    }
    std::stable_sort(words.begin(), words.end(), [](const Word &a, const Word &b) {
        if (qAbs(a.dY - b.dY) > 2)
            return a.dY < b.dY;
        return a.dX < b.dX;
    });
    QStringList slLines;
    double dLineY = -100;
    for (const Word &word : words) {
        if (qAbs(word.dY - dLineY) > 2 || slLines.isEmpty()) {
            slLines.append(word.sText);
            dLineY = word.dY;
        } else {
            slLines.last() += QLatin1Char(' ') + word.sText;
        }
    }
    return slLines;
}
} // namespace ReportTest
