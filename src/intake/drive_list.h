#pragma once

#include <QComboBox>

// The machine's mounted volumes, one entry per root folder, for choosing where
// the folder list starts.
class DriveList final : public QComboBox {
  Q_OBJECT
 public:
  explicit DriveList(QWidget* parent = nullptr);

  // The chosen volume's root folder, in native form.
  QString drive() const;
  // Chooses the volume that holds `path` (added when it is not listed).
  void setDrive(const QString& path);

  // Re-reads the mounted volumes, keeping the choice where possible.
  void refresh();

 signals:
  // The chosen volume changed, by the user or by setDrive.
  void Change();
};
