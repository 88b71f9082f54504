#pragma once

#include <QString>

namespace kvx {

class AppFolder;

// "\xml.ini": the folders of the mail transfer. The values live in memory for the whole
// process once loaded; the path dialog edits them and then saves.
struct PathSettings {
    QString importPath;        // where documents received by mail are written
    QString exportPath;        // whose documents are sent by mail
    QString exportWholeFolder; // "true": send every file; "false": the operator picks one

    static QString relativePath() { return QStringLiteral("\\xml.ini"); }
    // The application folder followed by its separator, twice, and "false".
    static PathSettings defaults(const AppFolder& folder);

    // Reads the file into these values. A missing file is created with the defaults. Items
    // the file lacks keep what they held, and a value that is still empty gets its default,
    // so the mail transfer never works on an empty folder name. An existing file that cannot
    // be read is left alone.
    void load(const AppFolder& folder);
    // Rewrites the file with the three values, after making a read-only file writable.
    bool save(const AppFolder& folder, QString* error = nullptr) const;

    // "true" in any letter case.
    bool exportsWholeFolder() const;
};

} // namespace kvx
