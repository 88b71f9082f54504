#include "run_fixture.h"

#include "runs/export_run.h"
#include "runs/import_run.h"

#include <QDir>
#include <QEventLoop>
#include <memory>
#include <tuple>

namespace kvx::test {

RunFixture::RunFixture(const QString& serverUrl)
    : services(folder.path())
    , login{serverUrl, QStringLiteral("demo"), encryptedPassword(QStringLiteral("demo")),
            QStringLiteral("2026-03-15")} {
    // The folder of the files that tests write and export.
    if (!catalogue.load(app()) || !operations.load(app()) ||
        !QDir(folder.path()).mkpath(QStringLiteral("in")) ||
        !QDir(folder.path()).mkpath(QStringLiteral("out")))
        qFatal("cannot prepare the application folder");
    services.http.setTimeoutSeconds(30);
}

void RunFixture::setConditionAttribute(const QString& element, const QString& label,
                                       const QString& code, const QString& attribute,
                                       const QString& value) {
    const QString path = folder.filePath(QStringLiteral("xml/operation/Condition.xml"));
    XmlDocument conditions = XmlDocument::fromFile(path);
    XmlElement item = conditions.selectFirst(
        QStringLiteral("//*[name()=$e and @name=$l and @code=$c]"), {{QStringLiteral("e"), element},
                                                                     {QStringLiteral("l"), label},
                                                                     {QStringLiteral("c"), code}});
    if (item.isNull()) {
        item = conditions.root().appendChild(element);
        item.setAttribute(QStringLiteral("name"), label);
        item.setAttribute(QStringLiteral("code"), code);
    }
    if (!item.setAttribute(attribute, value) || !conditions.save(path))
        qFatal("cannot change the condition file");
}

void RunFixture::nameFiles(const QString& attribute) {
    const bool import = attribute == QLatin1String("importfile");
    for (const auto& [element, label, code] :
         {std::tuple("customer", "客户档案", "001"), std::tuple("department", "部门档案", "")})
        setConditionAttribute(element, label, code, attribute,
                              import ? sampleData(element)
                                     : folder.filePath(QStringLiteral("out/%1.xml").arg(element)));
}

QString RunFixture::sampleData(const QString& name) const {
    return writeFile(QStringLiteral("in/") + name + QStringLiteral(".xml"),
                     folder.read(QStringLiteral("data/") + name + QStringLiteral(".xml")));
}

QString RunFixture::writeFile(const QString& relative, const QByteArray& bytes) const {
    if (!folder.write(relative, bytes))
        qFatal("cannot write a test file");
    return folder.filePath(relative);
}

ExchangeRunInput RunFixture::input(const QList<SelectedExchangeItem>& items,
                                   const QString& senderCode) {
    ExchangeRunInput input;
    input.items = items;
    input.senderCode = senderCode;
    input.login = login;
    input.catalogue = &catalogue;
    input.operations = &operations;
    return input;
}

RunSummary RunWatcher::run(ExchangeRun& run) {
    QObject::connect(&run, &ExchangeRun::started, [this] { ++started; });
    QObject::connect(
        &run, &ExchangeRun::progressed, [this, &run](const QString& text, int item, int count) {
            progress.append(QStringLiteral("%1 (%2/%3)").arg(text).arg(item).arg(count));
            if (!m_cancelAt.isEmpty() && text == m_cancelAt)
                run.cancel();
        });
    QObject::connect(&run, &ExchangeRun::waiting, [this, &run](const RequestProgress& shown) {
        waitedSeconds = std::max(waitedSeconds, shown.waitedSeconds);
        if (m_cancelAt == QLatin1String("waiting") && ++m_waitingReports == 3)
            run.cancel();
    });
    RunSummary summary;
    bool finished = false;
    QEventLoop loop;
    QObject::connect(&run, &ExchangeRun::finished, [&](const RunSummary& ended) {
        summary = ended;
        finished = true;
        loop.quit();
    });
    run.start();
    if (!finished)
        loop.exec();
    return summary;
}

RunSummary runToEnd(Services& services, bool import, const ExchangeRunInput& input,
                    RunWatcher& watcher) {
    std::unique_ptr<ExchangeRun> run;
    if (import)
        run = std::make_unique<ImportRun>(services, input);
    else
        run = std::make_unique<ExportRun>(services, input);
    return watcher.run(*run);
}

QByteArray resultDocumentFor(const QByteArray& postedBody, bool failFirst) {
    const XmlDocument posted = XmlDocument::fromBytes(postedBody);
    const QString roottag = posted.root().attribute(QStringLiteral("roottag"));
    XmlDocument result = XmlDocument::create(QStringLiteral("result"));
    for (const XmlElement& record : posted.root().childElements()) {
        if (record.name() != roottag)
            continue;
        XmlElement item = result.root().appendChild(QStringLiteral("item"));
        const bool fails = failFirst && result.root().childElements().size() == 1;
        item.setAttribute(QStringLiteral("succeed"),
                          fails ? QStringLiteral("1") : QStringLiteral("0"));
        item.setAttribute(QStringLiteral("key"),
                          record.firstChildElement(QStringLiteral("code")).text());
        item.setAttribute(QStringLiteral("dsc"), fails ? QStringLiteral("编码重复") : QString());
    }
    return result.toBytes();
}

} // namespace kvx::test
