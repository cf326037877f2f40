// MessageListPanel: the input box and the message list in two tabs.
#include "app/desktop/message_list_panel.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/message_list.h"
#include "ui/extended_list.h"
#include "ui/glyph_icons.h"
#include "ui/hex_edit.h"

namespace {

QPushButton* Button(const QString& text, Glyph glyph, const QString& tip, QWidget* parent) {
    auto* button = new QPushButton(GlyphIcon(glyph), text, parent);
    button->setToolTip(tip);
    return button;
}

ExtendedList::RowState StateOf(const MessageList& messages, int row) {
    if (!messages.IsTranslated(row)) return ExtendedList::RowState::None;
    return messages.IsOk(row) ? ExtendedList::RowState::Ok : ExtendedList::RowState::Failed;
}

}  // namespace

MessageListPanel::MessageListPanel(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    tabs = new QTabWidget(this);
    tabs->setDocumentMode(true);
    layout->addWidget(tabs);

    auto* inputPage = new QWidget(tabs);
    auto* inputLayout = new QVBoxLayout(inputPage);
    inputLayout->setContentsMargins(4, 4, 4, 4);
    input = new HexEdit(inputPage);
    inputLayout->addWidget(input);
    auto* inputButtons = new QHBoxLayout;
    byteCount = new QLabel(inputPage);
    inputButtons->addWidget(byteCount, 1);
    QPushButton* translate =
        Button("Translate", Glyph::Translate, "Translate current Hex data .", inputPage);
    translate->setDefault(true);
    QPushButton* add =
        Button("Add to MsgList", Glyph::AddToList, "Add current Hex data to MsgList .", inputPage);
    inputButtons->addWidget(translate);
    inputButtons->addWidget(add);
    inputLayout->addLayout(inputButtons);
    tabs->addTab(inputPage, "Input");

    auto* listPage = new QWidget(tabs);
    auto* listLayout = new QVBoxLayout(listPage);
    listLayout->setContentsMargins(4, 4, 4, 4);
    auto* listButtons = new QHBoxLayout;
    QPushButton* load = Button("Load ...", Glyph::Load, "Load a message file (*.dat)", listPage);
    QPushButton* capture =
        Button("Load capture ...", Glyph::Load,
               "Messages from the packets of a capture file (pcap, pcapng)", listPage);
    QPushButton* save = Button("Save ...", Glyph::Save, "Save the messages to a file", listPage);
    QPushButton* clear = Button("Clear", Glyph::Clear, "Remove every message", listPage);
    autoTranslate = new QCheckBox("Auto translate", listPage);
    autoTranslate->setToolTip("Automatically translate the external data when accepting it .");
    listButtons->addWidget(load);
    listButtons->addWidget(capture);
    listButtons->addWidget(save);
    listButtons->addWidget(clear);
    listButtons->addSpacing(12);
    listButtons->addWidget(autoTranslate);
    listButtons->addStretch(1);
    listLayout->addLayout(listButtons);
    list = new ExtendedList(listPage);
    list->setToolTip("Double Click item to Translate .");
    list->SetColumns({" N", "Time", "Len", "", "Title", "Info"}, {56, 64, 48, 120, 240, 240});
    listLayout->addWidget(list);
    tabs->addTab(listPage, "MsgList");

    connect(translate, &QPushButton::clicked, this, &MessageListPanel::translateClicked);
    connect(add, &QPushButton::clicked, this, &MessageListPanel::addClicked);
    connect(load, &QPushButton::clicked, this, &MessageListPanel::loadClicked);
    connect(capture, &QPushButton::clicked, this, &MessageListPanel::loadCaptureClicked);
    connect(save, &QPushButton::clicked, this, &MessageListPanel::saveClicked);
    connect(clear, &QPushButton::clicked, this, &MessageListPanel::clearClicked);
    connect(list, &ExtendedList::rowActivated, this, &MessageListPanel::rowActivated);
    connect(input, &HexEdit::byteCountChanged, this, &MessageListPanel::ByteCountChanged);
    ByteCountChanged(input->ByteCount());
}

int MessageListPanel::ActiveTab() const {
    return tabs->currentIndex() == kListTab ? kListTab : kInputTab;
}

void MessageListPanel::SetActiveTab(int tab) {
    tabs->setCurrentIndex(tab == kListTab ? kListTab : kInputTab);
}

void MessageListPanel::AddRow(const MessageList& messages, int row) {
    MessageView message;
    if (!messages.GetMessage(row, message)) return;
    list->AddRow({QString::number(row), QString::fromLatin1(message.time, 8),
                  QString::number(message.length), "", "", ""},
                 StateOf(messages, row));
    UpdateRow(messages, row);
}

void MessageListPanel::UpdateRow(const MessageList& messages, int row) {
    const std::string* results = messages.GetResult(row);
    if (results == nullptr) return;
    list->SetCells(row, 3,
                   {QString::fromStdString(results[0]), QString::fromStdString(results[1]),
                    QString::fromStdString(results[2])});
    list->SetRowState(row, StateOf(messages, row));
}

void MessageListPanel::ByteCountChanged(int count) {
    byteCount->setText(count < 0 ? QString("not hex") : QString("%1 bytes").arg(count));
}
