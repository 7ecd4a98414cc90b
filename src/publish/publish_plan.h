#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <vector>

#include "publish/publish_files.h"
#include "publish/transfer.h"

// Whether a file differs from the copy last uploaded to the site.
enum class FileState { New, Changed, Unchanged };

FileState stateOf(const PublishFile& file, const QHash<QString, QByteArray>& uploaded);

// What to send: the files chosen (by default, the new and changed ones), in
// the order given, each marked whether it replaces a copy sent before.
std::vector<UploadItem> uploadItems(const std::vector<PublishFile>& files,
                                    const QHash<QString, QByteArray>& uploaded,
                                    const std::vector<bool>& chosen = {});
