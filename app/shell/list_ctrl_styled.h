// A report list whose rows, cells and columns carry their own text colour,
// background and font style (style records resolved at paint time).
#pragma once

#include <QColor>
#include <QTreeWidget>
#include <memory>
#include <vector>

#include "core/list_style.h"

namespace cindral {

class CListCtrlStyled : public QTreeWidget {
    Q_OBJECT
  public:
    enum ColumnFormat { kLeft = 0, kRight = 1, kCenter = 2 };
    // Extended list styles, with the values the page templates use.
    enum ExtendedStyle : uint32_t {
        kGridLines = 0x001,
        kFullRowSelect = 0x020,
        kFlatScrollBars = 0x100,
    };

    explicit CListCtrlStyled(QWidget* parent = nullptr);
    ~CListCtrlStyled() override;

    int InsertColumn(int index, const QString& heading, int format = kLeft, int width = -1,
                     int subItem = -1);
    int InsertItem(int row, const QString& text);
    bool SetItemText(int row, int column, const QString& text);
    QString GetItemText(int row, int column) const;
    int GetItemCount() const { return topLevelItemCount(); }
    void SetRowTxtColor(int row, Colour colour, bool redraw = true);
    void SetRowBkColor(int row, Colour colour, bool redraw = true);
    void SetRowStyle(int row, uint32_t flags, bool redraw = true);
    void SetColumnTxtColor(int column, Colour colour);
    bool DeleteItem(int row);
    void DeleteAllItems();
    void SetExtendedStyle(uint32_t styles);
    uint32_t GetExtendedStyle() const { return extendedStyle_; }
    // Stores the value when the item was inserted with caller data; says whether it was.
    bool SetItemData(int row, intptr_t value);

    // The style the cell is painted with.
    ResolvedStyle StyleOf(int row, int column) const;
    // The colours and font a cell is painted with, highlight colours included.
    QColor TextColourOf(int row, int column) const;
    QFont FontOf(int row, int column) const;

    // The least row height that shows a line of `font` whole, grid line included.
    static int RowHeightFor(const QFont& font);

    static QColor ToQColor(Colour c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

    iLS_item* RecordOf(int row) const;

  private:
    class Delegate;
    std::vector<std::unique_ptr<iLS_item>> columns_;
    uint32_t extendedStyle_ = 0;
};

}  // namespace cindral
