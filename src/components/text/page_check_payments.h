#pragma once

#include <QHash>
#include <QString>
#include <optional>

// Payment and affiliate links, and whom they pay: the account a PayPal
// link or form sends money to, the affiliate of a ClickBank hoplink, the
// JVZoo, WarriorPlus, Gumroad, Stripe, Digistore24, Payhip, Ko-fi, Lemon
// Squeezy and Amazon link's account, product or store.
namespace pagecheck {

struct Payment final {
  QString service;  // "PayPal", "ClickBank hoplink", ...
  QString account;  // whom it pays; empty when the link does not say
};

// What a link's address pays, or nothing when it is no payment link.
std::optional<Payment> paymentOf(const QString& address);

// A form that posts to PayPal's checkout: whom it pays, read from its
// fields (lower-case name -> value); nothing for any other form.
std::optional<Payment> paymentOfForm(const QString& action, const QHash<QString, QString>& fields);

// "PayPal account seller@example.com", "ClickBank hoplink of affiliate x".
QString describe(const Payment& payment);

}  // namespace pagecheck
