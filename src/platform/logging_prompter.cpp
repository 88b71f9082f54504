#include "platform/logging_prompter.h"

#include <QDebug>

namespace kvx {

void LoggingPrompter::message(const QString& text, const QString& title, Icon) {
    qInfo().noquote() << title << ":" << text;
}

Prompter::Answer LoggingPrompter::question(const QString& text, const QString& title,
                                           Buttons buttons, Icon) {
    const Answer answer = buttons == Buttons::Ok         ? Answer::Ok
                          : buttons == Buttons::OkCancel ? Answer::Cancel
                                                         : Answer::No;
    qInfo().noquote() << title << ":" << text << "(answered automatically)";
    return answer;
}

QString LoggingPrompter::openFile(const QString& title, const QString&, const QString&) {
    qInfo().noquote() << "no file chosen:" << title;
    return {};
}

QString LoggingPrompter::saveFile(const QString& title, const QString&, const QString&) {
    qInfo().noquote() << "no file chosen:" << title;
    return {};
}

QString LoggingPrompter::chooseFolder(const QString& title, const QString&) {
    qInfo().noquote() << "no folder chosen:" << title;
    return {};
}

void LoggingPrompter::displayText(const QString& text) {
    qInfo().noquote() << text;
}

} // namespace kvx
