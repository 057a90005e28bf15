#include "shell/dlg_tab_ctrl.h"

namespace cindral {

CDlgTabCtrl::CDlgTabCtrl(QWidget* parent) : QTabWidget(parent) {
    connect(this, &QTabWidget::currentChanged, this, &CDlgTabCtrl::OnCurrentChanged);
}

CDlgTabCtrl::~CDlgTabCtrl() {
    // Hand the pages back without destroying them.
    adding_ = true;
    for (QWidget* page : pages_) {
        if (page == nullptr) continue;
        int i = indexOf(page);
        if (i >= 0) removeTab(i);
        page->setParent(nullptr);
    }
    pages_.clear();
}

void CDlgTabCtrl::AddPage(int index, const QString& caption, int templateId, QWidget* page) {
    if (index < 0) index = 0;
    if (static_cast<std::size_t>(index) >= pages_.size()) {
        pages_.resize(static_cast<std::size_t>(index) + 1, nullptr);
        templates_.resize(static_cast<std::size_t>(index) + 1, 0);
    }
    pages_[static_cast<std::size_t>(index)] = page;
    templates_[static_cast<std::size_t>(index)] = templateId;
    adding_ = true;
    insertTab(index, page, caption);
    adding_ = false;
    current_ = currentIndex();
    ShowCurrentPage();
}

void CDlgTabCtrl::ShowCurrentPage() {
    for (std::size_t i = 0; i < pages_.size(); ++i) {
        QWidget* page = pages_[i];
        if (page == nullptr) continue;
        page->setVisible(static_cast<int>(i) == currentIndex());
    }
}

QWidget* CDlgTabCtrl::Page(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= pages_.size()) return nullptr;
    return pages_[static_cast<std::size_t>(index)];
}

int CDlgTabCtrl::TemplateOf(int index) const {
    if (index < 0 || static_cast<std::size_t>(index) >= templates_.size()) return 0;
    return templates_[static_cast<std::size_t>(index)];
}

void CDlgTabCtrl::OnCurrentChanged(int index) {
    if (adding_) return;
    int old = current_;
    current_ = index;
    if (old != index) emit selectionChanging(old, index);
    ShowCurrentPage();
}

}  // namespace cindral
