#pragma once

#include "platform/prompter.h"

#include <QList>
#include <QQueue>
#include <QStringList>
#include <functional>

namespace kvx::test {

// Answers for the person from a script and keeps every prompt. An unscripted question gets
// Cancel (or No), an unscripted file dialog is cancelled; both are recorded, so a test sees
// them.
class RecordingPrompter : public Prompter {
public:
    enum class Kind { Message, Question, OpenFile, SaveFile, ChooseFolder, Display };
    struct Record {
        Kind kind;
        QString text;
        QString title;
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
    };

    void queueAnswer(Answer answer) { m_answers.enqueue(answer); }
    void queuePath(const QString& path) { m_paths.enqueue(path); }
    // Called at every prompt before it is answered, e.g. to press a button meanwhile.
    void setOnPrompt(std::function<void(const Record&)> hook) { m_onPrompt = std::move(hook); }

    const QList<Record>& records() const { return m_records; }
    // The texts of every prompt but the displayed reports, which displayed() holds.
    QStringList texts() const;
    QStringList displayed() const;
    // The last prompt but a displayed report.
    Record last() const;
    void clear() { m_records.clear(); }

    void message(const QString& text, const QString& title, Icon icon) override;
    Answer question(const QString& text, const QString& title, Buttons buttons, Icon icon) override;
    QString openFile(const QString& title, const QString& filter, const QString& folder) override;
    QString saveFile(const QString& title, const QString& filter, const QString& folder) override;
    QString chooseFolder(const QString& title, const QString& folder) override;
    void displayText(const QString& text) override;

private:
    void record(const Record& record);
    QString nextPath();

    QList<Record> m_records;
    QQueue<Answer> m_answers;
    QQueue<QString> m_paths;
    std::function<void(const Record&)> m_onPrompt;
};

} // namespace kvx::test
