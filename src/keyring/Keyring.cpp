// SPDX-License-Identifier: MIT
#include "Keyring.h"

#include <qt6keychain/keychain.h>

#include <QPointer>
#include <QThread>

#include <future>

using namespace Qt::StringLiterals;

namespace brandle::keyring {

namespace {

Answer answerOf(const QKeychain::Job& job, QString value)
{
    switch (job.error()) {
    case QKeychain::NoError:
        return {Answer::Kind::Done, std::move(value), {}};
    case QKeychain::EntryNotFound:
        return {Answer::Kind::Missing, {}, {}};
    default:
        return {Answer::Kind::Unavailable, {}, job.errorString()};
    }
}

} // namespace

void write(const QString& key, const QString& value, QObject* context,
           const std::function<void(const Answer&)>& done)
{
    QKeychain::Job* job = nullptr;
    if (value.isEmpty()) {
        job = new QKeychain::DeletePasswordJob(Service);
    } else {
        auto* writeJob = new QKeychain::WritePasswordJob(Service);
        writeJob->setTextData(value);
        job = writeJob;
    }
    job->setKey(key);
    QObject::connect(job, &QKeychain::Job::finished, context, [done](QKeychain::Job* finished) {
        Answer answer = answerOf(*finished, {});
        // Removing a key that is not there leaves what was asked for.
        if (answer.kind == Answer::Kind::Missing)
            answer.kind = Answer::Kind::Done;
        done(answer);
    });
    job->start(); // deletes itself once finished
}

Reader::Reader()
    : thread_(std::make_unique<QThread>())
    , home_(std::make_unique<QObject>())
{
    thread_->setObjectName(u"keyring"_s);
    home_->moveToThread(thread_.get());
    thread_->start();
}

Reader::~Reader()
{
    thread_->quit();
    thread_->wait();
}

Answer Reader::read(const QString& key, std::chrono::milliseconds timeout)
{
    auto promise = std::make_shared<std::promise<Answer>>();
    std::future<Answer> answer = promise->get_future();
    QMetaObject::invokeMethod(home_.get(), [key, promise, home = home_.get()] {
        auto* job = new QKeychain::ReadPasswordJob(Service, home);
        job->setKey(key);
        QObject::connect(job, &QKeychain::Job::finished, home, [promise](QKeychain::Job* done) {
            const auto* read = static_cast<QKeychain::ReadPasswordJob*>(done);
            promise->set_value(answerOf(*read, read->textData()));
        });
        job->start();
    });
    if (answer.wait_for(timeout) != std::future_status::ready)
        return {Answer::Kind::Unavailable, {}, u"the keyring did not answer in time"_s};
    return answer.get();
}

} // namespace brandle::keyring
