// The tab frame: shows one of the window's pages per tab. The pages belong to the
// main window; the frame only keeps pointers to them.
#pragma once

#include <QTabWidget>
#include <vector>

class QScrollArea;

namespace cindral {

class CDlgTabCtrl : public QTabWidget {
    Q_OBJECT
  public:
    explicit CDlgTabCtrl(QWidget* parent = nullptr);
    ~CDlgTabCtrl() override;

    void AddPage(int index, const QString& caption, int templateId, QWidget* page);
    void ShowCurrentPage();
    QWidget* Page(int index) const;
    int TemplateOf(int index) const;
    int PageCount() const { return static_cast<int>(pages_.size()); }

  signals:
    // Emitted when the selection moves away from `oldIndex`, before the new page shows.
    void selectionChanging(int oldIndex, int newIndex);

  private:
    void OnCurrentChanged(int index);

    std::vector<QWidget*> pages_;
    std::vector<QScrollArea*> frames_;  // each page scrolls inside its own frame
    std::vector<int> templates_;
    int current_ = -1;
    bool adding_ = false;
};

}  // namespace cindral
