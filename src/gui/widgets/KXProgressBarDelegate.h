#pragma once
#include <QStyledItemDelegate>
#include <memory>

class QProgressBar;

// A progress bar drawn inside a table cell. Roles on the cell's index:
//   ValueRole (Qt::UserRole + 1, 257) current amount, MaximumRole
//   (Qt::UserRole + 2, 258) total (both unsigned 64-bit), CaptionRole
//   (Qt::UserRole + 3, 259) caption replacing the percentage.
class KXProgressBarDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    static constexpr int ValueRole = Qt::UserRole + 1;
    static constexpr int MaximumRole = Qt::UserRole + 2;
    static constexpr int CaptionRole = Qt::UserRole + 3;

    explicit KXProgressBarDelegate(QObject *parent = nullptr);
    ~KXProgressBarDelegate() override;

    void paint(QPainter *painter, const QStyleOptionViewItem &option,
               const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;

    // The bar's text: the caption when set, else the truncated percentage
    // when both numbers are non-zero, else nothing.
    static QString ProgressText(quint64 nCurrent, quint64 nTotal, const QString &sCaption);

private:
    // Never shown: handed to the style so that the application's style sheet
    // rules for QProgressBar apply to the drawn bar as to a real one.
    mutable std::unique_ptr<QProgressBar> pStyleTarget;
};
