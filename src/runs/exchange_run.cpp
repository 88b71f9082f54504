#include "runs/exchange_run.h"

#include "login/server_interface.h"
#include "platform/clock.h"
#include "platform/http_client.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "platform/shared_texts.h"

#include <QHash>
#include <exception>
#include <utility>

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

// What the worker made of an answer's bytes.
struct ReadAnswer {
    XmlDocument document;
    QString error;
    bool refused = false;
};

ExchangeRun* runUnderway = nullptr;

} // namespace

ExchangeRun::ExchangeRun(Services& services, ExchangeRunInput input,
                         RunHistory::Direction direction, QObject* parent)
    : QObject(parent)
    , m_services(services)
    , m_input(std::move(input))
    , m_setup(services.folder)
    , m_senderCode(m_input.senderCode.trimmed())
    , m_direction(direction)
    , m_record(services, this, m_input.origin, direction, m_input.login.operatorName, m_senderCode,
               [this](const QString& problem) { tellProblem(problem); })
    , m_work(this, [this](const QString& error) {
        resume([this, error] { fail(QStringLiteral("运行错误：") + error); });
    }) {
    m_summary.count = int(m_input.items.size());
}

ExchangeRun::~ExchangeRun() {
    if (m_request)
        m_request->cancel();
    if (runUnderway == this)
        runUnderway = nullptr;
}

ExchangeRun* ExchangeRun::underway() {
    return runUnderway;
}

void ExchangeRun::start() {
    if (m_state != State::Ready)
        return;
    if (!checkInput()) {
        if (m_refusal.isNull()) {
            m_state = State::Finished;
            Q_EMIT finished(m_summary);
            return;
        }
        m_state = State::Ending;
        m_concluded = true;
        m_record.begin();
        recordEnd(QStringLiteral("refused"), m_refusal);
        return;
    }
    m_state = State::Working;
    runUnderway = this;
    Q_EMIT started();
    m_record.begin();
    guarded([this] { nextItems(); });
}

void ExchangeRun::cancel() {
    if (m_state != State::Working)
        return;
    m_cancelled = true;
    if (m_request)
        m_request->cancel();
}

bool ExchangeRun::askToCancel() {
    if (m_state != State::Working || m_cancelled)
        return isWorking();
    ++m_holds;
    const bool confirmed =
        m_services.prompter.question(SharedText::cancelRunQuestion(), SharedText::promptTitle(),
                                     Prompter::Buttons::OkCancel,
                                     Prompter::Icon::Question) == Prompter::Answer::Ok;
    if (confirmed)
        cancel();
    release();
    return confirmed;
}

void ExchangeRun::tellProblem(const QString& problem) {
    ++m_holds;
    m_services.prompter.message(problem, SharedText::promptTitle(), Prompter::Icon::Warning);
    release();
}

void ExchangeRun::release() {
    --m_holds;
    // From the event loop, so that the caller has done with its question first.
    if (m_heldStep)
        QMetaObject::invokeMethod(this, &ExchangeRun::resumeHeld, Qt::QueuedConnection);
}

void ExchangeRun::nextItems() {
    while (m_state == State::Working && !m_inItem) {
        if (m_cancelled) {
            endRun(RunSummary::End::Cancelled);
            return;
        }
        if (m_next >= m_summary.count) {
            endRun(RunSummary::End::Completed);
            return;
        }
        const int index = m_next++;
        m_item = {};
        m_item.position = index + 1;
        m_item.item = m_input.items.at(index).label;
        m_inItem = true;
        m_startingItem = true;
        runItem(m_input.items.at(index), index + 1);
        m_startingItem = false;
    }
}

void ExchangeRun::endItem(ItemEnd end) {
    static const QHash<ItemEnd, QString> outcomes = {
        {ItemEnd::Exchanged, QStringLiteral("exchanged")},
        {ItemEnd::Failed, QStringLiteral("failed")},
        {ItemEnd::Skipped, QStringLiteral("skipped")},
        {ItemEnd::Unanswered, QStringLiteral("unanswered")},
        {ItemEnd::Aborted, QStringLiteral("failed")}};
    m_inItem = false;
    m_item.outcome = outcomes.value(end);
    if (end == ItemEnd::Aborted)
        m_item.report += m_abortMessage;
    m_item.finished = m_services.clock.now();
    m_record.addItem(m_item);
    m_summary.items.append(m_item);
    m_summary.exchanged += end == ItemEnd::Exchanged ? 1 : 0;
    m_summary.failed += end == ItemEnd::Failed || end == ItemEnd::Aborted ? 1 : 0;
    m_summary.unanswered += end == ItemEnd::Unanswered ? 1 : 0;
    Q_EMIT itemFinished(m_item);
    if (end == ItemEnd::Aborted)
        endRun(RunSummary::End::Aborted);
    else if (!m_startingItem)
        nextItems();
}

// The run has finished when its report has been shown and its record is in the history.
void ExchangeRun::endRun(RunSummary::End end) {
    m_summary.end = end;
    m_state = State::Ending;
    Q_EMIT stopped();
    static const QHash<RunSummary::End, QString> outcomes = {
        {RunSummary::End::Completed, QStringLiteral("completed")},
        {RunSummary::End::Cancelled, QStringLiteral("cancelled")},
        {RunSummary::End::Aborted, QStringLiteral("aborted")}};
    const bool aborted = end == RunSummary::End::Aborted;
    recordEnd(outcomes.value(end), aborted ? m_abortMessage : QString());
    if (aborted)
        m_services.prompter.message(m_abortMessage, SharedText::promptTitle(),
                                    Prompter::Icon::Critical);
    concludeRun();
    m_concluded = true;
    finishWhenDone();
}

void ExchangeRun::recordEnd(const QString& outcome, const QString& note) {
    m_record.finish(outcome, note, [this] {
        m_recorded = true;
        finishWhenDone();
    });
}

void ExchangeRun::finishWhenDone() {
    if (!m_recorded || !m_concluded)
        return;
    m_state = State::Finished;
    if (runUnderway == this)
        runUnderway = nullptr;
    Q_EMIT finished(m_summary);
}

void ExchangeRun::resume(std::function<void()> step) {
    if (m_holds > 0) {
        m_heldStep = std::move(step);
        return;
    }
    guarded(step);
}

void ExchangeRun::resumeHeld() {
    if (m_holds > 0 || !m_heldStep)
        return;
    guarded(std::exchange(m_heldStep, {}));
}

void ExchangeRun::guarded(const std::function<void()>& step) {
    try {
        step();
    } catch (const std::exception& error) {
        fail(QStringLiteral("运行错误：") + QString::fromLocal8Bit(error.what()));
    }
}

// An unexpected error ends the run; the item under way counts as failed.
void ExchangeRun::fail(const QString& message) {
    if (m_state != State::Working)
        return;
    m_abortMessage = message;
    m_startingItem = false;
    if (m_inItem) {
        endItem(ItemEnd::Aborted);
        return;
    }
    ++m_summary.failed;
    endRun(RunSummary::End::Aborted);
}

void ExchangeRun::refuse(const QString& text) {
    warn(text);
    m_refusal = text;
}

QString ExchangeRun::conversionFlag(const SelectedExchangeItem& item) const {
    return item.conversion.value_or(m_input.conversion) ? QStringLiteral("y") : QStringLiteral("n");
}

void ExchangeRun::showProgress(const QString& text, int position) {
    Q_EMIT progressed(text, position, m_summary.count);
}

void ExchangeRun::warn(const QString& text) {
    if (m_inItem)
        m_item.report += text + SharedText::reportLineEnd();
    m_services.prompter.message(text, SharedText::promptTitle(), Prompter::Icon::Warning);
}

void ExchangeRun::tell(const QString& text) {
    if (m_inItem)
        m_item.report += text + SharedText::reportLineEnd();
    m_services.prompter.message(text, SharedText::promptTitle(), Prompter::Icon::None);
}

ExchangeRun::ItemEnd ExchangeRun::abort(const QString& message) {
    m_abortMessage = message;
    return ItemEnd::Aborted;
}

CatalogueItem ExchangeRun::findItem(const QString& label) {
    static const Catalogue notLoaded;
    QString error;
    const CatalogueItem item =
        (m_input.catalogue ? *m_input.catalogue : notLoaded).item(label, &error);
    if (item.isNull())
        warn(error);
    return item;
}

// The dialogs open in the application folder rather than wherever the program was started.
QString ExchangeRun::ChooseImportFile(const QString& label) {
    return noteWhenNoFile(m_services.prompter.openFile(
        SharedText::importFileTitle(label), SharedText::xmlFileFilter(), m_services.folder.root()));
}

QString ExchangeRun::ChooseExportFile(const QString& label) {
    return noteWhenNoFile(m_services.prompter.saveFile(
        SharedText::exportFileTitle(label), SharedText::xmlFileFilter(), m_services.folder.root()));
}

// Without a file the item is passed by without a message; the history says why.
QString ExchangeRun::noteWhenNoFile(const QString& path) {
    if (path.isEmpty())
        m_item.report += QStringLiteral("没有默认文件，也未选择文件，该项目未执行。\r\n");
    return path;
}

void ExchangeRun::exchange(QByteArray body, AnswerStep then) {
    // The operator cancelled while the document was being prepared: it is not sent.
    if (m_cancelled) {
        then(Answer{{}, ItemEnd::Skipped, {}});
        return;
    }
    m_request = m_services.http.post(m_setup.importUrl(), body, HttpClient::Limit::Run);
    connect(m_request, &HttpRequest::waiting, this, [this](const HttpProgress& progress) {
        Q_EMIT waiting(RequestProgress::of(progress));
    });
    connect(m_request, &HttpRequest::finished, this,
            [this, then = std::move(then)](const HttpResult& result) {
                m_request = nullptr;
                resume([this, result, then] { takeAnswer(result, then); });
            });
}

void ExchangeRun::takeAnswer(const HttpResult& result, const AnswerStep& then) {
    const bool importing = m_direction == RunHistory::Direction::Import;
    Answer answer;
    if (result.outcome == HttpResult::Outcome::Cancelled && !result.requestSent) {
        answer.end = ItemEnd::Skipped;
        then(std::move(answer));
        return;
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
            m_item.report += answer.message + SharedText::reportLineEnd();
        then(std::move(answer));
        return;
    }
    // An answer of many megabytes is read on the worker thread.
    inBackground(
        [body = result.body] {
            ReadAnswer read;
            read.document = XmlDocument::fromBytes(body, &read.error, &read.refused);
            return read;
        },
        [this, importing, shown, more, then](ReadAnswer read) {
            Answer answer;
            answer.document = std::move(read.document);
            if (answer.document.isNull()) {
                const QString text = read.refused ? ServerInterface::refusedAnswerText(read.error)
                                                  : ServerInterface::answerText(shown) + more;
                answer.message = importing ? ServerInterface::importNotXmlMessage(text)
                                           : ServerInterface::exportNotXmlMessage(text);
                answer.end = ItemEnd::Failed;
                tell(answer.message);
            }
            then(std::move(answer));
        });
}

void ExchangeRun::saveDocument(std::shared_ptr<const XmlDocument> document, const QString& path,
                               std::function<void(bool)> then) {
    struct Saved {
        bool ok = false;
        QString error;
    };
    inBackground(
        [document, path] {
            Saved saved;
            AppFolder::makeWritable(path);
            saved.ok = document->save(path, &saved.error);
            return saved;
        },
        [this, path, then](Saved saved) {
            if (!saved.ok)
                warn(AppFolder::toNative(path) + QStringLiteral("文件保存失败！") +
                     (saved.error.isEmpty() ? QString() : QStringLiteral("\n") + saved.error));
            then(saved.ok);
        });
}

} // namespace kvx
