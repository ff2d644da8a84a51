#pragma once
#include <QItemDelegate>
#include <QPoint>

// A push button drawn inside a table cell. Roles on the cell's index:
//   StateTextRole (Qt::UserRole, 256)     text shown (translated) instead of the button;
//   CaptionRole (Qt::UserRole + 100, 356) button caption, "下载" when empty;
//   Qt::DisplayRole                       when not empty the button does not react;
//   Qt::ForegroundRole                    colour of the text shown instead of the button.
class KXButtonDelegate : public QItemDelegate
{
    Q_OBJECT
public:
    static constexpr int StateTextRole = Qt::UserRole;
    static constexpr int CaptionRole = Qt::UserRole + 100;

    explicit KXButtonDelegate(QObject *parent = nullptr);

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    bool editorEvent(QEvent *event, QAbstractItemModel *model, const QStyleOptionViewItem &option,
                     const QModelIndex &index) override;

    // Where the button sits in a cell.
    static QRect ButtonRect(const QRect &cellRect);
    // Cell texts are stored untranslated; they are looked up here, then in
    // the main window's context where most of them are written.
    static QString TranslateCellText(const QString &sText);

signals:
    void OnButtonClick(int nIndex);

private:
    int nState = 0; // 0 normal, 1 hovered, 2 pressed
    QPoint ptMouse;
};
