#pragma once

#include <QDialog>

class QComboBox;
class QFileSystemModel;
class QLineEdit;
class QModelIndex;
class QTreeView;

namespace kvx {

// The drive-and-folder picker. It is hidden, not destroyed, when closed, so that its owner
// can read the chosen folder afterwards.
class PathDlg : public QDialog {
    Q_OBJECT
public:
    explicit PathDlg(QWidget* parent = nullptr);

    // Shows the picker modally over `owner`, starting in `startFolder` when that exists and
    // otherwise in the current folder. Returns the chosen folder, always ending with the
    // separator, or an empty text when the operator cancelled.
    QString openPath(QWidget* owner, const QString& startFolder = {});
    QString chosenPath() const { return m_chosenPath; }

private:
    void onDriveChanged(int index);
    void onFolderChanged(const QModelIndex& current);
    void onOkClicked();
    void showFolder(const QString& folder);
    void fillDrives();

    QComboBox* m_drives;
    QTreeView* m_tree;
    QFileSystemModel* m_model;
    QLineEdit* m_path;
    QString m_chosenPath;
};

} // namespace kvx
