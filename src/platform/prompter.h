#pragma once

#include <QString>

namespace kvx {

// Every message box, file or folder dialog and report display of the system goes through this
// interface, so that tests can answer for the person and the plan agent can log instead of
// asking.
class Prompter {
public:
    enum class Icon { None, Information, Warning, Critical, Question };
    enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel };
    enum class Answer { Ok, Cancel, Yes, No };

    virtual ~Prompter() = default;

    virtual void message(const QString& text, const QString& title, Icon icon) = 0;
    virtual Answer question(const QString& text, const QString& title, Buttons buttons,
                            Icon icon) = 0;
    // Filters use the "Description (*.xml)|*.xml|All Files (*.*)|*.*" form of the system.
    // An empty result means the person cancelled.
    virtual QString openFile(const QString& title, const QString& filter,
                             const QString& folder) = 0;
    virtual QString saveFile(const QString& title, const QString& filter,
                             const QString& folder) = 0;
    virtual QString chooseFolder(const QString& title, const QString& folder) = 0;
    // A long text, such as the report of an exchange run, in the display window ("结果显示"),
    // modally.
    virtual void displayText(const QString& text) = 0;
};

} // namespace kvx
