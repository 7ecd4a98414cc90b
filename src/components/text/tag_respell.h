#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QStringView>
#include <functional>
#include <optional>

// Carrying the engine's change of whole tags onto a file's own spelling of
// them. The engine writes every tag one way (lower case, double quotes); a
// file may write "<A HREF='x' TARGET=_top>". Only what changed is written:
// an attribute's value in its own quotes, an attribute taken out with the
// space before it, a new one after the last in the tag's own case and quotes.
namespace tagrespell {

// Engine text in the file's bytes (its charset, its line breaks).
using Spell = std::function<std::optional<QByteArray>(QStringView)>;

// The bytes that replace file, which the engine read as before, now that the
// engine holds after there. The tags and text of all three must line up one
// for one (the same tags, the same order); text that changed is spelled
// anew, unchanged text and tags keep the file's bytes. nullopt otherwise.
std::optional<QByteArray> carry(QByteArrayView file, QStringView before, QStringView after,
                                const Spell& spell);

}  // namespace tagrespell
