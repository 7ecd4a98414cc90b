#pragma once

#include <QString>

// The edit button's two captions: they are the editing state.
inline const QString kEditPage = QStringLiteral("Edit Page");
inline const QString kSaveDiscard = QStringLiteral("Save / Discard Changes");
