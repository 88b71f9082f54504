#include "runs/exchange_run_base.h"

#include "login/server_interface.h"
#include "platform/background_work.h"
#include "platform/clock.h"
#include "platform/http_client.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "platform/shared_texts.h"

#include <QHash>
#include <exception>

namespace kvx {

namespace {

// A message box cannot show megabytes of text: a long answer is cut for showing.
constexpr qsizetype kShownAnswerBytes = 4000;

HttpResult shortenedForMessage(const HttpResult& result, bool* cut) {
    HttpResult shown = result;
    *cut = shown.body.size() > kShownAnswerBytes;
    if (*cut)
        shown.body.truncate(kShownAnswerBytes);
    return shown;
}

} // namespace

int RunSummary::refusedRecords() const {
    int refused = 0;
    for (const RunHistory::Item& item : items)
        refused += item.failed;
    return refused;
}

QString RunSummary::countsText() const {
    return QStringLiteral("成功 %1 项，失败 %2 项，结果未知 %3 项，未执行 %4 项，共 %5 项")
        .arg(exchanged)
        .arg(failed)
        .arg(unanswered)
        .arg(notRun())
        .arg(count);
}

ExchangeRunBase::ExchangeRunBase(Services& services, const ExchangeRunInput& input, RunHost& host,
                                 Direction direction)
    : m_services(services)
    , m_input(input)
    , m_host(host)
    , m_setup(services.folder)
    , m_senderCode(input.senderCode.trimmed())
    , m_direction(direction)
    , m_history(services.folder) {
    m_summary.count = int(input.items.size());
}

void ExchangeRunBase::runItems() {
    m_host.runStarted();
    recordStart();
    m_summary.end = RunSummary::End::Completed;
    try {
        for (int i = 0; i < m_summary.count; ++i) {
            if (m_host.cancelRequested()) {
                m_summary.end = RunSummary::End::Cancelled;
                break;
            }
            m_item = {};
            m_item.position = i + 1;
            m_item.item = m_input.items.at(i).label;
            m_inItem = true;
            const ItemEnd end = runItem(m_input.items.at(i), i + 1);
            m_inItem = false;
            recordItem(end);
            m_summary.exchanged += end == ItemEnd::Exchanged ? 1 : 0;
            m_summary.failed += end == ItemEnd::Failed || end == ItemEnd::Aborted ? 1 : 0;
            m_summary.unanswered += end == ItemEnd::Unanswered ? 1 : 0;
            if (end == ItemEnd::Aborted) {
                m_summary.end = RunSummary::End::Aborted;
                break;
            }
        }
    } catch (const std::exception& error) {
        m_abortMessage = QStringLiteral("运行错误：") + QString::fromLocal8Bit(error.what());
        m_summary.end = RunSummary::End::Aborted;
        ++m_summary.failed;
        if (m_inItem)
            recordItem(ItemEnd::Aborted);
    }
    m_host.runFinished();
    m_summary.items = m_itemsDone;
    static const QHash<RunSummary::End, QString> outcomes = {
        {RunSummary::End::Completed, QStringLiteral("completed")},
        {RunSummary::End::Cancelled, QStringLiteral("cancelled")},
        {RunSummary::End::Aborted, QStringLiteral("aborted")}};
    recordEnd(outcomes.value(m_summary.end),
              m_summary.end == RunSummary::End::Aborted ? m_abortMessage : QString());
    if (m_summary.end == RunSummary::End::Aborted)
        m_services.prompter.message(m_abortMessage, SharedText::promptTitle(),
                                    Prompter::Icon::Critical);
}

void ExchangeRunBase::refuse(const QString& text) {
    warn(text);
    recordStart();
    recordEnd(QStringLiteral("refused"), text);
}

QString ExchangeRunBase::conversionFlag(const SelectedExchangeItem& item) const {
    return item.conversion.value_or(m_input.conversion) ? QStringLiteral("y") : QStringLiteral("n");
}

// The history is written as the run goes, so a crash loses at most the item under way; a
// history that cannot be written is passed by, and the operator told once.
void ExchangeRunBase::tellHistoryProblem() {
    const QString problem = m_history.takeProblem();
    if (!problem.isEmpty())
        m_services.prompter.message(problem, SharedText::promptTitle(), Prompter::Icon::Warning);
}

void ExchangeRunBase::recordStart() {
    m_history.beginRun({0,
                        m_services.clock.now(),
                        {},
                        m_input.origin,
                        m_direction == Direction::Export ? RunHistory::Direction::Export
                                                         : RunHistory::Direction::Import,
                        m_input.login.operatorName,
                        m_senderCode,
                        {},
                        {}});
    tellHistoryProblem();
}

void ExchangeRunBase::recordItem(ItemEnd end) {
    static const QHash<ItemEnd, QString> outcomes = {
        {ItemEnd::Exchanged, QStringLiteral("exchanged")},
        {ItemEnd::Failed, QStringLiteral("failed")},
        {ItemEnd::Skipped, QStringLiteral("skipped")},
        {ItemEnd::Unanswered, QStringLiteral("unanswered")},
        {ItemEnd::Aborted, QStringLiteral("failed")}};
    m_item.outcome = outcomes.value(end);
    if (end == ItemEnd::Aborted)
        m_item.report += m_abortMessage;
    m_item.finished = m_services.clock.now();
    m_history.addItem(m_item);
    m_itemsDone.append(m_item);
    tellHistoryProblem();
}

void ExchangeRunBase::recordEnd(const QString& outcome, const QString& note) {
    m_history.finishRun(outcome, note, m_services.clock.now());
    tellHistoryProblem();
}

void ExchangeRunBase::showProgress(const QString& text, int position) {
    m_host.showProgress(text, position, m_summary.count);
}

void ExchangeRunBase::warn(const QString& text) {
    if (m_inItem)
        m_item.report += text + QStringLiteral("\r\n");
    m_services.prompter.message(text, SharedText::promptTitle(), Prompter::Icon::Warning);
}

void ExchangeRunBase::tell(const QString& text) {
    if (m_inItem)
        m_item.report += text + QStringLiteral("\r\n");
    m_services.prompter.message(text, SharedText::promptTitle(), Prompter::Icon::None);
}

ExchangeRunBase::ItemEnd ExchangeRunBase::abort(const QString& message) {
    m_abortMessage = message;
    return ItemEnd::Aborted;
}

CatalogueItem ExchangeRunBase::findItem(const QString& label) {
    static const Catalogue notLoaded;
    QString error;
    const CatalogueItem item =
        (m_input.catalogue ? *m_input.catalogue : notLoaded).item(label, &error);
    if (item.isNull())
        warn(error);
    return item;
}

// The dialogs open in the application folder rather than wherever the program was started.
QString ExchangeRunBase::ChooseImportFile(const QString& label) {
    return noteWhenNoFile(m_services.prompter.openFile(
        SharedText::importFileTitle(label), SharedText::xmlFileFilter(), m_services.folder.root()));
}

QString ExchangeRunBase::ChooseExportFile(const QString& label) {
    return noteWhenNoFile(m_services.prompter.saveFile(
        SharedText::exportFileTitle(label), SharedText::xmlFileFilter(), m_services.folder.root()));
}

// Without a file the item is passed by without a message; the history says why.
QString ExchangeRunBase::noteWhenNoFile(const QString& path) {
    if (path.isEmpty())
        m_item.report += QStringLiteral("没有默认文件，也未选择文件，该项目未执行。\r\n");
    return path;
}

ExchangeRunBase::Answer ExchangeRunBase::exchange(QByteArray body) {
    const HttpWatch watch{[this] { return m_host.cancelRequested(); },
                          [this](const HttpProgress& progress) {
                              m_host.showWaiting(RequestProgress::of(progress));
                          }};
    HttpResult result =
        m_services.http.post(m_setup.importUrl(), body, HttpClient::Limit::Run, watch);
    body = QByteArray(); // the posted document is not needed any more
    const bool importing = m_direction == Direction::Import;
    Answer answer;
    if (result.outcome == HttpResult::Outcome::Cancelled && !result.requestSent) {
        answer.end = ItemEnd::Skipped;
        return answer;
    }
    bool cut = false;
    const HttpResult shown = shortenedForMessage(result, &cut);
    const QString more = cut ? QStringLiteral("……") : QString();
    if (!result.ok()) {
        answer.message = (importing ? ServerInterface::importTransportFailure(shown)
                                    : ServerInterface::exportTransportFailure(shown)) +
                         more;
        answer.end = result.unanswered() ? ItemEnd::Unanswered : ItemEnd::Failed;
        // The operator who cancelled knows; the report names the item.
        if (result.outcome != HttpResult::Outcome::Cancelled)
            warn(answer.message);
        else if (m_inItem)
            m_item.report += answer.message + QStringLiteral("\r\n");
        return answer;
    }
    QString error;
    bool refused = false;
    // An answer of many megabytes is read while the window stays responsive.
    answer.document =
        computeInBackground([&] { return XmlDocument::fromBytes(result.body, &error, &refused); });
    if (answer.document.isNull()) {
        const QString text = refused ? ServerInterface::refusedAnswerText(error)
                                     : ServerInterface::answerText(shown) + more;
        answer.message = importing ? ServerInterface::importNotXmlMessage(text)
                                   : ServerInterface::exportNotXmlMessage(text);
        answer.end = ItemEnd::Failed;
        tell(answer.message);
    }
    return answer;
}

bool ExchangeRunBase::saveDocument(const XmlDocument& document, const QString& path) {
    QString error;
    if (computeInBackground([&] {
            AppFolder::makeWritable(path);
            return document.save(path, &error);
        }))
        return true;
    warn(AppFolder::toNative(path) + QStringLiteral("文件保存失败！") +
         (error.isEmpty() ? QString() : QStringLiteral("\n") + error));
    return false;
}

} // namespace kvx
