// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The port box: device paths such as /dev/serial/by-id/usb-FTDI_..._A1B2C3-
// if00-port0 are far longer than the box, and adapters differ at their end.
// The closed box shortens a path in its middle, the dropped list is as wide
// as its longest entry (within the screen), and every entry's tooltip is its
// whole path.

#include <QComboBox>

class QFontMetrics;

class PortBox : public QComboBox {
public:
    explicit PortBox(QWidget *parent = nullptr);

    // An entry shown as `name` that opens `path`.
    void addPort(const QString &name, const QString &path);
    void showPopup() override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

// `name` as it fits `width` pixels: whole if it can be; otherwise its end
// stays, behind "…" and, where there is room for it and a fair part of the
// end, its first folder ("/dev/…FT232R_A1B2C3-if00-port0").
QString elidePortName(const QString &name, const QFontMetrics &metrics, int width);
