// The source file list: the files of one directory, sorted by name without
// regard to ASCII case, with extended multi-selection. The SourceFileList it
// holds is what the run and the selection commands work on; the view shows
// it, and the user's own selecting is written back into it.
//
// Built for large directories: the model hands out rows on demand, all rows
// have the same height, and a selection made by a command reaches the view
// as one QItemSelection of contiguous runs.
#pragma once

#include <QAbstractListModel>
#include <QListView>
#include <string>

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

private:
    void ViewSelectionChanged();

    SourceFileList list_;
    FileListModel* model_ = nullptr;
    bool applying_ = false;
};

}  // namespace vorneck
