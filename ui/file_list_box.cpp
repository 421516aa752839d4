// SPDX-License-Identifier: MIT
#include "ui/file_list_box.h"

#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QMouseEvent>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <algorithm>
#include <filesystem>
#include <system_error>

#include "ui/name_order.h"
#include "ui/path_field.h"

namespace vorneck {
namespace {

// Rows of one fixed height; their width is the view's.
class FileItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {1, FileListBox::kItemHeight};
    }

    // A name too long for the list is cut off at its right edge; its tooltip
    // holds it whole.
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override {
        if (event->type() == QEvent::ToolTip && index.isValid()) {
            const QString text = index.data(Qt::DisplayRole).toString();
            const int room = option.rect.width() - 2 * 4;
            if (option.fontMetrics.horizontalAdvance(text) > room) {
                QToolTip::showText(event->globalPos(), text, view, option.rect);
                return true;
            }
            QToolTip::hideText();
            return true;
        }
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    }
};

}  // namespace

FileListModel::FileListModel(SourceFileList& list, QObject* parent)
    : QAbstractListModel(parent), list_(list) {}

int FileListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(list_.EntryCount());
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() < 0 || static_cast<std::uint64_t>(index.row()) >= list_.EntryCount())
        return {};
    if (role == Qt::DisplayRole) {
        const std::string& name = list_.Names()[static_cast<std::size_t>(index.row())];
        return PathText(name);
    }
    return {};
}

void FileListModel::Reset(std::string directory, std::vector<std::string> names) {
    beginResetModel();
    list_.Reset(std::move(directory), std::move(names));
    endResetModel();
}

FlatSelectionModel::FlatSelectionModel(QAbstractItemModel* model, QObject* parent)
    : QItemSelectionModel(model, parent) {
    // Anything that changes the base selection behind this model's back
    // (clearSelection() is not virtual) is read back into the flags.
    connect(this, &QItemSelectionModel::selectionChanged, this, [this] {
        if (!pushing_) Resync();
    });
}

std::size_t FlatSelectionModel::Rows() const {
    return model() != nullptr ? static_cast<std::size_t>(std::max(0, model()->rowCount())) : 0;
}

void FlatSelectionModel::select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) {
    if (pushing_) {  // this model's own hand-over to the base model
        QItemSelectionModel::select(selection, command);
        return;
    }
    if (command == NoUpdate) return;
    const std::size_t rows = Rows();
    committed_.resize(rows, 0);
    effective_.resize(rows, 0);
    const std::vector<std::uint8_t> before = effective_;
    // The same steps as the base model: a clear empties everything; any
    // command but one that updates the selection in progress first makes
    // that selection permanent; then the new selection is in progress.
    if (command & Clear) {
        std::fill(committed_.begin(), committed_.end(), 0);
        current_.clear();
    }
    if (!(command & Current)) {
        ApplyCurrent();
        committed_ = effective_;
        current_.clear();
    }
    if (command & (Select | Deselect | Toggle)) {
        current_ = selection;
        currentCommand_ = command;
    }
    ApplyCurrent();
    if (effective_ == before) return;
    Push();
    emit Selected();
}

void FlatSelectionModel::ApplyCurrent() {
    effective_ = committed_;
    if (!(currentCommand_ & (Select | Deselect | Toggle))) return;
    const auto rows = static_cast<int>(effective_.size());
    for (const QItemSelectionRange& range : current_) {
        if (!range.isValid()) continue;
        const int top = std::max(0, range.top());
        const int bottom = std::min(rows - 1, range.bottom());
        for (int row = top; row <= bottom; ++row) {
            auto& flag = effective_[static_cast<std::size_t>(row)];
            if (currentCommand_ & Toggle)
                flag = flag != 0 ? 0 : 1;
            else
                flag = (currentCommand_ & Select) ? 1 : 0;
        }
    }
}

void FlatSelectionModel::Replace(std::vector<std::uint8_t> flags) {
    flags.resize(Rows(), 0);
    committed_ = flags;
    effective_ = std::move(flags);
    current_.clear();
    currentCommand_ = NoUpdate;
    Push();
}

void FlatSelectionModel::Push() {
    QItemSelection ranges;
    const std::size_t rows = effective_.size();
    std::size_t row = 0;
    while (row < rows) {
        if (effective_[row] == 0) {
            ++row;
            continue;
        }
        const std::size_t first = row;
        while (row < rows && effective_[row] != 0) ++row;
        ranges.append(QItemSelectionRange(model()->index(static_cast<int>(first), 0),
                                          model()->index(static_cast<int>(row - 1), 0)));
    }
    pushing_ = true;
    QItemSelectionModel::clearSelection();
    if (!ranges.isEmpty()) QItemSelectionModel::select(ranges, Select);
    pushing_ = false;
}

void FlatSelectionModel::Resync() {
    effective_.assign(Rows(), 0);
    const QItemSelection ranges = selection();
    const auto rows = static_cast<int>(effective_.size());
    for (const QItemSelectionRange& range : ranges) {
        if (!range.isValid()) continue;
        for (int row = std::max(0, range.top()); row <= std::min(rows - 1, range.bottom()); ++row)
            effective_[static_cast<std::size_t>(row)] = 1;
    }
    committed_ = effective_;
    current_.clear();
    currentCommand_ = NoUpdate;
    emit Selected();
}

void FlatSelectionModel::clear() {
    pushing_ = true;
    QItemSelectionModel::clear();
    pushing_ = false;
    Replace({});
}

void FlatSelectionModel::reset() {
    QItemSelectionModel::reset();  // signals blocked: the model was reset
    committed_.clear();
    effective_.clear();
    current_.clear();
    currentCommand_ = NoUpdate;
}

FileListBox::FileListBox(QWidget* parent) : QListView(parent) {
    model_ = new FileListModel(list_, this);
    setModel(model_);
    QItemSelectionModel* previous = selectionModel();
    selection_ = new FlatSelectionModel(model_, this);
    setSelectionModel(selection_);
    delete previous;
    setItemDelegate(new FileItemDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Entries are the names exactly: a long one is clipped, never shortened.
    setTextElideMode(Qt::ElideNone);
    setDragEnabled(false);
    connect(selection_, &FlatSelectionModel::Selected, this, &FileListBox::ViewSelectionChanged);
}

std::string FileListBox::NormalisedDirectory(const std::string& path) {
    namespace fs = std::filesystem;
    fs::path p(path);
    if (p.is_relative()) {
        std::error_code ec;
        const fs::path cwd = fs::current_path(ec);
        if (!ec) p = cwd / p;
    }
    std::string text = p.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

int FileListBox::SetDirectory(const std::string& path) {
    const std::string directory = NormalisedDirectory(path);
    if (!list_.Directory().empty() && directory == list_.Directory()) return 0;
    DirectoryListing listing = ListDirectoryFiles(directory);
    if (listing.error != 0) return listing.error;
    SortListNames(listing.names);
    // The reset drops the view's selection without a signal.
    model_->Reset(directory, std::move(listing.names));
    return 0;
}

void FileListBox::ShowListSelection() {
    std::vector<std::uint8_t> flags(list_.EntryCount(), 0);
    for (std::uint64_t i = 0; i < flags.size(); ++i) flags[i] = list_.IsSelected(i) ? 1 : 0;
    selection_->Replace(std::move(flags));
}

void FileListBox::mousePressEvent(QMouseEvent* e) {
    // A press below the last entry selects nothing: the list only takes the
    // focus, and the selection stays as it is until the button is released.
    pressedOutside_ = !indexAt(e->position().toPoint()).isValid();
    if (pressedOutside_) {
        if (focusPolicy() & Qt::ClickFocus) setFocus(Qt::MouseFocusReason);
        e->accept();
        return;
    }
    QListView::mousePressEvent(e);
}

void FileListBox::mouseMoveEvent(QMouseEvent* e) {
    if (pressedOutside_ && e->buttons() != Qt::NoButton) {
        e->accept();
        return;
    }
    QListView::mouseMoveEvent(e);
}

void FileListBox::mouseReleaseEvent(QMouseEvent* e) {
    if (pressedOutside_) {
        pressedOutside_ = false;
        e->accept();
        return;
    }
    QListView::mouseReleaseEvent(e);
}

void FileListBox::mouseDoubleClickEvent(QMouseEvent* e) {
    if (!indexAt(e->position().toPoint()).isValid()) {
        pressedOutside_ = true;
        e->accept();
        return;
    }
    QListView::mouseDoubleClickEvent(e);
}

void FileListBox::ViewSelectionChanged() {
    // The list's flags follow the view's.
    const std::vector<std::uint8_t>& flags = selection_->Flags();
    list_.SetAllSelected(false);
    for (std::size_t i = 0; i < flags.size(); ++i)
        if (flags[i] != 0) list_.SetSelected(i, true);
    emit UserSelectionChanged();
}

}  // namespace vorneck
