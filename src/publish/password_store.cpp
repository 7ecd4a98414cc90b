#include "publish/password_store.h"

#include <qt6keychain/keychain.h>

namespace {

// An entry that is not there yet still means a keyring is.
bool keyringAnswered(const QKeychain::Job* job) {
  return job->error() == QKeychain::NoError || job->error() == QKeychain::EntryNotFound;
}

}  // namespace

void PasswordStore::read(const QString& account, std::function<void(const QString&, bool)> done) {
  auto* job = new QKeychain::ReadPasswordJob(QString::fromLatin1(kService), this);
  job->setKey(account);
  // Never a plain file in place of the keyring.
  job->setInsecureFallback(false);
  connect(job, &QKeychain::Job::finished, this, [done](QKeychain::Job* j) {
    auto* r = static_cast<QKeychain::ReadPasswordJob*>(j);
    done(r->error() == QKeychain::NoError ? r->textData() : QString(), keyringAnswered(j));
  });
  job->start();
}

void PasswordStore::write(const QString& account, const QString& password,
                          std::function<void(bool)> done) {
  auto* job = new QKeychain::WritePasswordJob(QString::fromLatin1(kService), this);
  job->setKey(account);
  job->setInsecureFallback(false);
  job->setTextData(password);
  connect(job, &QKeychain::Job::finished, this,
          [done](QKeychain::Job* j) { done(j->error() == QKeychain::NoError); });
  job->start();
}

void PasswordStore::forget(const QString& account) {
  auto* job = new QKeychain::DeletePasswordJob(QString::fromLatin1(kService), this);
  job->setKey(account);
  job->setInsecureFallback(false);
  job->start();
}
