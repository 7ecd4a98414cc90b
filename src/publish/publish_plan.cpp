#include "publish/publish_plan.h"

FileState stateOf(const PublishFile& file, const QHash<QString, QByteArray>& uploaded) {
  const auto it = uploaded.find(file.remotePath);
  if (it == uploaded.end()) return FileState::New;
  // A file that could not be read has no digest: never call it unchanged.
  return !file.sha256.isEmpty() && it.value() == file.sha256 ? FileState::Unchanged
                                                             : FileState::Changed;
}

std::vector<UploadItem> uploadItems(const std::vector<PublishFile>& files,
                                    const QHash<QString, QByteArray>& uploaded,
                                    const std::vector<bool>& chosen) {
  std::vector<UploadItem> out;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const PublishFile& f = files[i];
    const FileState state = stateOf(f, uploaded);
    const bool send =
        chosen.empty() ? state != FileState::Unchanged : i < chosen.size() && chosen[i];
    if (!send) continue;
    out.push_back(UploadItem{f.localPath, f.remotePath, f.size, f.isPage, state != FileState::New});
  }
  return out;
}
