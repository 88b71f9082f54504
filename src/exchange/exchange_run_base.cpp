#include "exchange/exchange_run_base.h"

#include "login/server_interface.h"
#include "platform/background_work.h"
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
            m_itemMessage.clear();
            const ItemEnd end = runItem(m_input.items.at(i), i + 1);
            m_itemRecords.append({end, end == ItemEnd::Aborted ? m_abortMessage : m_itemMessage});
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
        m_itemRecords.append({ItemEnd::Aborted, m_abortMessage});
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
    m_itemMessage = text;
    m_services.prompter.message(text, SharedText::promptTitle(), Prompter::Icon::Warning);
}

void ExchangeRunBase::tell(const QString& text) {
    m_itemMessage = text;
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
        return answer;
    }
    // An answer of many megabytes is read while the window stays responsive.
    answer.document =
        computeInBackground([&result] { return XmlDocument::fromBytes(result.body); });
    if (answer.document.isNull()) {
        const QString text = ServerInterface::answerText(shown) + more;
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
