// CaptureDialog: the choices of "Load capture ...".
#include "app/desktop/capture_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>

namespace {

// The layers in the order of the box, with what each one takes.
const struct {
    CaptureLayer layer;
    const char* text;
} kLayers[] = {
    {CaptureLayer::kPayload, "payload: the UDP or TCP payload"},
    {CaptureLayer::kTransport, "transport: from the UDP or TCP header"},
    {CaptureLayer::kIp, "ip: from the IPv4 or IPv6 header"},
    {CaptureLayer::kFrame, "frame: the whole link-layer frame"},
};

QSpinBox* PortBox(QWidget* parent) {
    auto* box = new QSpinBox(parent);
    box->setRange(-1, 65535);
    box->setSpecialValueText("any");
    box->setValue(-1);
    return box;
}

}  // namespace

CaptureDialog::CaptureDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Load capture");
    auto* form = new QFormLayout(this);
    auto* fileRow = new QHBoxLayout;
    path = new QLineEdit(this);
    path->setMinimumWidth(320);
    auto* browse = new QPushButton("Browse ...", this);
    fileRow->addWidget(path, 1);
    fileRow->addWidget(browse);
    form->addRow("Capture file", fileRow);
    layer = new QComboBox(this);
    for (const auto& entry : kLayers) layer->addItem(entry.text);
    form->addRow("Message", layer);
    udpPort = PortBox(this);
    tcpPort = PortBox(this);
    form->addRow("UDP port", udpPort);
    form->addRow("TCP port", tcpPort);
    filter = new QLineEdit(this);
    filter->setPlaceholderText("a capture filter, e.g. udp and host 10.0.0.1");
    form->addRow("Filter", filter);
    auto* note = new QLabel("TCP payloads are taken per segment, without stream reassembly.", this);
    note->setWordWrap(true);
    form->addRow(note);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(browse, &QPushButton::clicked, this, &CaptureDialog::Browse);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

void CaptureDialog::Browse() {
    QString current = QDir::currentPath();
    QString chosen = QFileDialog::getOpenFileName(this, "Capture file", current,
                                                  "Captures (*.pcap *.pcapng *.cap);;All Files (*)",
                                                  nullptr, QFileDialog::DontUseNativeDialog);
    QDir::setCurrent(current);
    if (!chosen.isEmpty()) path->setText(chosen);
}

QString CaptureDialog::Path() const {
    return path->text().trimmed();
}

void CaptureDialog::SetPath(const QString& text) {
    path->setText(text);
}

CaptureOptions CaptureDialog::Options() const {
    CaptureOptions options;
    int index = layer->currentIndex();
    if (index >= 0 && index < static_cast<int>(std::size(kLayers)))
        options.layer = kLayers[index].layer;
    options.udpPort = udpPort->value();
    options.tcpPort = tcpPort->value();
    options.filter = filter->text().trimmed().toStdString();
    return options;
}

void CaptureDialog::SetOptions(const CaptureOptions& options) {
    for (int i = 0; i < static_cast<int>(std::size(kLayers)); ++i) {
        if (kLayers[i].layer == options.layer) layer->setCurrentIndex(i);
    }
    udpPort->setValue(options.udpPort);
    tcpPort->setValue(options.tcpPort);
    filter->setText(QString::fromStdString(options.filter));
}
