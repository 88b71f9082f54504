#include "recording_prompter.h"

namespace kvx::test {

QStringList RecordingPrompter::texts() const {
    QStringList result;
    for (const Record& r : m_records)
        result.append(r.text);
    return result;
}

QStringList RecordingPrompter::messageTexts() const {
    QStringList result;
    for (const Record& r : m_records) {
        if (r.kind == Kind::Message)
            result.append(r.text);
    }
    return result;
}

void RecordingPrompter::record(const Record& record) {
    m_records.append(record);
    if (m_onPrompt)
        m_onPrompt(record);
}

QString RecordingPrompter::nextPath() {
    return m_paths.isEmpty() ? QString() : m_paths.dequeue();
}

void RecordingPrompter::message(const QString& text, const QString& title, Icon icon) {
    record({Kind::Message, text, title, icon, Buttons::Ok});
}

Prompter::Answer RecordingPrompter::question(const QString& text, const QString& title,
                                             Buttons buttons, Icon icon) {
    record({Kind::Question, text, title, icon, buttons});
    if (!m_answers.isEmpty())
        return m_answers.dequeue();
    return buttons == Buttons::YesNo ? Answer::No : Answer::Cancel;
}

QString RecordingPrompter::openFile(const QString& title, const QString& filter, const QString&) {
    record({Kind::OpenFile, filter, title, Icon::None, Buttons::Ok});
    return nextPath();
}

QString RecordingPrompter::saveFile(const QString& title, const QString& filter, const QString&) {
    record({Kind::SaveFile, filter, title, Icon::None, Buttons::Ok});
    return nextPath();
}

QString RecordingPrompter::chooseFolder(const QString& title, const QString&) {
    record({Kind::ChooseFolder, QString(), title, Icon::None, Buttons::Ok});
    return nextPath();
}

} // namespace kvx::test
