#pragma once

#include <QDir>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

class QAbstractItemView;
class QComboBox;
class QModelIndex;
class QPixmap;
class QWidget;

namespace kvx::screenshots {

// Drives real windows as a person does (mouse and keyboard input through QTest) and saves
// pictures of them. A step that cannot be done is noted and the tour goes on, so one changed
// window costs one picture, not all of them.
class ScreenDriver {
public:
    explicit ScreenDriver(const QString& outputFolder);

    // Saves the widget as it is drawn now as <name>.png.
    void picture(QWidget* widget, const QString& name);
    // Saves what the screen shows where the window lies, open menus included.
    void pictureOfScreen(QWidget* window, const QString& name);
    // Lets the event loop run (also inside a window's own waiting loop).
    static void settle(int ms = 300);
    // Lets the event loop run until the condition holds; false when it did not in time.
    static bool waitFor(const std::function<bool()>& condition, int timeoutMs = 15000);

    // The next modal dialog for which `matches` holds is given to `handle` as soon as it is
    // shown, while its own event loop runs. Any other modal dialog that stays open for long
    // is noted and closed, so that the tour never hangs.
    void whenModal(std::function<bool(QWidget*)> matches, std::function<void(QWidget*)> handle);

    void click(QWidget* widget);
    void clickItem(QAbstractItemView* view, const QModelIndex& index, bool twice = false);
    // Opens the combo box's list and clicks the entry.
    bool choose(QComboBox* combo, const QString& text);
    // Replaces a text box's text by typing it (ASCII).
    void type(QWidget* box, const QString& text);

    void fail(const QString& what);
    const QStringList& failures() const { return m_failures; }

private:
    struct ModalHandler {
        std::function<bool(QWidget*)> matches;
        std::function<void(QWidget*)> handle;
    };
    void watchModals();
    void save(const QPixmap& pixmap, const QString& name);

    QDir m_output;
    QTimer m_modalWatch;
    QList<ModalHandler> m_handlers;
    QWidget* m_strayModal = nullptr;
    int m_strayTicks = 0;
    QStringList m_failures;
};

} // namespace kvx::screenshots
