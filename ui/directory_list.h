// SPDX-License-Identifier: MIT
// The directory list of the directory chooser: the root of its volume, each
// level of its current directory, then the current directory's
// sub-directories. A click only highlights a line; a double click or Enter
// opens the highlighted line, which makes it the current directory.
#pragma once

#include <QListView>
#include <string>

namespace vorneck {

class DirectoryLinesModel;

class DirectoryListBox : public QListView {
    Q_OBJECT

public:
    explicit DirectoryListBox(QWidget* parent = nullptr);

    // The mount path the list starts from, and the directory last opened
    // (absolute, no trailing "/" except for "/"). Both empty until the
    // first successful SetDrive or SetDirectory.
    const std::string& Drive() const { return root_; }
    const std::string& Directory() const { return directory_; }

    // Moves the list to the root of the volume mounted at `mountPath`;
    // nothing happens when the list is already on that volume. Returns 0,
    // or the errno of a root that cannot be entered (the list is then
    // unchanged).
    int SetDrive(const std::string& mountPath);

    // Opens `path` (clean and absolute) on the list's volume, or on "/" when
    // it does not lie below the volume's root. Returns 0 or errno, as above.
    int SetDirectory(const std::string& path);

    // Opens the highlighted line; returns 0 or errno, as above.
    int OpenHighlighted();

    int LineCount() const;
    QString LineText(int row) const;
    int LineLevel(int row) const;
    std::string LinePath(int row) const;
    int CurrentDirectoryRow() const { return currentRow_; }
    int HighlightedRow() const;

    // Keeps the start of the line (its picture and name) in view.
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;

    static constexpr int kItemHeight = 16;
    static constexpr int kIndent = 8;

signals:
    // The current directory changed through the user opening a line.
    void DirectoryOpened();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;

private:
    int Load(const std::string& root, const std::string& directory);
    void OpenHighlightedOrReport();

    DirectoryLinesModel* model_;
    std::string root_;
    std::string directory_;
    int currentRow_ = -1;
    bool followCurrent_ = false;  // keep the current line in view at each layout
    bool ownScroll_ = false;      // scrolling done here, not by the user
};

}  // namespace vorneck
