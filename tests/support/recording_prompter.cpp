#include "recording_prompter.h"

namespace kvx::test {

namespace {

QStringList textsOf(const QList<RecordingPrompter::Record>& records,
                    const std::function<bool(RecordingPrompter::Kind)>& wanted) {
    QStringList result;
    for (const RecordingPrompter::Record& r : records) {
        if (wanted(r.kind))
            result.append(r.text);
    }
    return result;
}

} // namespace

QStringList RecordingPrompter::texts() const {
    return textsOf(m_records, [](Kind kind) { return kind != Kind::Display; });
}

RecordingPrompter::Record RecordingPrompter::last() const {
    for (auto it = m_records.crbegin(); it != m_records.crend(); ++it) {
        if (it->kind != Kind::Display)
            return *it;
    }
    return {};
}

QStringList RecordingPrompter::displayed() const {
    return textsOf(m_records, [](Kind kind) { return kind == Kind::Display; });
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

void RecordingPrompter::displayText(const QString& text) {
    record({Kind::Display, text, QString(), Icon::None, Buttons::Ok});
}

} // namespace kvx::test
