#include "help/quick_help.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "help/save_switch.h"
#include "widgets/look.h"
#include "widgets/msg_box.h"
#include "widgets/tips.h"
#include "widgets/twips.h"

namespace {

// The texts wrap in whatever font the system gives, so the window stacks them
// at a fixed width and takes the height they need.
constexpr int kWidthTwips = 8400;
constexpr int kMarginTwips = 240;

void makeBold(QWidget* widget) {
  QFont f = widget->font();
  f.setBold(true);
  widget->setFont(f);
}

}  // namespace

frmQuickHelp::frmQuickHelp(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("frmQuickHelp"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(QStringLiteral("Quick Help"));
  buildControls();
  tips::set(this, {{"Check1", "Turn on the other way of saving; Close applies it"},
                   {"Command1", "Close this window and apply the switch"}});
  Form_Load();
}

QLabel* frmQuickHelp::addText(const QString& text, const char* name) {
  auto* label = new QLabel(text, this);
  label->setObjectName(QString::fromLatin1(name));
  label->setWordWrap(true);
  // Plain text: the help mentions tags such as [BUYBUTTON] and quotes.
  label->setTextFormat(Qt::PlainText);
  layout()->addWidget(label);
  return label;
}

void frmQuickHelp::buildControls() {
  const double dpi = twips::dpiOf(this);
  const int margin = twips::toPixels(kMarginTwips, dpi);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(margin, margin, margin, margin);
  column->setSpacing(twips::toPixels(90, dpi));

  Label1 = addText(QStringLiteral("Software Requirements"), "Label1");
  makeBold(Label1);
  Label2 = addText(QStringLiteral("To use this software your computer needs \"Internet Explorer\" "
                                  "installed (99% of the Windows computers come with it)."),
                   "Label2");
  column->addSpacing(margin / 2);
  Label3 = addText(QStringLiteral("Using the Software"), "Label3");
  makeBold(Label3);
  Label4 = addText(QStringLiteral("Using the software it's really easy: Just drag a page that you "
                                  "want to edit (.htm or .html) to the software, click \"Edit "
                                  "Page\" and start making your text modifications. Then Save your "
                                  "changes."),
                   "Label4");
  column->addSpacing(margin / 2);
  Label5 = addText(QStringLiteral("Some pages may look different in this browser than how you see "
                                  "them under Google Chrome or Firefox and it's ok."),
                   "Label5");
  Label6 = addText(QStringLiteral("This software doesn't replace a web design tool. It's main goal "
                                  "is to help you to quickly setup a reseller website."),
                   "Label6");
  const QColor darkGreen = look::fromBgr(0x004000);
  const QColor lightYellow = look::fromBgr(0xC0FFFF);
  for (QLabel* notice : {Label5, Label6}) {
    look::setTextColor(notice, darkGreen);
    look::setBackground(notice, lightYellow);
    notice->setMargin(twips::toPixels(60, dpi));
  }
  column->addSpacing(margin / 2);
  Label7 =
      addText(QStringLiteral("If you want to add an order button (PayPal, JVZoo, WarriorPlus "
                             "etc), just edit the page and place the following tag where you "
                             "want to show the button: [BUYBUTTON]. Then save your page,  "
                             "click the \"Add HTML Code\" button and follow the instructions."),
              "Label7");
  column->addSpacing(margin / 2);
  Label8 = addText(QStringLiteral("Problems to Save Your Page?"), "Label8");
  makeBold(Label8);
  Label9 = addText(QStringLiteral("If you click the \"Save / Discard Changes\" button and nothing "
                                  "happens, then please enable the following option and retry."),
                   "Label9");

  Check1 = new QCheckBox(QStringLiteral("Yes, I'm Experiencing This."), this);
  Check1->setObjectName(QStringLiteral("Check1"));
  column->addWidget(Check1);
  Label10 = addText(QStringLiteral("Please >> Only enable this option if you click that button and "
                                   "nothing happens (the software doesn't give you an option to "
                                   "save or discard the changes)."),
                    "Label10");
  look::setTextColor(Label10, look::fromBgr(0x0000FF));

  column->addSpacing(margin / 2);
  Command1 = new QPushButton(QStringLiteral("Close"), this);
  Command1->setObjectName(QStringLiteral("Command1"));
  Command1->setMinimumWidth(twips::toPixels(1575, dpi));
  column->addWidget(Command1, 0, Qt::AlignHCenter);

  const int width = twips::toPixels(kWidthTwips, dpi);
  setFixedSize(width, column->totalHeightForWidth(width));

  connect(Command1, &QPushButton::clicked, this, &frmQuickHelp::Command1_Click);
}

void frmQuickHelp::Form_Load() { Check1->setChecked(saveswitch::isOn()); }

void frmQuickHelp::Command1_Click() {
  const QString file = saveswitch::path();
  if (Check1->isChecked()) {
    if (const Status on = saveswitch::turnOn(Text1, file); !on)
      FileErrorMsg(QStringLiteral("save"), file, on.why(), this);
  } else {
    if (const Status off = saveswitch::turnOff(file); !off)
      FileErrorMsg(QStringLiteral("delete"), file, off.why(), this);
  }
  close();
}
