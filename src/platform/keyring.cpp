#include "platform/keyring.h"

#include <qt6keychain/keychain.h>

namespace kvx::Keyring {

namespace {

// The name under which the console's entries stand in the keyring.
const QString kService = QStringLiteral("KVX远程交换控制台");

} // namespace

void read(const QString& key, QObject* receiver, ReadDone done) {
    auto* job = new QKeychain::ReadPasswordJob(kService);
    job->setKey(key);
    QObject::connect(job, &QKeychain::Job::finished, receiver, [job, done](QKeychain::Job*) {
        if (job->error() == QKeychain::EntryNotFound)
            done(std::nullopt, {});
        else if (job->error() != QKeychain::NoError)
            done(std::nullopt, job->errorString());
        else
            done(job->textData(), {});
    });
    job->start();
}

void write(const QString& key, const QString& password, QObject* receiver, WriteDone done) {
    auto* job = new QKeychain::WritePasswordJob(kService);
    job->setKey(key);
    job->setTextData(password);
    QObject::connect(job, &QKeychain::Job::finished, receiver, [job, done](QKeychain::Job*) {
        done(job->error() == QKeychain::NoError ? QString() : job->errorString());
    });
    job->start();
}

} // namespace kvx::Keyring
