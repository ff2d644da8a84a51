// Draws the program's own images at build time, so no artwork is committed:
//   ImageGen <output folder>
// writes Icon_373.ico (a package to download), Icon_383.ico (an installed
// package), headbg.png (status bar background), logo.png (window icon), and
// pdf.png and html.png (the export actions of the report's print preview).
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <cstdio>

namespace
{
const QColor kBlue(0x2f, 0x6f, 0xb7);
const QColor kDarkBlue(0x23, 0x3b, 0x57);
const QColor kGreen(0x2e, 0x9d, 0x5b);

QImage NewImage(int nWidth, int nHeight)
{
    QImage image(nWidth, nHeight, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// A parcel seen from the front, scaled to nSize.
void DrawParcel(QPainter &painter, int nSize, const QColor &color)
{
    const qreal s = nSize / 32.0;
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient fill(0, 4 * s, 0, 30 * s);
    fill.setColorAt(0, color.lighter(125));
    fill.setColorAt(1, color);
    painter.setPen(QPen(color.darker(140), 1.2 * s));
    painter.setBrush(fill);
    painter.drawRoundedRect(QRectF(3 * s, 6 * s, 26 * s, 23 * s), 3 * s, 3 * s);
    painter.setPen(QPen(color.darker(140), 1.0 * s));
    painter.drawLine(QPointF(3 * s, 12 * s), QPointF(29 * s, 12 * s));
}

QImage PackageIcon(int nSize)
{
    QImage image = NewImage(nSize, nSize);
    QPainter painter(&image);
    DrawParcel(painter, nSize, kBlue);
    const qreal s = nSize / 32.0;
    // A white arrow pointing down into the parcel.
    QPainterPath arrow;
    arrow.moveTo(13 * s, 14 * s);
    arrow.lineTo(19 * s, 14 * s);
    arrow.lineTo(19 * s, 20 * s);
    arrow.lineTo(23 * s, 20 * s);
    arrow.lineTo(16 * s, 27 * s);
    arrow.lineTo(9 * s, 20 * s);
    arrow.lineTo(13 * s, 20 * s);
    arrow.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPath(arrow);
    return image;
}

QImage InstalledIcon(int nSize)
{
    QImage image = NewImage(nSize, nSize);
    QPainter painter(&image);
    DrawParcel(painter, nSize, kGreen);
    const qreal s = nSize / 32.0;
    // A check mark.
    QPen pen(Qt::white, 3.2 * s, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    QPainterPath check;
    check.moveTo(10 * s, 20 * s);
    check.lineTo(14.5 * s, 24.5 * s);
    check.lineTo(22.5 * s, 15.5 * s);
    painter.drawPath(check);
    return image;
}

// Status bar background: a darker badge on the left (the bar keeps its text
// 100 pixels in), then a quiet gradient.
QImage HeadBackground()
{
    const int nWidth = 800, nHeight = 28;
    QImage image = NewImage(nWidth, nHeight);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient bar(0, 0, nWidth, 0);
    bar.setColorAt(0, kDarkBlue);
    bar.setColorAt(1, kBlue.darker(115));
    painter.fillRect(image.rect(), bar);
    QPainterPath badge;
    badge.moveTo(0, 0);
    badge.lineTo(88, 0);
    badge.lineTo(76, nHeight);
    badge.lineTo(0, nHeight);
    badge.closeSubpath();
    painter.fillPath(badge, kBlue);
    // A small device: screen and two buttons.
    painter.setPen(QPen(Qt::white, 1.5));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(14, 6, 26, 16), 2, 2);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(50, 11), 2, 2);
    painter.drawEllipse(QPointF(50, 18), 2, 2);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 90));
    painter.drawRect(QRectF(17, 9, 20, 10));
    return image;
}

QImage Logo(int nSize)
{
    QImage image = NewImage(nSize, nSize);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = nSize / 64.0;
    QLinearGradient fill(0, 0, 0, nSize);
    fill.setColorAt(0, kBlue.lighter(120));
    fill.setColorAt(1, kDarkBlue);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(2 * s, 2 * s, 60 * s, 60 * s));
    // Circular arrow: "keeps up to date".
    QPen pen(Qt::white, 6 * s, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawArc(QRectF(16 * s, 16 * s, 32 * s, 32 * s), 60 * 16, 280 * 16);
    QPainterPath head;
    head.moveTo(40 * s, 8 * s);
    head.lineTo(50 * s, 20 * s);
    head.lineTo(35 * s, 23 * s);
    head.closeSubpath();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawPath(head);
    return image;
}

// The drop-down triangle of the combo boxes (the style sheet replaces their
// native look).
QImage DropArrow()
{
    QImage image = NewImage(10, 6);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0x5a, 0x6b, 0x80));
    const QPointF points[] = {{0, 0}, {10, 0}, {5, 6}};
    painter.drawPolygon(points, 3);
    return image;
}

// A sheet with a folded corner and a coloured label naming the file kind.
QImage FileKindIcon(int nSize, const QString &sLabel, const QColor &color)
{
    QImage image = NewImage(nSize, nSize);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal s = nSize / 32.0;
    QPainterPath sheet;
    sheet.moveTo(6 * s, 2 * s);
    sheet.lineTo(20 * s, 2 * s);
    sheet.lineTo(26 * s, 8 * s);
    sheet.lineTo(26 * s, 30 * s);
    sheet.lineTo(6 * s, 30 * s);
    sheet.closeSubpath();
    painter.setPen(QPen(QColor(0x7a, 0x86, 0x94), 1.2 * s));
    painter.setBrush(Qt::white);
    painter.drawPath(sheet);
    QPainterPath corner;
    corner.moveTo(20 * s, 2 * s);
    corner.lineTo(20 * s, 8 * s);
    corner.lineTo(26 * s, 8 * s);
    painter.setBrush(QColor(0xdd, 0xe3, 0xea));
    painter.drawPath(corner);
    // Lines of text on the sheet.
    painter.setPen(QPen(QColor(0xb4, 0xbe, 0xc9), 1.2 * s));
    for (int i = 0; i < 2; ++i)
        painter.drawLine(QPointF(9 * s, (8 + 3 * i) * s), QPointF(17 * s, (8 + 3 * i) * s));
    const QRectF label(1 * s, 16 * s, 30 * s, 11 * s);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawRoundedRect(label, 2 * s, 2 * s);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(qMax(6, int(label.height() * 0.8)));
    font.setStretch(sLabel.size() > 3 ? QFont::Condensed : QFont::Unstretched);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(label, Qt::AlignCenter, sLabel);
    return image;
}

bool Save(const QImage &image, const QDir &dir, const char *pName, const char *pFormat)
{
    const QString sPath = dir.filePath(QString::fromLatin1(pName));
    if (image.save(sPath, pFormat))
        return true;
    fprintf(stderr, "ImageGen: cannot write %s\n", qPrintable(sPath));
    return false;
}
} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        fprintf(stderr, "usage: ImageGen <output folder>\n");
        return 2;
    }
    QDir dir(QString::fromLocal8Bit(argv[1]));
    if (!dir.mkpath("."))
        return 1;
    bool bOk = Save(PackageIcon(32), dir, "Icon_373.ico", "ICO");
    bOk = Save(InstalledIcon(32), dir, "Icon_383.ico", "ICO") && bOk;
    bOk = Save(HeadBackground(), dir, "headbg.png", "PNG") && bOk;
    bOk = Save(Logo(64), dir, "logo.png", "PNG") && bOk;
    // The desktop icon of the installed program.
    bOk = Save(Logo(256), dir, "logo-256.png", "PNG") && bOk;
    bOk = Save(DropArrow(), dir, "arrow-down.png", "PNG") && bOk;
    bOk = Save(FileKindIcon(32, "PDF", QColor(0xc6, 0x28, 0x28)), dir, "pdf.png", "PNG") && bOk;
    bOk = Save(FileKindIcon(32, "HTML", QColor(0xe0, 0x6a, 0x1b)), dir, "html.png", "PNG") && bOk;
    return bOk ? 0 : 1;
}
