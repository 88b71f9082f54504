#include "screen_driver.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <cstdio>

namespace kvx::screenshots {

namespace {

// A stray dialog is closed after this many looks, 50 ms apart.
constexpr int kStrayTicks = 60;

} // namespace

ScreenDriver::ScreenDriver(const QString& outputFolder)
    : m_output(outputFolder) {
    m_output.mkpath(QStringLiteral("."));
    m_modalWatch.setInterval(50);
    QObject::connect(&m_modalWatch, &QTimer::timeout, [this] { watchModals(); });
    m_modalWatch.start();
}

void ScreenDriver::picture(QWidget* widget, const QString& name) {
    if (!widget || !widget->isVisible()) {
        fail(name + QStringLiteral(": the window is not shown"));
        return;
    }
    settle();
    save(widget->grab(), name);
}

void ScreenDriver::pictureOfScreen(QWidget* window, const QString& name) {
    settle();
    const QRect area = window->frameGeometry();
    save(window->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()), name);
}

void ScreenDriver::save(const QPixmap& pixmap, const QString& name) {
    const QString file = m_output.filePath(name + QStringLiteral(".png"));
    if (!pixmap.save(file))
        fail(file + QStringLiteral(": cannot be written"));
    else
        std::printf("%s\n", qPrintable(QDir::toNativeSeparators(file)));
}

void ScreenDriver::settle(int ms) {
    QTest::qWait(ms);
}

bool ScreenDriver::waitFor(const std::function<bool()>& condition, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(50);
    }
    return true;
}

void ScreenDriver::whenModal(std::function<bool(QWidget*)> matches,
                             std::function<void(QWidget*)> handle) {
    m_handlers.append({std::move(matches), std::move(handle)});
}

// Runs on a timer, so also inside the waiting loops of dialogs and runs. A handler is given
// its dialog once; what it then does with it is queued input of its own.
void ScreenDriver::watchModals() {
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || modal->property("kvxScreenshotSeen").toBool())
        return;
    for (qsizetype i = 0; i < m_handlers.size(); ++i) {
        if (!m_handlers[i].matches(modal))
            continue;
        const ModalHandler handler = m_handlers.takeAt(i);
        modal->setProperty("kvxScreenshotSeen", true);
        m_modalWatch.stop();
        handler.handle(modal);
        m_modalWatch.start();
        m_strayModal = nullptr;
        return;
    }
    if (modal != m_strayModal) {
        m_strayModal = modal;
        m_strayTicks = 0;
        return;
    }
    if (++m_strayTicks < kStrayTicks)
        return;
    QStringList texts;
    for (const QLabel* label : modal->findChildren<QLabel*>())
        texts << label->text();
    fail(QStringLiteral("unexpected dialog \"%1\" closed: %2")
             .arg(modal->windowTitle(), texts.join(QLatin1Char(' '))));
    modal->setProperty("kvxScreenshotSeen", true);
    if (auto* dialog = qobject_cast<QDialog*>(modal))
        dialog->reject();
    else
        modal->close();
}

void ScreenDriver::click(QWidget* widget) {
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, widget->rect().center());
}

void ScreenDriver::clickItem(QAbstractItemView* view, const QModelIndex& index, bool twice) {
    view->scrollTo(index);
    settle(100);
    const QPoint at = view->visualRect(index).center();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    if (twice)
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

bool ScreenDriver::choose(QComboBox* combo, const QString& text) {
    const int row = combo->findText(text);
    if (row < 0) {
        fail(combo->objectName() + QStringLiteral(" has no entry ") + text);
        return false;
    }
    combo->showPopup();
    QAbstractItemView* list = combo->view();
    if (!waitFor([list] { return list->isVisible(); }, 3000)) {
        fail(combo->objectName() + QStringLiteral(": its list does not open"));
        return false;
    }
    clickItem(list, combo->model()->index(row, combo->modelColumn()));
    settle();
    return true;
}

void ScreenDriver::type(QWidget* box, const QString& text) {
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, text);
}

void ScreenDriver::fail(const QString& what) {
    m_failures << what;
    std::fprintf(stderr, "screenshots: %s\n", qPrintable(what));
}

} // namespace kvx::screenshots
