#include "platform/gui_prompter.h"

#include "platform/frm_display.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace kvx {

namespace {

QMessageBox::Icon toQt(Prompter::Icon icon) {
    switch (icon) {
    case Prompter::Icon::Information:
        return QMessageBox::Information;
    case Prompter::Icon::Warning:
        return QMessageBox::Warning;
    case Prompter::Icon::Critical:
        return QMessageBox::Critical;
    case Prompter::Icon::Question:
        return QMessageBox::Question;
    case Prompter::Icon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons toQt(Prompter::Buttons buttons) {
    switch (buttons) {
    case Prompter::Buttons::Ok:
        return QMessageBox::Ok;
    case Prompter::Buttons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case Prompter::Buttons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case Prompter::Buttons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

} // namespace

void GuiPrompter::message(const QString& text, const QString& title, Icon icon) {
    QMessageBox box(toQt(icon), title, text, QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

Prompter::Answer GuiPrompter::question(const QString& text, const QString& title, Buttons buttons,
                                       Icon icon) {
    QMessageBox box(toQt(icon), title, text, toQt(buttons), QApplication::activeWindow());
    switch (box.exec()) {
    case QMessageBox::Ok:
        return Answer::Ok;
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

QString GuiPrompter::openFile(const QString& title, const QString& filter, const QString& folder) {
    return QFileDialog::getOpenFileName(QApplication::activeWindow(), title, folder,
                                        toQtFilter(filter));
}

QString GuiPrompter::saveFile(const QString& title, const QString& filter, const QString& folder) {
    return QFileDialog::getSaveFileName(QApplication::activeWindow(), title, folder,
                                        toQtFilter(filter));
}

QString GuiPrompter::chooseFolder(const QString& title, const QString& folder) {
    return QFileDialog::getExistingDirectory(QApplication::activeWindow(), title, folder);
}

void GuiPrompter::displayText(const QString& text) {
    FrmDisplay display(QApplication::activeWindow());
    display.setDisplayText(text);
    display.exec();
}

QString GuiPrompter::toQtFilter(const QString& filter) {
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList descriptions;
    for (int i = 0; i < parts.size(); i += 2)
        descriptions.append(parts.at(i));
    return descriptions.join(QStringLiteral(";;"));
}

} // namespace kvx
