// The quick-start dialog.
#include "app/desktop/quick_start_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "ui/hyperlink_label.h"

namespace {
constexpr char kText[] =
    "<h3>Welcome to Kestrun</h3>"
    "<p>Kestrun translates binary protocol messages into a tree of named "
    "values. Describe your protocol once in a <b>protocol script</b> "
    "(<i>System &gt; Select Protocol Script file ...</i>), then hand it "
    "messages:</p>"
    "<ul>"
    "<li>type or paste hexadecimal bytes in the <b>Input</b> box and press "
    "<b>Translate</b>;</li>"
    "<li>collect messages in the <b>MsgList</b>, load and save them as "
    "message files (*.dat), and double click a row to translate it;</li>"
    "<li>let other programs send UDP datagrams to port 2900 (data head "
    "0x05) while <i>Accept external data</i> is on.</li>"
    "</ul>"
    "<p>The sample protocol decodes IPv4 packets with their TCP, UDP and "
    "ICMP headers. <b>Load Sample</b> selects its script and fills the "
    "message list with thirteen packets, one of them cut short on "
    "purpose.</p>";
}  // namespace

QuickStartDialog::QuickStartDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Quick Start");
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(kText, this);
    label->setWordWrap(true);
    label->setTextFormat(Qt::RichText);
    label->setMinimumWidth(460);
    layout->addWidget(label);
    layout->addWidget(new HyperlinkLabel("Kestrun home page", QUrl(kHomePageUrl), this));
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* sample = buttons->addButton("Load Sample", QDialogButtonBox::AcceptRole);
    buttons->addButton("Close", QDialogButtonBox::RejectRole);
    sample->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
}
