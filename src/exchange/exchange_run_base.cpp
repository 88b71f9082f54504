#include "exchange/exchange_run_base.h"

#include "login/server_interface.h"
#include "platform/http_client.h"
#include "platform/prompter.h"
#include "platform/services.h"
#include "platform/shared_texts.h"

#include <exception>

namespace kvx {

namespace {

const QString kXmlFilter = QStringLiteral("Xml Fiels (*.xml)|*.xml|All Files (*.*)|*.*");

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
            ++m_summary.processed;
            const ItemEnd end = runItem(m_input.items.at(i), i + 1);
            if (end == ItemEnd::Exchanged)
                ++m_summary.exchanged;
            if (end == ItemEnd::Aborted) {
                m_summary.end = RunSummary::End::Aborted;
                break;
            }
        }
    } catch (const std::exception& error) {
        m_abortMessage = QStringLiteral("运行错误：") + QString::fromLocal8Bit(error.what());
        m_summary.end = RunSummary::End::Aborted;
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
    return m_services.prompter.openFile(QStringLiteral("选择导入文件：") + label, kXmlFilter,
                                        m_services.folder.root());
}

QString ExchangeRunBase::ChooseExportFile(const QString& label) {
    return m_services.prompter.saveFile(QStringLiteral("选择导出文件：") + label, kXmlFilter,
                                        m_services.folder.root());
}

XmlDocument ExchangeRunBase::exchange(QByteArray body) {
    HttpResult result = m_services.http.post(m_setup.importUrl(), body);
    body = QByteArray(); // the posted document is not needed any more
    const bool importing = m_direction == Direction::Import;
    bool cut = false;
    if (!result.ok()) {
        const HttpResult shown = shortenedForMessage(result, &cut);
        warn((importing ? ServerInterface::importTransportFailure(shown)
                        : ServerInterface::exportTransportFailure(shown)) +
             (cut ? QStringLiteral("……") : QString()));
        return {};
    }
    XmlDocument answer = XmlDocument::fromBytes(result.body);
    if (answer.isNull()) {
        const HttpResult shown = shortenedForMessage(result, &cut);
        const QString text =
            ServerInterface::answerText(shown) + (cut ? QStringLiteral("……") : QString());
        tell(importing ? ServerInterface::importNotXmlMessage(text)
                       : ServerInterface::exportNotXmlMessage(text));
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
