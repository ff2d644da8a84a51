#pragma once

#include <QColor>
#include <QDomElement>
#include <QImage>
#include <QList>
#include <QObject>

class ReportBand;
class ReportDataSource;

// Settings, bands and data source of one report page.
class ReportPageObject : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool visible READ isVisible WRITE setVisible)
public:
    explicit ReportPageObject(QObject *parent = nullptr);

    void LoadFromElement(const QDomElement &element);

    Q_INVOKABLE bool isVisible() const { return bVisible; }
    // Bands of one kind (and, for data bands, one band number).
    QList<ReportBand *> BandsOfType(int nType) const;
    ReportBand *FindBand(int nType, int nBandNo = -1) const;
    // The distinct band numbers of the page's data-type bands, ascending.
    QList<int> DataBandNumbers() const;
    ReportDataSource *FindDataSource(const QString &sName) const;

public slots:
    void setVisible(bool bValue) { bVisible = bValue; }

public:
    int nPageWidth = 840;
    int nPageHeight = 1188;
    int nMarginsLeft = 40;
    int nMarginsRight = 40;
    int nMarginsTop = 40;
    int nMarginsBottom = 40;
    int nOrientation = 0;
    int nPageNo = 1;
    bool bBorder = false;
    int nBorderWidth = 1;
    QColor borderColor = Qt::black;
    Qt::PenStyle borderStyle = Qt::SolidLine;
    bool bWatermark = false;
    double dWatermarkOpacity = 1.0;
    QImage watermarkPixmap;
    bool bVisible = true;
    QList<ReportBand *> bands;
    QList<ReportDataSource *> dataSources;
};
