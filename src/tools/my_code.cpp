#include "tools/my_code.h"

#include <QComboBox>
#include <QDir>

#include "widgets/msg_box.h"
#include "widgets/named.h"

namespace {

void fill(QComboBox* box, const QList<Snippet>& snippets) {
  const QSignalBlocker quiet(box);
  box->clear();
  for (const Snippet& s : snippets) box->addItem(s.name, s.code);
  box->setCurrentIndex(-1);
  box->setEnabled(!snippets.isEmpty());
}

}  // namespace

namespace mycode {

QList<Snippet> load(QWidget* parent, bool* blocked) {
  const QString file = snippetstore::file();
  snippetstore::Loaded loaded = snippetstore::load(file);
  if (blocked) *blocked = loaded.blocked;
  if (!loaded.setAside.isEmpty()) {
    MsgBox(QStringLiteral("Your My Code file could not be read (%1). It was kept as %2 and My "
                          "Code starts empty.")
               .arg(loaded.why, QDir::toNativeSeparators(loaded.setAside)),
           MsgButtons::OkOnly, MsgIcon::Warning, QStringLiteral("My Code"), parent);
  } else if (loaded.blocked) {
    FileErrorMsg(QStringLiteral("read"), file, loaded.why, parent);
  }
  return loaded.snippets;
}

QComboBox* chooser(QWidget* parent, const QString& name,
                   std::function<void(const QString& code)> chosen) {
  auto* box = named(new QComboBox(parent), name);
  box->setPlaceholderText(QStringLiteral("My Code…"));
  box->setToolTip(
      QStringLiteral("Puts one of your own kept codes into the code box (My Code: "
                     "Ctrl+Shift+Y in the main window)"));
  fill(box, load(parent));
  QObject::connect(snippetstore::Notifier::instance(), &snippetstore::Notifier::changed, box,
                   [box] { fill(box, load(box->window())); });
  QObject::connect(box, &QComboBox::activated, box, [box, chosen = std::move(chosen)](int index) {
    const QString code = box->itemData(index).toString();
    box->setCurrentIndex(-1);
    if (chosen) chosen(code);
  });
  return box;
}

}  // namespace mycode
