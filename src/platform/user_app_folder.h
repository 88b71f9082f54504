#pragma once

#include "platform/app_folder.h"

#include <QString>

namespace kvx {

// The application folder of an installed program. A program installed under <prefix>/bin
// keeps no files beside itself: each user works on a folder of his own,
// $XDG_DATA_HOME/kvx (else ~/.local/share/kvx), made from the installed sample
// <prefix>/share/kvx/sample on first start. A program run from its build folder keeps
// working on the folder it lies in.
class UserAppFolder {
public:
    // What choosing, and perhaps making, the folder came to.
    struct Outcome {
        AppFolder folder;
        // The sample the folder was made from just now; empty when it was there already.
        QString createdFrom;
        // Why the folder could not be made; empty when it is usable.
        QString error;

        bool created() const { return !createdFrom.isEmpty(); }
        // Tells the operator where his folder is and what it came from.
        QString createdMessage() const;
    };

    // The installed sample beside the program's folder; empty when there is none (a program
    // in its build folder).
    static QString installedSample(const QString& programFolder);
    // $XDG_DATA_HOME/kvx, else ~/.local/share/kvx.
    static QString path();
    // The folder a program in `programFolder` works on, without making anything: KVX_APP_DIR,
    // else the user's folder for an installed program, else the program's folder.
    static AppFolder choose(const QString& programFolder);
    // Like `choose`, and the user's folder is made from the installed sample when it is
    // missing. The copy is made beside it under another name and renamed when complete, so a
    // failed or interrupted copy never leaves a half folder that a later start would take.
    static Outcome prepare(const QString& programFolder);
};

} // namespace kvx
