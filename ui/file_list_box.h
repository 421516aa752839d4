// SPDX-License-Identifier: MIT
// The source file list: the files of one directory, sorted by name without
// regard to ASCII case (ListNameLess), with extended multi-selection. The
// SourceFileList it holds is what the run and the selection commands work
// on; the view shows it, and the user's own selecting is written back into
// it.
//
// Built for large directories: the model hands out rows on demand, all rows
// have the same height, and a selection made by a command reaches the view
// as one QItemSelection of contiguous runs.
#pragma once

#include <QAbstractListModel>
#include <QItemSelectionModel>
#include <QListView>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/source_file_list.h"

namespace vorneck {

class FileListModel : public QAbstractListModel {
    Q_OBJECT
public:
    FileListModel(SourceFileList& list, QObject* parent);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

    // Replaces the list's directory and entries; every entry starts unselected.
    void Reset(std::string directory, std::vector<std::string> names);

private:
    SourceFileList& list_;
};

// The selection of a flat list, kept as one flag per row.
//
// QItemSelectionModel keeps ranges and compares the old and the new
// selection range by range, which takes time in the product of their
// counts: with thousands of scattered entries selected, Ctrl+A or a Shift+
// click over the list takes seconds. This model works out every change on
// the flags instead, and hands the base model the result as a fresh set of
// ranges (cleared first, then selected), which costs time in proportion to
// the rows and ranges only.
class FlatSelectionModel : public QItemSelectionModel {
    Q_OBJECT
public:
    explicit FlatSelectionModel(QAbstractItemModel* model, QObject* parent = nullptr);

    using QItemSelectionModel::select;
    void select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) override;
    void clear() override;
    void reset() override;

    // One flag per row of the model; nonzero for a selected row.
    const std::vector<std::uint8_t>& Flags() const { return effective_; }

    // Makes `flags` the whole selection, without a Selected() signal.
    void Replace(std::vector<std::uint8_t> flags);

signals:
    // The selection changed through select(): the view's doing, as the
    // user clicks, drags and types.
    void Selected();

private:
    void ApplyCurrent();
    void Push();
    void Resync();
    std::size_t Rows() const;

    std::vector<std::uint8_t> committed_;  // without the selection in progress
    std::vector<std::uint8_t> effective_;  // what is shown
    QItemSelection current_;                // a selection in progress (a drag)
    QItemSelectionModel::SelectionFlags currentCommand_;
    bool pushing_ = false;
};

class FileListBox : public QListView {
    Q_OBJECT
public:
    static constexpr int kItemHeight = 13;

    explicit FileListBox(QWidget* parent = nullptr);

    SourceFileList& List() { return list_; }
    const SourceFileList& List() const { return list_; }

    // The directory shown: an absolute path without a trailing "/" (but "/"
    // itself), or empty while the list is bound to none.
    const std::string& Directory() const { return list_.Directory(); }

    // Binds the list to a directory, made absolute against the current
    // directory. A directory other than the current one (compared exactly)
    // is read anew and every selection dropped; the same one changes
    // nothing. Returns 0, or the errno of a directory that cannot be read,
    // in which case the list is left as it was. Never reports a selection
    // change.
    int SetDirectory(const std::string& path);

    // Shows the list's selection flags in the view, after a command changed
    // them. Never reports a selection change.
    void ShowListSelection();

    // The path a directory is bound by: absolute, without "." and ".."
    // steps, without a trailing "/" except for "/" itself.
    static std::string NormalisedDirectory(const std::string& path);

signals:
    // The user changed the selection with mouse or keyboard; the list's
    // flags already follow it.
    void UserSelectionChanged();

protected:
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;

private:
    void ViewSelectionChanged();

    SourceFileList list_;
    FileListModel* model_ = nullptr;
    FlatSelectionModel* selection_ = nullptr;
    bool pressedOutside_ = false;  // the button went down below the entries
};

}  // namespace vorneck
