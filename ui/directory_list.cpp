// SPDX-License-Identifier: MIT
#include "ui/directory_list.h"

#include <QAbstractListModel>
#include <QIcon>
#include <QKeyEvent>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <algorithm>
#include <utility>
#include <vector>

#include "ui/dialog_resources.h"
#include "ui/dir_paths.h"
#include "ui/fault_report.h"
#include "ui/path_field.h"

namespace vorneck {
namespace {

constexpr int kLevelRole = Qt::UserRole + 1;

}  // namespace

class DirectoryLinesModel : public QAbstractListModel {
public:
    explicit DirectoryLinesModel(QObject* parent)
        : QAbstractListModel(parent),
          openIcon_(DialogPixmap(DialogPicture::FolderOpen)),
          closedIcon_(DialogPixmap(DialogPicture::FolderClosed)) {}

    void SetLines(std::vector<DirectoryLine> lines, int widestRow) {
        beginResetModel();
        lines_ = std::move(lines);
        widestRow_ = widestRow;
        endResetModel();
    }

    const DirectoryLine& Line(int row) const { return lines_[static_cast<std::size_t>(row)]; }
    int WidestRow() const { return widestRow_; }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(lines_.size());
    }

    QVariant data(const QModelIndex& index, int role) const override {
        if (!index.isValid() || index.row() >= rowCount()) return {};
        const DirectoryLine& line = Line(index.row());
        switch (role) {
            case Qt::DisplayRole:
                return PathText(line.text);
            case Qt::DecorationRole:
                return line.open ? openIcon_ : closedIcon_;
            case kLevelRole:
                return line.level;
            default:
                return {};
        }
    }

private:
    std::vector<DirectoryLine> lines_;
    int widestRow_ = 0;
    QIcon openIcon_;
    QIcon closedIcon_;
};

namespace {

// Draws each line indented by its level; every line is as wide as the
// widest one, so the list can keep uniform item sizes (fast for huge
// directories) and still scroll sideways on deep trees.
class IndentDelegate : public QStyledItemDelegate {
public:
    IndentDelegate(DirectoryLinesModel* model, QObject* parent) : QStyledItemDelegate(parent), model_(model) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem indented = option;
        const int indent = index.data(kLevelRole).toInt() * DirectoryListBox::kIndent;
        indented.rect.setLeft(option.rect.left() + indent);
        indented.rect.setWidth(TextWidth(option, index));
        QStyledItemDelegate::paint(painter, indented, index);
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        if (model_->rowCount() == 0) return {0, DirectoryListBox::kItemHeight};
        const QModelIndex widest = index.model()->index(model_->WidestRow(), 0);
        const int indent = widest.data(kLevelRole).toInt() * DirectoryListBox::kIndent;
        return {indent + TextWidth(option, widest), DirectoryListBox::kItemHeight};
    }

private:
    int TextWidth(const QStyleOptionViewItem& option, const QModelIndex& index) const {
        return QStyledItemDelegate::sizeHint(option, index).width();
    }

    DirectoryLinesModel* model_;
};

// The line that needs the most room. Measuring every line of a directory
// with 100,000 sub-directories takes a visible moment, so only the lines
// with the most characters (indentation counted as characters) are
// measured; the widest is among them in any ordinary face.
int WidestLine(const std::vector<DirectoryLine>& lines, const QFontMetrics& metrics) {
    constexpr std::size_t kMeasured = 64;
    std::vector<int> rows(lines.size());
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<int>(i);
    auto length = [&lines](int row) {
        const DirectoryLine& line = lines[static_cast<std::size_t>(row)];
        return line.text.size() + static_cast<std::size_t>(line.level) * 2;
    };
    if (rows.size() > kMeasured) {
        std::nth_element(rows.begin(), rows.begin() + kMeasured, rows.end(),
                         [&](int a, int b) { return length(a) > length(b); });
        rows.resize(kMeasured);
    }
    int widestRow = 0;
    int widest = -1;
    for (const int row : rows) {
        const DirectoryLine& line = lines[static_cast<std::size_t>(row)];
        const int width = line.level * DirectoryListBox::kIndent +
                          metrics.horizontalAdvance(PathText(line.text));
        if (width > widest) {
            widest = width;
            widestRow = row;
        }
    }
    return widestRow;
}

}  // namespace

DirectoryListBox::DirectoryListBox(QWidget* parent) : QListView(parent), model_(new DirectoryLinesModel(this)) {
    setModel(model_);
    setItemDelegate(new IndentDelegate(model_, this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setIconSize(QSize(16, 16));
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    connect(this, &QAbstractItemView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid()) OpenHighlightedOrReport();
    });
}

int DirectoryListBox::SetDrive(const std::string& mountPath) {
    if (mountPath == root_) return 0;
    return Load(mountPath, mountPath);
}

int DirectoryListBox::SetDirectory(const std::string& path) {
    const std::string root = !root_.empty() && PathIsUnder(path, root_) ? root_ : std::string("/");
    return Load(root, path);
}

int DirectoryListBox::OpenHighlighted() {
    const int row = HighlightedRow();
    if (row < 0) return 0;
    return Load(root_, LinePath(row));
}

int DirectoryListBox::LineCount() const { return model_->rowCount(); }

QString DirectoryListBox::LineText(int row) const { return model_->index(row, 0).data().toString(); }

int DirectoryListBox::LineLevel(int row) const { return model_->Line(row).level; }

std::string DirectoryListBox::LinePath(int row) const { return model_->Line(row).path; }

int DirectoryListBox::HighlightedRow() const {
    const QModelIndex index = currentIndex();
    return index.isValid() ? index.row() : -1;
}

void DirectoryListBox::keyPressEvent(QKeyEvent* event) {
    // Return, or Enter on the keypad, opens the highlighted line.
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        OpenHighlightedOrReport();
        return;
    }
    QListView::keyPressEvent(event);
}

int DirectoryListBox::Load(const std::string& root, const std::string& directory) {
    SubdirectoryListing listing = ListSubdirectories(directory);
    if (listing.error != 0) return listing.error;

    std::vector<DirectoryLine> lines = BuildDirectoryLines(root, directory, listing.names);
    const int widestRow = WidestLine(lines, QFontMetrics(font()));
    root_ = root;
    directory_ = directory;
    currentRow_ = static_cast<int>(PathLevels(root, directory).size());
    model_->SetLines(std::move(lines), widestRow);

    const QModelIndex current = model_->index(currentRow_, 0);
    setCurrentIndex(current);
    // The scroll bars get their ranges when the list is laid out, which
    // for a hidden list happens only once it is shown, and may take more
    // than one pass (one scroll bar appearing narrows the room for the
    // other): follow the current line at every layout until the user
    // scrolls or moves the highlight.
    followCurrent_ = true;
    doItemsLayout();
    return 0;
}

void DirectoryListBox::updateGeometries() {
    QListView::updateGeometries();
    if (!followCurrent_ || currentRow_ < 0 || !isVisible()) return;
    // The parent's line on top, then the current line and as many of its
    // sub-directories as fit.
    ownScroll_ = true;
    scrollTo(model_->index(std::max(0, currentRow_ - 1), 0), QAbstractItemView::PositionAtTop);
    scrollTo(model_->index(currentRow_, 0), QAbstractItemView::EnsureVisible);
    ownScroll_ = false;
}

void DirectoryListBox::scrollContentsBy(int dx, int dy) {
    QListView::scrollContentsBy(dx, dy);
    if (!ownScroll_) followCurrent_ = false;
}

void DirectoryListBox::scrollTo(const QModelIndex& index, ScrollHint hint) {
    // Lines are as wide as the widest one, so the stock scrolling would
    // always go back to the left edge; on a deep tree the start of the line
    // (its picture and name) is what must show.
    QScrollBar* bar = horizontalScrollBar();
    const int kept = bar->value();
    const bool own = ownScroll_;
    ownScroll_ = true;
    QListView::scrollTo(index, hint);
    ownScroll_ = own;
    if (!index.isValid()) return;
    const int indent = LineLevel(index.row()) * kIndent;
    const int room = viewport()->width();
    const int needed = indent + 3 * kItemHeight;
    int value = kept;
    if (indent < kept || needed > kept + room) value = needed > room ? indent - kIndent : 0;
    bar->setValue(value);
}

void DirectoryListBox::OpenHighlightedOrReport() {
    if (const int error = OpenHighlighted(); error != 0) {
        FaultReport(window(), error);
        return;
    }
    emit DirectoryOpened();
}

}  // namespace vorneck
