#include "shell/dlg_tab_ctrl.h"

#include <QScrollArea>

namespace cindral {

CDlgTabCtrl::CDlgTabCtrl(QWidget* parent) : QTabWidget(parent) {
    connect(this, &QTabWidget::currentChanged, this, &CDlgTabCtrl::OnCurrentChanged);
}

CDlgTabCtrl::~CDlgTabCtrl() {
    // Hand the pages back without destroying them.
    adding_ = true;
    for (std::size_t n = 0; n < pages_.size(); ++n) {
        QWidget* page = pages_[n];
        if (page == nullptr) continue;
        QScrollArea* frame = frames_[n];
        int i = indexOf(frame);
        if (i >= 0) removeTab(i);
        frame->takeWidget();
        page->setParent(nullptr);
        delete frame;
    }
    pages_.clear();
}

void CDlgTabCtrl::AddPage(int index, const QString& caption, int templateId, QWidget* page) {
    if (index < 0) index = 0;
    if (static_cast<std::size_t>(index) >= pages_.size()) {
        pages_.resize(static_cast<std::size_t>(index) + 1, nullptr);
        templates_.resize(static_cast<std::size_t>(index) + 1, 0);
        frames_.resize(static_cast<std::size_t>(index) + 1, nullptr);
    }
    pages_[static_cast<std::size_t>(index)] = page;
    templates_[static_cast<std::size_t>(index)] = templateId;
    // A page larger than the room the window has (a small screen, a large scale)
    // scrolls instead of pushing the window's buttons off the screen.
    auto* frame = new QScrollArea;
    frame->setWidgetResizable(true);
    frame->setFrameShape(QFrame::NoFrame);
    frame->setWidget(page);
    frames_[static_cast<std::size_t>(index)] = frame;
    adding_ = true;
    insertTab(index, frame, caption);
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
