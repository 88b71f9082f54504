#pragma once

#include <QComboBox>
#include <QTest>
#include <QTreeWidget>

// What a person does with the mouse and the keyboard, for the window tests. Every helper
// sends input events only; those that need the control where a person would find it say
// false when it is not.
namespace kvx::test {

// Selects the whole text of the box and types over it; an empty text deletes it. Characters
// beyond ASCII, which QTest::keyClicks refuses, come as the key events an input method sends.
inline void retype(QWidget* box, const QString& text) {
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    if (text.isEmpty())
        QTest::keyClick(box, Qt::Key_Backspace);
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClicks(box, QString(c));
        else
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// Clicks the node of a tree or the row of a list: each closed group above it is opened by its
// arrow first, and the view brought to the node as with the scroll bar.
inline bool clickNode(QTreeWidget* tree, QTreeWidgetItem* node) {
    if (!node)
        return false;
    QList<QTreeWidgetItem*> closed;
    for (QTreeWidgetItem* group = node->parent(); group; group = group->parent()) {
        if (!group->isExpanded())
            closed.prepend(group);
    }
    for (QTreeWidgetItem* group : closed) {
        tree->scrollToItem(group);
        const QRect text = tree->visualItemRect(group);
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                          {text.left() - tree->indentation() / 2, text.center().y()});
        if (!group->isExpanded())
            return false;
    }
    tree->scrollToItem(node);
    const QPoint at = tree->visualItemRect(node).center();
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    return tree->itemAt(at) == node;
}

// Chooses the entry of a combo box from its drop-down list with the keyboard: a click gives
// the box the focus when it lacks it, F4 opens the list, Home and Down walk to the entry and
// Enter takes it. False when the list did not open or did not take the Enter.
inline bool chooseEntry(QComboBox* box, const QString& entry) {
    const int index = box->findText(entry, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (index < 0 || !box->isVisible())
        return false;
    if (!box->hasFocus())
        QTest::mouseClick(box, Qt::LeftButton);
    if (!box->view()->isVisible())
        QTest::keyClick(box, Qt::Key_F4);
    QWidget* list = box->view();
    // The window system takes the list's window in between, as it does while a person reads.
    QCoreApplication::processEvents();
    if (!list->isVisible())
        return false;
    QTest::keyClick(list, Qt::Key_Home);
    for (int step = 0; step < index; ++step)
        QTest::keyClick(list, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    return !list->isVisible();
}

} // namespace kvx::test
