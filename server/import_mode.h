#pragma once

#include "platform/xml/xml_element.h"

#include <QString>

namespace kvx {

// What an import document asks for: the action its `proc` names and the options set on
// its root. Procs compare without regard to letter case: "Add"/"add" add, "Edit" changes,
// "Delete" deletes. An operation's own proc is read by the words it holds: one naming both
// adding and changing ("AddOrEdit", "addupdate") adds or changes; otherwise a word for
// deleting, changing or adding decides. A proc with none of them, or one naming deleting
// together with another action, is not supported. A missing proc means "add", the
// console's default.
struct ImportMode {
    enum class Action { Add, Edit, Delete, AddOrEdit, Unsupported };

    Action action = Action::Add;
    QString proc;
    bool updateExisting = false;  // "updateexisting" y: adding an existing record changes it
    bool skipExisting = false;    // "skipexisting" y: adding an existing record leaves it
    bool allowUnbalanced = false; // "unbalanced" y: a voucher's debit and credit may differ

    static ImportMode fromDocument(const XmlElement& root);
};

} // namespace kvx
