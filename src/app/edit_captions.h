#pragma once

#include <QString>

// The edit button's two captions, as the editing state chooses them.
inline const QString kEditPage = QStringLiteral("Edit Page");
inline const QString kSaveDiscard = QStringLiteral("Save / Discard Changes");
