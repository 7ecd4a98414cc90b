#pragma once

#include <QObject>
#include <QString>
#include <functional>

// Passwords live only in the system keyring (the Secret Service, through
// QtKeychain), never in a file of ours. Where there is no keyring, available
// is false and nothing is kept.
class PasswordStore final : public QObject {
  Q_OBJECT
 public:
  explicit PasswordStore(QObject* parent = nullptr) : QObject(parent) {}

  // account names the site, e.g. "user@host".
  void read(const QString& account,
            std::function<void(const QString& password, bool available)> done);
  void write(const QString& account, const QString& password,
             std::function<void(bool stored)> done);
  void forget(const QString& account);

  static constexpr auto kService = "Quorvane publish";
};
