// Renders an HTML help document into a PDF beside it, so the manual can be
// read and printed without a browser.
// Usage: help-pdf <input.html> <output.pdf>

#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QTextDocument>
#include <QUrl>

#include <cstdio>

int main(int argc, char *argv[])
{
    // Needs no display: the document is laid out for the PDF alone.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList slArgs = QCoreApplication::arguments();
    if (slArgs.size() != 3) {
        std::fprintf(stderr, "usage: help-pdf <input.html> <output.pdf>\n");
        return 2;
    }
    QFile input(slArgs.at(1));
    if (!input.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "help-pdf: cannot read %s\n", qPrintable(slArgs.at(1)));
        return 1;
    }
    QTextDocument document;
    document.setBaseUrl(QUrl::fromLocalFile(QFileInfo(slArgs.at(1)).absoluteFilePath()));
    document.setHtml(QString::fromUtf8(input.readAll()));

    QPdfWriter writer(slArgs.at(2));
    writer.setTitle(document.metaInformation(QTextDocument::DocumentTitle));
    writer.setCreator(QStringLiteral("Update Assist"));
    writer.setResolution(300);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter));
    document.print(&writer);
    if (!QFileInfo(slArgs.at(2)).size()) {
        std::fprintf(stderr, "help-pdf: nothing written to %s\n", qPrintable(slArgs.at(2)));
        return 1;
    }
    return 0;
}
