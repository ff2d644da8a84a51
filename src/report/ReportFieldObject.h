#pragma once

#include <QColor>
#include <QDomElement>
#include <QFont>
#include <QImage>
#include <QObject>
#include <QPointF>
#include <QRect>

class ReportCrossTab;

// One field of a band, built from its template element. The scriptable
// properties let a report script or the application move, hide or recolour
// the field before it is drawn.
class ReportFieldObject : public QObject
{
    Q_OBJECT
    Q_PROPERTY(int left READ getLeft WRITE setLeft)
    Q_PROPERTY(int top READ getTop WRITE setTop)
    Q_PROPERTY(int width READ getWidth WRITE setWidth)
    Q_PROPERTY(int height READ getHeight WRITE setHeight)
    Q_PROPERTY(bool visible READ getVisible WRITE setVisible)
    Q_PROPERTY(int rotate READ getRotate WRITE setRotate)
    Q_PROPERTY(QString fontColor READ getFontColor WRITE setFontColor)
    Q_PROPERTY(QString backgroundColor READ getBackgroundColor WRITE setBackgroundColor)

public:
    enum FieldType {
        Text,
        TextImage,
        TextRich,
        Image,
        Diagram,
        Rectangle,
        RoundedRectangle,
        Circle,
        Triangle,
        Rhombus,
        Line,
        Barcode,
        DatabaseImage,
        CrossTab
    };
    Q_ENUM(FieldType)

    explicit ReportFieldObject(QObject *parent = nullptr);
    ~ReportFieldObject() override;

    // Reads every attribute of the field element, with its default.
    void LoadFromElement(const QDomElement &element);

    static FieldType TypeFromName(const QString &sType);
    // "rgba(r,g,b,a)"; anything unreadable gives an invalid colour.
    static QColor ParseColor(const QString &sColor);
    static Qt::PenStyle ParsePenStyle(const QString &sStyle);
    static QString ColorToText(const QColor &color);

    Q_INVOKABLE int getLeft() const { return rect.left(); }
    Q_INVOKABLE int getTop() const { return rect.top(); }
    Q_INVOKABLE int getWidth() const { return rect.width(); }
    Q_INVOKABLE int getHeight() const { return rect.height(); }
    Q_INVOKABLE bool getVisible() const { return bVisible; }
    Q_INVOKABLE int getRotate() const { return nRotate; }
    Q_INVOKABLE QString getFontColor() const { return ColorToText(fontColor); }
    Q_INVOKABLE QString getBackgroundColor() const { return ColorToText(backgroundColor); }

public slots:
    void setLeft(int nValue) { rect.moveLeft(nValue); }
    void setTop(int nValue) { rect.moveTop(nValue); }
    void setWidth(int nValue) { rect.setWidth(nValue); }
    void setHeight(int nValue) { rect.setHeight(nValue); }
    void setVisible(bool bValue) { bVisible = bValue; }
    void setRotate(int nValue) { nRotate = nValue; }
    void setFontColor(const QString &sColor) { fontColor = ParseColor(sColor); }
    void setBackgroundColor(const QString &sColor) { backgroundColor = ParseColor(sColor); }

public:
    FieldType type = Text;
    QString sTypeName;
    QString sValue;
    QRect rect; // template units (quarter millimetres), relative to the band
    Qt::Alignment alignment;
    QFont font;
    QColor fontColor;
    QColor backgroundColor;
    QColor borderTop;
    QColor borderBottom;
    QColor borderLeft;
    QColor borderRight;
    QColor borderColor;
    int nBorderWidth = 1;
    Qt::PenStyle borderStyle = Qt::SolidLine;
    bool bAutoHeight = false;
    bool bTextWrap = true;
    int nRotate = 0;
    QString sFormat;
    QString sHighlighting;
    QString sPrinting = QStringLiteral("1");
    int nRenderingMode = 0;
    QString sImgFormat = QStringLiteral("PNG");
    QImage picture;
    bool bIgnoreAspectRatio = true;
    int nBarcodeType = 13;
    QString sBarcodeFrameType;
    int nBarcodeHeight = 50;
    QPointF lineStart;
    QPointF lineEnd;
    bool bArrowStart = false;
    bool bArrowEnd = false;
    bool bVisible = true;
    ReportCrossTab *pCrossTab = nullptr;
};
