#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kvx {

class AppFolder;
class PathDlg;
class Prompter;
struct PathSettings;

// Edits the import and export folders of the mail transfer and saves them to "\xml.ini".
// When the mail settings leave the password to the system's keyring, the dialog takes it too;
// whoever opened the dialog keeps it there.
class FrmPath : public QDialog {
    Q_OBJECT
public:
    FrmPath(PathSettings& settings, const AppFolder& folder, Prompter& prompter,
            QWidget* parent = nullptr);

    // Shows the mail password box. `required`: the keyring holds no password yet, so the box
    // takes the focus and OK wants one; otherwise an empty box keeps the password kept before.
    void showMailPassword(bool required);
    // The password typed, empty when none was.
    QString mailPassword() const;

private:
    void onImportReturnPressed();
    void onExportReturnPressed();
    void onImportBrowseClicked();
    void onExportBrowseClicked();
    void onOkClicked();

    void browseInto(QLineEdit* box);
    // The first failed check's message, or an empty text when the folders can be kept.
    QString checkFolders(const QString& importFolder, const QString& exportFolder) const;

    PathSettings& m_settings;
    const AppFolder& m_folder;
    Prompter& m_prompter;
    QLineEdit* m_importBox;
    QLineEdit* m_exportBox;
    QPushButton* m_importBrowse;
    QPushButton* m_exportBrowse;
    QCheckBox* m_wholeFolder;
    QLabel* m_passwordLabel;
    QLineEdit* m_passwordBox;
    bool m_passwordRequired = false;
    PathDlg* m_pathDlg = nullptr;
};

} // namespace kvx
