#include "ui/file_list_box.h"

#include <QHelpEvent>
#include <QItemSelectionModel>
#include <QStyledItemDelegate>
#include <QToolTip>
#include <filesystem>
#include <system_error>

namespace vorneck {
namespace {

// Rows of one fixed height; their width is the view's.
class FileItemDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {1, FileListBox::kItemHeight};
    }

    // A name too long for the list is shown shortened; its tooltip holds it whole.
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
        return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
    }
    return {};
}

void FileListModel::Reset(std::string directory, std::vector<std::string> names) {
    beginResetModel();
    list_.Reset(std::move(directory), std::move(names));
    endResetModel();
}

FileListBox::FileListBox(QWidget* parent) : QListView(parent) {
    model_ = new FileListModel(list_, this);
    setModel(model_);
    setItemDelegate(new FileItemDelegate(this));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setTextElideMode(Qt::ElideMiddle);  // keeps the extension in sight
    setDragEnabled(false);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &FileListBox::ViewSelectionChanged);
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
    applying_ = true;
    model_->Reset(directory, std::move(listing.names));
    applying_ = false;
    return 0;
}

void FileListBox::ShowListSelection() {
    // One selection of contiguous runs, applied at once: fed row by row,
    // a selection of a large list takes minutes.
    QItemSelection selection;
    const std::uint64_t count = list_.EntryCount();
    std::uint64_t position = 0;
    while (position < count) {
        if (!list_.IsSelected(position)) {
            ++position;
            continue;
        }
        const std::uint64_t first = position;
        while (position < count && list_.IsSelected(position)) ++position;
        selection.append(QItemSelectionRange(model_->index(static_cast<int>(first)),
                                             model_->index(static_cast<int>(position - 1))));
    }
    applying_ = true;
    // Cleared first: comparing an old and a new selection of many runs
    // against each other costs the product of their sizes.
    selectionModel()->clearSelection();
    if (!selection.isEmpty()) selectionModel()->select(selection, QItemSelectionModel::Select);
    applying_ = false;
}

void FileListBox::ViewSelectionChanged() {
    if (applying_) return;
    // The flags follow the view's selection, read as ranges.
    list_.SetAllSelected(false);
    const QItemSelection selection = selectionModel()->selection();
    for (const QItemSelectionRange& range : selection) {
        if (!range.isValid()) continue;
        for (int row = range.top(); row <= range.bottom(); ++row)
            list_.SetSelected(static_cast<std::uint64_t>(row), true);
    }
    emit UserSelectionChanged();
}

}  // namespace vorneck
