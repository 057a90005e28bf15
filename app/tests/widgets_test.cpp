#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QMessageBox>
#include <QProgressDialog>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "shell/dlg_tab_ctrl.h"
#include "shell/list_ctrl_styled.h"
#include "shell/my_button.h"
#include "shell/qt_ports.h"
#include "shell/qt_text.h"

namespace cindral {
namespace {

bool IsRed(QColor c) {
    return c.red() > 180 && c.green() < 90 && c.blue() < 90;
}

int CountPixels(const QImage& image, QRect area, bool (*pred)(QColor)) {
    int n = 0;
    area = area.intersected(image.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) n += pred(image.pixelColor(x, y));
    return n;
}

QColor g_expect;
bool IsExpected(QColor c) {
    return std::abs(c.red() - g_expect.red()) < 40 && std::abs(c.green() - g_expect.green()) < 40 &&
           std::abs(c.blue() - g_expect.blue()) < 40;
}

// A map-like list with four columns and many rows, one of them marked red the
// way the compose map marks conflicts.
class StyledListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        list.resize(420, 160);
        for (int c = 0; c < 4; ++c) list.InsertColumn(c, QStringLiteral("Col%1").arg(c), 0, 100);
        for (int r = 0; r < 40; ++r) {
            int row = list.InsertItem(r, QStringLiteral("file%1.hex").arg(r));
            for (int c = 1; c < 4; ++c) list.SetItemText(row, c, QStringLiteral("WWWW%1").arg(c));
        }
        MarkRed(30);
        list.show();
        QApplication::processEvents();
    }
    void MarkRed(int row) {
        list.SetRowTxtColor(row, kRed, false);
        list.SetRowStyle(row, kStyleTextColour, true);
    }
    QRect RowRect(int row, int column) { return list.visualRect(list.model()->index(row, column)); }
    QImage Grab() { return list.viewport()->grab().toImage(); }

    CListCtrlStyled list;
};

TEST_F(StyledListTest, RedRowIsPaintedRedInEveryColumnAfterScrolling) {
    list.scrollToItem(list.topLevelItem(30));
    QApplication::processEvents();
    QImage image = Grab();
    for (int c = 0; c < 4; ++c) {
        EXPECT_GT(CountPixels(image, RowRect(30, c), IsRed), 5) << "column " << c;
        EXPECT_EQ(CountPixels(image, RowRect(29, c), IsRed), 0) << "column " << c;
        EXPECT_EQ(list.TextColourOf(30, c), QColor(255, 0, 0));
    }
    list.verticalScrollBar()->setValue(0);
    QApplication::processEvents();
    list.scrollToItem(list.topLevelItem(30));
    QApplication::processEvents();
    EXPECT_GT(CountPixels(Grab(), RowRect(30, 2), IsRed), 5) << "after scrolling away and back";
}

TEST_F(StyledListTest, GridLinesFollowTheExtendedStyle) {
    const QRect cell = RowRect(2, 1);
    auto lineAt = [&](int y) {
        g_expect = list.palette().color(QPalette::Mid);
        return CountPixels(Grab(), QRect(cell.left(), y, cell.width(), 1), IsExpected);
    };
    const int before = lineAt(cell.bottom());
    list.SetExtendedStyle(CListCtrlStyled::kGridLines | CListCtrlStyled::kFullRowSelect);
    QApplication::processEvents();
    EXPECT_GT(lineAt(cell.bottom()), before + cell.width() / 2) << "a line under every row";
    g_expect = list.palette().color(QPalette::Mid);
    EXPECT_GT(CountPixels(Grab(), QRect(cell.right(), cell.top(), 1, cell.height()), IsExpected),
              cell.height() / 2)
        << "and between the columns";
}

TEST_F(StyledListTest, SelectedRedRowUsesHighlightColours) {
    list.scrollToItem(list.topLevelItem(30));
    list.setFocus();
    list.topLevelItem(30)->setSelected(true);
    QApplication::processEvents();
    EXPECT_EQ(list.TextColourOf(30, 1), QColor(255, 0, 0))
        << "the row record has no selected alternative, so its colour stays";
    QImage image = Grab();
    g_expect = list.palette().color(QPalette::Active, QPalette::Highlight);
    EXPECT_GT(CountPixels(image, RowRect(30, 1), IsExpected), RowRect(30, 1).width() * 4);

    list.topLevelItem(30)->setSelected(false);
    list.RecordOf(30)->Row().selectedStyle = std::make_unique<iLS_item>();
    list.topLevelItem(30)->setSelected(true);
    EXPECT_EQ(list.TextColourOf(30, 1), list.palette().color(QPalette::HighlightedText));
}

TEST_F(StyledListTest, NewRowsAfterDeleteAllShowNormally) {
    list.DeleteAllItems();
    EXPECT_EQ(list.GetItemCount(), 0);
    for (int r = 0; r < 35; ++r) list.InsertItem(r, QStringLiteral("WWWW"));
    list.scrollToItem(list.topLevelItem(30));
    QApplication::processEvents();
    EXPECT_FALSE(list.StyleOf(30, 0).text.has_value());
    EXPECT_EQ(CountPixels(Grab(), RowRect(30, 0), IsRed), 0);
}

TEST_F(StyledListTest, RowOperationsKeepRecordsWithTheirRows) {
    EXPECT_TRUE(list.DeleteItem(0));
    EXPECT_TRUE(list.StyleOf(29, 3).text.has_value()) << "the red row moved up with its record";
    EXPECT_FALSE(list.StyleOf(30, 3).text.has_value());
    EXPECT_FALSE(list.DeleteItem(500));
    EXPECT_FALSE(list.SetItemData(0, 42)) << "items inserted with text only carry no caller data";
    list.SetRowStyle(1, kStyleBold | kStyleUnderline);
    EXPECT_TRUE(list.FontOf(1, 2).bold());
    EXPECT_TRUE(list.FontOf(1, 2).underline());
    EXPECT_FALSE(list.FontOf(2, 2).bold());
    // A column added later gets a record in every row.
    list.InsertColumn(4, QStringLiteral("Extra"));
    EXPECT_EQ(list.RecordOf(5)->subItems.size(), 4u);
    list.SetColumnTxtColor(4, 0x00FF0000);
    EXPECT_EQ(list.TextColourOf(5, 4), QColor(0, 0, 255));
    EXPECT_EQ(list.TextColourOf(29, 4), QColor(255, 0, 0)) << "the row record outranks the column";
    // Out-of-range rows are ignored, not crashed on.
    list.SetRowTxtColor(-1, kRed);
    list.SetRowStyle(999, kStyleBold);
    EXPECT_FALSE(list.SetItemText(999, 0, QStringLiteral("x")));
}

TEST(MyButtonTest, CaptionIsRedNormalAndPressed) {
    CMyButton button(QStringLiteral("BURN BURN"));
    button.resize(140, 40);
    button.show();
    QApplication::processEvents();
    QImage normal = button.grab().toImage();
    EXPECT_GT(CountPixels(normal, normal.rect(), IsRed), 20);
    button.setDown(true);
    QImage pressed = button.grab().toImage();
    EXPECT_GT(CountPixels(pressed, pressed.rect(), IsRed), 20);
    EXPECT_NE(normal, pressed) << "the pressed frame differs from the normal one";
    // Disabled through its window, as while a burn runs: no red caption.
    QWidget window;
    auto* inWindow = new CMyButton(QStringLiteral("BURN BURN"), &window);
    inWindow->resize(140, 40);
    window.setEnabled(false);
    QImage disabled = inWindow->grab().toImage();
    EXPECT_EQ(CountPixels(disabled, disabled.rect(), IsRed), 0);
    // A plain button draws no red at all: the red comes from the class.
    QPushButton plain(QStringLiteral("BURN BURN"));
    plain.resize(140, 40);
    QImage p = plain.grab().toImage();
    EXPECT_EQ(CountPixels(p, p.rect(), IsRed), 0);
}

TEST(TabFrame, ShowsOnePageAndReportsTheTabBeingLeft) {
    QWidget a, b, c;
    std::vector<std::pair<int, int>> changes;
    {
        CDlgTabCtrl tabs;
        tabs.AddPage(0, QStringLiteral("A"), 130, &a);
        tabs.AddPage(1, QStringLiteral("B"), 131, &b);
        tabs.AddPage(2, QStringLiteral("C"), 137, &c);
        QObject::connect(&tabs, &CDlgTabCtrl::selectionChanging,
                         [&](int o, int n) { changes.emplace_back(o, n); });
        tabs.show();
        EXPECT_TRUE(changes.empty()) << "adding pages is no selection change";
        EXPECT_EQ(tabs.currentIndex(), 0);
        tabs.setCurrentIndex(2);
        tabs.setCurrentIndex(1);
        EXPECT_TRUE(b.isVisible());
        EXPECT_FALSE(a.isVisible());
        EXPECT_FALSE(c.isVisible());
        EXPECT_EQ(tabs.Page(2), &c);
        EXPECT_EQ(tabs.TemplateOf(1), 131);
        EXPECT_EQ(tabs.Page(7), nullptr);
    }
    EXPECT_EQ(changes, (std::vector<std::pair<int, int>>{{0, 2}, {2, 1}}));
    // The frame is gone; the pages it showed still exist and can be used.
    EXPECT_EQ(a.parent(), nullptr);
    b.setObjectName(QStringLiteral("still here"));
}

TEST(QtPorts, ProgressDialogDisablesTheWindowUntilDestroyedAndReportsCancelOnce) {
    QWidget main;
    main.show();
    QtProgressPort progress(&main);
    void* d = progress.Create(u"Downloading", u"Erasing", 0, 100);
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(main.isEnabled());
    auto* dialog = static_cast<QProgressDialog*>(d);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_FALSE(dialog->isModal());
    std::u16string pct = u"40%";
    progress.SetPosition(d, 40, &pct);
    progress.SetStatus(d, u"Writing");
    EXPECT_EQ(dialog->value(), 40);
    EXPECT_TRUE(dialog->labelText().contains(QStringLiteral("Writing")));
    EXPECT_TRUE(dialog->labelText().contains(QStringLiteral("40%")));
    EXPECT_FALSE(progress.Cancelled(d));
    QPushButton* cancel = dialog->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
    cancel->click();
    EXPECT_TRUE(progress.Cancelled(d));
    EXPECT_FALSE(progress.Cancelled(d)) << "reading clears the flag";
    progress.Destroy(d);
    EXPECT_TRUE(main.isEnabled());
    // Unknown handles are ignored.
    progress.SetPosition(&main, 1, nullptr);
    EXPECT_FALSE(progress.Cancelled(&main));
    progress.Destroy(&main);
}

TEST(QtPorts, WindowsFilterBecomesAQtFilter) {
    EXPECT_EQ(
        QtFileDialogPort::ToQtFilter(u"NVM Burner Settings (*.set)|*.set|All Files (*.*)|*.*||"),
        QStringLiteral("NVM Burner Settings (*.set);;All Files (*.*)"));
    EXPECT_EQ(QtFileDialogPort::ToQtFilter(u"Hex|*.hex;*.ihx||"),
              QStringLiteral("Hex (*.hex *.ihx)"));
    EXPECT_EQ(QtFileDialogPort::ToQtFilter(u"Hex Files (*.hex;*.ihx)|*.hex;*.ihx||"),
              QStringLiteral("Hex Files (*.hex *.ihx)"));
    EXPECT_EQ(QtFileDialogPort::ToQtFilter(u"|"), QString());
}

// Each dialog for a kind of file opens where the last one of that kind ended.
TEST(QtPorts, FileDialogsReturnToTheFolderLastUsed) {
    QTemporaryDir a, b;
    QString seen;
    auto choose = [&](const QString& path) {
        QTimer::singleShot(0, [&seen, path] {
            auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (d == nullptr) return;
            seen = d->directory().absolutePath();
            d->selectFile(path);
            static_cast<QDialog*>(d)->accept();
        });
    };
    QtFileDialogPort port;
    FileDialogRequest hex{u"Hex Files (*.hex;*.ihx)|*.hex;*.ihx||", u"", u"", false, false};
    FileDialogRequest nbf{u"NVM Burn File (*.nbf)|*.nbf||", u"", u"", false, false};
    choose(a.filePath(QStringLiteral("x.ihx")));
    ASSERT_TRUE(port.OpenFile(hex));
    choose(b.filePath(QStringLiteral("y.nbf")));
    ASSERT_TRUE(port.SaveFile(nbf));
    choose(a.filePath(QStringLiteral("z.hex")));
    ASSERT_TRUE(port.OpenFile(hex));
    EXPECT_EQ(seen, QDir(a.path()).absolutePath());
    choose(b.filePath(QStringLiteral("w.nbf")));
    ASSERT_TRUE(port.OpenFile(nbf));
    EXPECT_EQ(seen, QDir(b.path()).absolutePath());
}

TEST(QtPorts, SaveDialogAsksBeforeCreatingAndNoChoosesAgain) {
    QTemporaryDir dir;
    const QString fresh = dir.filePath(QStringLiteral("new.hex"));
    QStringList questions;
    int dialogs = 0;
    // Whatever is up gets its answer: the dialog the new name, the question No, then Yes.
    QTimer operatorHand;
    QObject::connect(&operatorHand, &QTimer::timeout, [&] {
        QWidget* up = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(up)) {
            questions << box->text();
            box->button(questions.size() == 1 ? QMessageBox::No : QMessageBox::Yes)->click();
        } else if (auto* d = qobject_cast<QFileDialog*>(up)) {
            ++dialogs;
            d->selectFile(fresh);
            // Later: accepting may raise a box of its own, which this hand answers too.
            QTimer::singleShot(0, d, [d] { static_cast<QDialog*>(d)->accept(); });
        }
    });
    operatorHand.start(5);
    QtFileDialogPort port;
    FileDialogRequest r{u"Hex File (*.hex)|*.hex||", u"hex", u"", false, true};
    r.confirmCreate = true;
    EXPECT_EQ(port.SaveFile(r), FromQ(fresh));
    EXPECT_EQ(dialogs, 2);
    ASSERT_EQ(questions.size(), 2);
    EXPECT_EQ(questions[0], QStringLiteral("new.hex does not exist.\nDo you want to create it?"));

    // An existing file is only the overwrite question.
    QFile(fresh).open(QIODevice::WriteOnly);
    questions.clear();
    EXPECT_EQ(port.SaveFile(r).value_or(u""), FromQ(fresh));
    EXPECT_TRUE(questions.filter(QStringLiteral("does not exist")).isEmpty())
        << questions.join('|').toStdString();
}

// Answers the next modal message box by pressing `button`, once it is up.
void AnswerNextBox(QMessageBox::StandardButton button, QString* text, QString* title,
                   QMessageBox::Icon* icon) {
    QTimer::singleShot(0, [=] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        *text = box->text();
        *title = box->windowTitle();
        *icon = box->icon();
        box->button(button)->click();
    });
}

TEST(QtPorts, MessageBoxShowsTextCaptionIconAndReturnsThePressedButton) {
    QtMessagePort port;
    QString text, title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    AnswerNextBox(QMessageBox::Ok, &text, &title, &icon);
    EXPECT_EQ(port.ShowMessage(u"File not found.\r\nDownload aborted.", u"", MsgButtons::Ok,
                               MsgIcon::Exclamation),
              MsgResult::Ok);
    EXPECT_EQ(text, QStringLiteral("File not found.\nDownload aborted."));
    EXPECT_EQ(title, QStringLiteral("Cindral"));
    EXPECT_EQ(icon, QMessageBox::Warning);

    AnswerNextBox(QMessageBox::No, &text, &title, &icon);
    EXPECT_EQ(port.ShowMessage(u"Retry?", u"Ordwin", MsgButtons::YesNo, MsgIcon::Question),
              MsgResult::No);
    EXPECT_EQ(title, QStringLiteral("Ordwin"));
    EXPECT_EQ(icon, QMessageBox::Question);

    AnswerNextBox(QMessageBox::Cancel, &text, &title, &icon);
    EXPECT_EQ(port.ShowMessage(u"Go on?", u"", MsgButtons::OkCancel, MsgIcon::None),
              MsgResult::Cancel);
}

}  // namespace
}  // namespace cindral
