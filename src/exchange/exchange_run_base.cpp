#include "exchange/exchange_run_base.h"

#include "login/server_interface.h"
#include "platform/http_client.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "platform/shared_texts.h"

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

ExchangeRunBase::ExchangeRunBase(Services& services, const ExchangeRunInput& input, RunHost& host,
                                 Direction direction)
    : m_services(services)
    , m_input(input)
    , m_host(host)
    , m_setup(services.folder)
    , m_senderCode(input.senderCode.trimmed())
    , m_direction(direction) {
    m_summary.count = int(input.items.size());
}

void ExchangeRunBase::runItems() {
    m_host.runStarted();
    m_summary.end = RunSummary::End::Completed;
    try {
        for (int i = 0; i < m_summary.count; ++i) {
            if (m_host.cancelRequested()) {
                m_summary.end = RunSummary::End::Cancelled;
                break;
            }
            const ItemEnd end = runItem(m_input.items.at(i), i + 1);
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
    }
    m_host.runFinished();
    if (m_summary.end == RunSummary::End::Aborted)
        m_services.prompter.message(m_abortMessage, SharedText::promptTitle(),
                                    Prompter::Icon::Critical);
}

void ExchangeRunBase::showProgress(const QString& text, int position) {
    m_host.showProgress(text, position, m_summary.count);
}

void ExchangeRunBase::warn(const QString& text) {
    m_services.prompter.message(text, SharedText::promptTitle(), Prompter::Icon::Warning);
}

void ExchangeRunBase::tell(const QString& text) {
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
    return m_services.prompter.openFile(SharedText::importFileTitle(label),
                                        SharedText::xmlFileFilter(), m_services.folder.root());
}

QString ExchangeRunBase::ChooseExportFile(const QString& label) {
    return m_services.prompter.saveFile(SharedText::exportFileTitle(label),
                                        SharedText::xmlFileFilter(), m_services.folder.root());
}

ExchangeRunBase::Answer ExchangeRunBase::exchange(QByteArray body) {
    const HttpWatch watch{[this] { return m_host.cancelRequested(); },
                          [this](qint64 waitedMs) { m_host.showWaiting(int(waitedMs / 1000)); }};
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
        return answer;
    }
    QString error;
    bool refused = false;
    answer.document = XmlDocument::fromBytes(result.body, &error, &refused);
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
    AppFolder::makeWritable(path);
    QString error;
    if (document.save(path, &error))
        return true;
    warn(AppFolder::toNative(path) + QStringLiteral("文件保存失败！") +
         (error.isEmpty() ? QString() : QStringLiteral("\n") + error));
    return false;
}

} // namespace kvx
