#include "shell/list_ctrl_styled.h"

#include <QHeaderView>
#include <QPainter>
#include <QStyledItemDelegate>
#include <algorithm>

namespace cindral {

namespace {

// The row's style record lives with its list item and dies with it.
class StyledItem : public QTreeWidgetItem {
  public:
    iLS_item record;
};

QFont FontFor(QFont base, const ResolvedStyle& s) {
    if (!s.hasFont) return base;
    base.setWeight((s.fontBits & kStyleBold) ? QFont::Bold : QFont::Normal);
    base.setItalic(s.fontBits & kStyleItalic);
    base.setUnderline(s.fontBits & kStyleUnderline);
    base.setStrikeOut(s.fontBits & kStyleStrikeout);
    return base;
}

}  // namespace

class CListCtrlStyled::Delegate : public QStyledItemDelegate {
  public:
    explicit Delegate(CListCtrlStyled* list) : QStyledItemDelegate(list), list_(list) {}

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.parent().isValid()) return;
        bool selected = option->state & QStyle::State_Selected;
        ResolvedStyle s = list_->StyleOf(index.row(), index.column());
        QPalette::ColorRole textRole = selected ? QPalette::HighlightedText : QPalette::Text;
        if (s.text) option->palette.setColor(textRole, ToQColor(*s.text));
        if (s.back) {
            QColor back = ToQColor(*s.back);
            if (selected) {
                option->palette.setColor(QPalette::Highlight, back);
            } else {
                option->backgroundBrush = back;
            }
        }
        option->font = FontFor(option->font, s);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyledItemDelegate::paint(painter, option, index);
        if ((list_->GetExtendedStyle() & kGridLines) == 0) return;
        // Each cell draws its right and bottom edge, so the lines form a grid.
        painter->save();
        painter->setPen(option.palette.color(QPalette::Mid));
        const QRect r = option.rect;
        painter->drawLine(r.bottomLeft(), r.bottomRight());
        painter->drawLine(r.topRight(), r.bottomRight());
        painter->restore();
    }

    // A row holds the font's whole height (descenders and underscores), its
    // margins and the grid line, at every scale and whatever the style asks for.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QSize size = QStyledItemDelegate::sizeHint(option, index);
        size.setHeight(std::max(size.height(), CListCtrlStyled::RowHeightFor(option.font)));
        return size;
    }

  private:
    CListCtrlStyled* list_;
};

CListCtrlStyled::CListCtrlStyled(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setColumnCount(0);
    setItemDelegate(new Delegate(this));
}

CListCtrlStyled::~CListCtrlStyled() = default;

int CListCtrlStyled::RowHeightFor(const QFont& font) {
    const QFontMetrics metrics(font);
    // The underline sits below the baseline; bold styles may grow the font.
    const int text = std::max(metrics.height(),
                              metrics.ascent() + metrics.underlinePos() + metrics.lineWidth() + 1);
    return text + 2 * std::max(2, metrics.height() / 6) + 1;
}

void CListCtrlStyled::SetExtendedStyle(uint32_t styles) {
    extendedStyle_ = styles;
    viewport()->update();
}

int CListCtrlStyled::InsertColumn(int index, const QString& heading, int format, int width,
                                  int /*subItem*/) {
    int count = columnCount();
    if (index < 0 || index > count) index = count;
    QStringList labels;
    for (int c = 0; c < count; ++c) labels << headerItem()->text(c);
    labels.insert(index, heading);
    setColumnCount(count + 1);
    setHeaderLabels(labels);
    Qt::Alignment align = format == kRight    ? Qt::AlignRight
                          : format == kCenter ? Qt::AlignHCenter
                                              : Qt::AlignLeft;
    headerItem()->setTextAlignment(index, align | Qt::AlignVCenter);
    if (width >= 0) setColumnWidth(index, width);
    columns_.insert(columns_.begin() + index, std::make_unique<iLS_item>());
    // Every existing row gets a record for the new column.
    for (int r = 0; r < topLevelItemCount(); ++r) {
        iLS_item* rec = RecordOf(r);
        if (index == 0 || rec == nullptr) continue;
        auto pos = std::min<std::size_t>(static_cast<std::size_t>(index - 1), rec->subItems.size());
        rec->subItems.insert(rec->subItems.begin() + static_cast<std::ptrdiff_t>(pos),
                             std::make_unique<iLS_item>());
    }
    return index;
}

int CListCtrlStyled::InsertItem(int row, const QString& text) {
    int count = topLevelItemCount();
    if (row < 0 || row > count) row = count;
    auto* item = new StyledItem;
    for (int c = 1; c < columnCount(); ++c)
        item->record.subItems.push_back(std::make_unique<iLS_item>());
    item->setText(0, text);
    insertTopLevelItem(row, item);
    return row;
}

iLS_item* CListCtrlStyled::RecordOf(int row) const {
    auto* item = dynamic_cast<StyledItem*>(topLevelItem(row));
    return item ? &item->record : nullptr;
}

bool CListCtrlStyled::SetItemText(int row, int column, const QString& text) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr || column < 0 || column >= columnCount()) return false;
    item->setText(column, text);
    return true;
}

QString CListCtrlStyled::GetItemText(int row, int column) const {
    QTreeWidgetItem* item = topLevelItem(row);
    return item ? item->text(column) : QString();
}

void CListCtrlStyled::SetRowTxtColor(int row, Colour colour, bool redraw) {
    iLS_item* rec = RecordOf(row);
    if (rec == nullptr) return;
    rec->Row().textColour = colour;
    if (redraw) viewport()->update();
}

void CListCtrlStyled::SetRowBkColor(int row, Colour colour, bool redraw) {
    iLS_item* rec = RecordOf(row);
    if (rec == nullptr) return;
    rec->Row().backColour = colour;
    rec->Row().SetFlags(rec->Row().flags | kStyleBackColour);
    if (redraw) viewport()->update();
}

void CListCtrlStyled::SetRowStyle(int row, uint32_t flags, bool redraw) {
    iLS_item* rec = RecordOf(row);
    if (rec == nullptr) return;
    rec->Row().SetFlags(flags);
    if (redraw) viewport()->update();
}

void CListCtrlStyled::SetColumnTxtColor(int column, Colour colour) {
    if (column < 0 || static_cast<std::size_t>(column) >= columns_.size()) return;
    iLS_item& rec = *columns_[static_cast<std::size_t>(column)];
    rec.textColour = colour;
    rec.SetFlags(rec.flags | kStyleTextColour);
    viewport()->update();
}

bool CListCtrlStyled::DeleteItem(int row) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (item == nullptr) return false;
    delete takeTopLevelItem(row);
    return true;
}

void CListCtrlStyled::DeleteAllItems() {
    for (int n = topLevelItemCount(); n > 0; --n) DeleteItem(0);
    clear();
}

bool CListCtrlStyled::SetItemData(int row, intptr_t value) {
    iLS_item* rec = RecordOf(row);
    if (rec == nullptr || !rec->hasUserData) return false;
    rec->userData = value;
    return true;
}

ResolvedStyle CListCtrlStyled::StyleOf(int row, int column) const {
    const iLS_item* col = (column >= 0 && static_cast<std::size_t>(column) < columns_.size())
                              ? columns_[static_cast<std::size_t>(column)].get()
                              : nullptr;
    QTreeWidgetItem* item = topLevelItem(row);
    bool selected = item != nullptr && item->isSelected();
    return ResolveStyle(RecordOf(row), column, col, selected);
}

QColor CListCtrlStyled::TextColourOf(int row, int column) const {
    QTreeWidgetItem* item = topLevelItem(row);
    bool selected = item != nullptr && item->isSelected();
    ResolvedStyle s = StyleOf(row, column);
    if (s.text) return ToQColor(*s.text);
    return palette().color(selected ? QPalette::HighlightedText : QPalette::Text);
}

QFont CListCtrlStyled::FontOf(int row, int column) const {
    return FontFor(font(), StyleOf(row, column));
}

}  // namespace cindral
